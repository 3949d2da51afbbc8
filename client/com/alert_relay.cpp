#include "client/com/alert_relay.h"

#include <utility>

namespace vorlen::client {
namespace {

// The hook procedure takes no context of its own; the hook is this thread's
// only, so a thread-local pointer names the handler. (A pointer: a
// thread_local object with a destructor is freed before its destructor runs
// when a MinGW thread ends.)
thread_local std::function<void(const std::wstring&)>* tHandler = nullptr;

// A message box is a dialog of the predefined class "#32770" whose prompt is
// the static control 0xFFFF. The hook's HCBT_ACTIVATE comes before the box is
// activated, once its controls exist. EndDialog belongs to the dialog's own
// procedure ("the function must not be used for any other purpose"), so the
// box is told that OK was pressed: the posted command is the first message
// its modal loop reads, and its procedure ends the box as a click would.
LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && tHandler != nullptr) {
    const auto window = reinterpret_cast<HWND>(wParam);
    wchar_t className[8] = {};
    GetClassNameW(window, className, 8);
    if (std::wstring(className) == L"#32770") {
      std::wstring prompt(
          static_cast<std::size_t>(GetWindowTextLengthW(GetDlgItem(window, 0xFFFF))) + 1, L'\0');
      prompt.resize(static_cast<std::size_t>(
          GetDlgItemTextW(window, 0xFFFF, prompt.data(), static_cast<int>(prompt.size()))));
      try {
        (*tHandler)(prompt);
      } catch (...) {
        // Nothing may unwind through the system's frames; the box still closes.
      }
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// WH_CBT with this thread's id hooks this thread alone; no module handle is
// needed for a thread of the calling process.
AlertRelay::AlertRelay(std::function<void(const std::wstring&)> handler)
    : hook_(SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId())),
      handler_(std::move(handler)),
      previous_(std::exchange(tHandler, &handler_)) {}

AlertRelay::~AlertRelay() {
  if (hook_) UnhookWindowsHookEx(hook_);
  tHandler = previous_;
}

}  // namespace vorlen::client
