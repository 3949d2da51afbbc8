// The Windows side of the test support. Alerts are real message boxes here:
// a thread-local CBT hook reads each box as it is activated and dismisses it.
#include <windows.h>

#include <filesystem>

#include "tests/runner/support.h"

namespace vorlen::test {
namespace {

thread_local std::vector<CaughtAlert>* tAlerts = nullptr;

std::string Directory(const std::string& path) {
  return path.substr(0, path.find_last_of("\\/"));
}

// What the box shows, read before it is first drawn: the stop icon is a
// static control holding an icon, and an OK box has one button, OK.
struct Looks {
  bool icon = false;
  int buttons = 0;
  bool ok = false;
};

BOOL CALLBACK Inspect(HWND child, LPARAM lParam) {
  auto& looks = *reinterpret_cast<Looks*>(lParam);
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if ((style & WS_VISIBLE) == 0) return TRUE;
  if (lstrcmpiW(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
      SendMessageW(child, STM_GETICON, 0, 0) != 0) {
    looks.icon = true;
  }
  if (lstrcmpiW(name, L"Button") == 0) {
    ++looks.buttons;
    looks.ok = looks.ok || GetDlgCtrlID(child) == IDOK;
  }
  return TRUE;
}

LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && tAlerts != nullptr) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t name[32] = {};
    GetClassNameW(box, name, 32);
    if (lstrcmpW(name, L"#32770") == 0) {
      wchar_t text[1024] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      Looks looks;
      EnumChildWindows(box, Inspect, reinterpret_cast<LPARAM>(&looks));
      // A box with other buttons has no style of the two; it shows as 0xFFFF.
      const auto style = looks.buttons != 1 || !looks.ok ? static_cast<AlertStyle>(0xFFFF)
                         : looks.icon                    ? AlertStyle::Critical
                                                         : AlertStyle::Plain;
      tAlerts->push_back({Text(reinterpret_cast<const char16_t*>(text)), style});
      EndDialog(box, IDOK);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

std::string ProgramBesideTests(const std::string& name) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string path = Directory(self) + "\\" + name + ".exe";
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? path : std::string();
}

std::string TempPath(const std::string& name) {
  static int counter = 0;
  return (std::filesystem::temp_directory_path() /
          ("vorlen-runner-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + "-" + name))
      .string();
}

std::string HostPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

long OpenHandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return static_cast<long>(count);
}

InheritablePipe::InheritablePipe() {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (CreatePipe(&read, &write, &inheritable, 0)) {
    ends_[0] = reinterpret_cast<RawHandle>(read);
    ends_[1] = reinterpret_cast<RawHandle>(write);
  }
}

InheritablePipe::~InheritablePipe() {
  for (RawHandle end : ends_) {
    if (end != 0) CloseHandle(reinterpret_cast<HANDLE>(end));
  }
}

struct AlertCatcher::Hook {
  HHOOK hook = nullptr;
  std::vector<CaughtAlert>* previous = nullptr;
};

AlertCatcher::AlertCatcher() : hook_(std::make_unique<Hook>()) {
  hook_->previous = tAlerts;
  tAlerts = &alerts;
  hook_->hook = SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
}

AlertCatcher::~AlertCatcher() {
  if (hook_->hook != nullptr) UnhookWindowsHookEx(hook_->hook);
  tAlerts = hook_->previous;
}

void AlertCatcher::Alert(const Text& prompt, AlertStyle style, const Text& logged) {
  ForwardingPlatform::Alert(prompt, style, logged);  // a box, caught by the hook
}

}  // namespace vorlen::test
