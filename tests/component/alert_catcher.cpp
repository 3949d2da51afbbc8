#include "alert_catcher.h"

#include <utility>

#include "support.h"

namespace vorlen::test {
namespace {

// A pointer: a thread_local object with a destructor is freed before its
// destructor runs when a MinGW thread ends.
thread_local std::vector<std::string>* captured = nullptr;

LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && captured != nullptr) {
    const auto window = reinterpret_cast<HWND>(wParam);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (std::wstring(className) == L"#32770") {
      wchar_t prompt[2048] = {};
      GetDlgItemTextW(window, 0xFFFF, prompt, 2048);  // the box's static text
      captured->push_back(Narrow(std::wstring(prompt)));
      EndDialog(window, IDOK);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

AlertCatcher::AlertCatcher()
    : hook_(SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId())),
      previous_(std::exchange(captured, &alerts_)) {}

AlertCatcher::~AlertCatcher() {
  if (hook_) UnhookWindowsHookEx(hook_);
  captured = previous_;
}

const std::vector<std::string>& AlertCatcher::alerts() const {
  return alerts_;
}

}  // namespace vorlen::test
