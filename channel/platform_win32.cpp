// The platform boundary on Windows: anonymous pipes, CreateProcessA, message
// boxes and the thread's message queue. Text crosses to the system in the
// ANSI code page.
#include <windows.h>

#include <string>

#include "channel/platform.h"

namespace vorlen {
namespace {

// The records as the 32-bit component hands them over; the 64-bit build uses
// its own sizes.
static_assert(sizeof(void*) != 4 ||
              (sizeof(SECURITY_ATTRIBUTES) == 12 && sizeof(STARTUPINFOA) == 68));

std::string ToAnsi(const Text& text) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide, length, ansi.data(), size, nullptr, nullptr);
  return ansi;
}

Text FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return Text();
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  Text text(static_cast<std::size_t>(size > 0 ? size : 0), u'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()),
                        size);
  }
  return text;
}

// The bytes at the end of `bytes` that begin a character of the ANSI code page
// without finishing it.
std::size_t IncompleteAnsiTail(std::string_view bytes) {
  const UINT codePage = GetACP();
  if (codePage == CP_UTF8) return IncompleteUtf8Tail(bytes);
  CPINFO info{};
  if (!GetCPInfo(codePage, &info) || info.MaxCharSize < 2) return 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    i += IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[i])) ? 2 : 1;
  }
  return i > bytes.size() ? 1 : 0;
}

// A box on a window station that nobody sees (a service, a web server) would
// wait forever for a click.
bool InteractiveStation() {
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  if (station == nullptr ||
      !GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

HANDLE AsHandle(RawHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}
RawHandle AsRaw(HANDLE handle) {
  return reinterpret_cast<RawHandle>(handle);
}

class Win32Platform final : public Platform {
 public:
  bool CreatePipe(RawHandle& readEnd, RawHandle& writeEnd) override {
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    if (!::CreatePipe(&r, &w, &attributes, 0)) return false;
    readEnd = AsRaw(r);
    writeEnd = AsRaw(w);
    return true;
  }

  void MakePrivate(RawHandle handle) override {
    SetHandleInformation(AsHandle(handle), HANDLE_FLAG_INHERIT, 0);
  }

  bool Start(const Text& commandLine, RawHandle input, RawHandle output, StartedProcess& started,
             Text& asHanded) override {
    std::string ansi = ToAnsi(commandLine);
    asHanded = FromAnsi(ansi);
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    STARTUPINFOA startup{};
    startup.cb = sizeof(STARTUPINFOA);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;  // 257
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = AsHandle(input);
    startup.hStdOutput = AsHandle(output);
    startup.hStdError = AsHandle(output);
    PROCESS_INFORMATION info{};
    // CreateProcessA may write into the command line, so it gets its own copy.
    if (!CreateProcessA(nullptr, ansi.data(), &attributes, &attributes, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &info)) {
      return false;
    }
    started.process = AsRaw(info.hProcess);
    started.thread = AsRaw(info.hThread);
    return true;
  }

  void Release(const StartedProcess& started) override {
    CloseHandle(AsHandle(started.process));
    CloseHandle(AsHandle(started.thread));
  }

  bool Peek(RawHandle readEnd, std::uint32_t& available) override {
    char scratch = 0;
    DWORD read = 0;
    DWORD total = 0;
    DWORD left = 0;
    if (!PeekNamedPipe(AsHandle(readEnd), &scratch, 0, &read, &total, &left)) return false;
    available = total;
    return true;
  }

  bool Read(RawHandle readEnd, char* buffer, std::uint32_t size,
            std::uint32_t& bytesRead) override {
    DWORD read = 0;
    const BOOL ok = ReadFile(AsHandle(readEnd), buffer, size, &read, nullptr);
    bytesRead = read;
    return ok != FALSE;
  }

  void Close(RawHandle handle) override { CloseHandle(AsHandle(handle)); }

  void Alert(const Text& prompt, AlertStyle style) override {
    if (detail::DeliverToAlertHandler(prompt, style)) return;
    const std::string text = ToAnsi(prompt);
    if (!InteractiveStation()) {
      OutputDebugStringA(text.c_str());
      return;  // as if dismissed
    }
    MessageBoxA(nullptr, text.c_str(), nullptr, static_cast<UINT>(style));
  }

  void PumpMessages() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  void IdleWait(RawHandle, std::uint32_t milliseconds) override {
    // An anonymous pipe cannot be waited on: only messages end the wait early.
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }

  Text Decode(std::string& bytes) override {
    const std::size_t complete = bytes.size() - IncompleteAnsiTail(bytes);
    Text text = FromAnsi(std::string_view(bytes).substr(0, complete));
    bytes.erase(0, complete);
    return text;
  }
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace vorlen
