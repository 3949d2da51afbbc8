// The platform boundary on Windows: anonymous pipes to the converter, a
// watched named pipe from it, CreateProcessW, message boxes and the thread's
// message queue. The converter's command line and the pipe's bytes cross in
// the ANSI code page; the program's name and the log cross as UTF-16.
#include <windows.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "channel/platform.h"
#include "channel/unique_handle_win32.h"
#include "channel/watched_pipe_win32.h"
#include "channel/windows_arguments.h"

namespace vorlen {
namespace {

// The records as the 32-bit component hands them over; the 64-bit build uses
// its own sizes.
static_assert(sizeof(void*) != 4 ||
              (sizeof(SECURITY_ATTRIBUTES) == 12 && sizeof(STARTUPINFOW) == 68));

// The longest command line that the system takes, in UTF-16 code units with
// its terminating zero ("The maximum length of this string is 32,767
// characters", CreateProcessW). A longer one fails on Windows; some Wine
// versions cut it and start the converter without its last arguments.
constexpr std::size_t kLongestCommandLine = 32767;
// The longest ANSI form of it, in bytes with its terminating zero: the
// converter's own ANSI view of its command line (GetCommandLineA, and so its
// argv) is a counted string whose length is 16 bits. Under a code page of up
// to three bytes a character (UTF-8), a line well inside the UTF-16 limit
// exceeds it and arrives cut, its last arguments lost.
constexpr std::size_t kLongestAnsiCommandLine = 65535;
// The longest line that the command interpreter takes ("The maximum length of
// the string that you can use at the command prompt is 8191 characters"): a
// batch converter runs through it, and a longer line would start one that
// ends without a word. Counted on the line that the interpreter receives.
constexpr std::size_t kLongestBatchCommandLine = 8191;

// Without best fit, a character that the code page lacks becomes the code
// page's default character. With it, U+FF02 became a double quote and U+FF3C
// a backslash, which split a value into options of the caller's choosing, and
// letters became other letters (a different file name). UTF-8 has no best fit
// and refuses the flag.
// Callers keep `text` within kLongestCommandLine, far below the int that the
// conversion counts in.
std::string ToAnsi(const Text& text) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, flags, wide, length, ansi.data(), size, nullptr, nullptr);
  }
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

// A box that nobody sees would wait forever for a click. Services, IIS and
// what they start run in session 0, where no user has been since Vista
// ("Services cannot directly interact with a user as of Windows Vista"),
// though its WinSta0 still says it is visible. Elsewhere a window station
// that is not visible, or whose flags cannot be read, has nobody either.
// ProcessIdToSessionId opens the process by its id, which a process whose
// own DACL or a sandbox denies that access cannot do; the process token says
// the same without opening anything. Where neither tells, the window station
// decides.
bool InSessionZero() {
  DWORD session = 0;
  if (ProcessIdToSessionId(GetCurrentProcessId(), &session)) return session == 0;
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
  const win32::UniqueHandle token(opened);
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenSessionId, &session, sizeof session, &size) &&
         session == 0;
}

bool InteractiveStation() {
  if (InSessionZero()) return false;
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  if (station == nullptr ||
      !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
    return false;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// "`what` failed: " with the system's code and text for `error` (just
// "`what` failed" for 0), for the log. The text holds nothing of the
// caller's (its inserts stay as they are), so it has no password to mask.
Text SystemFailure(TextView what, DWORD error) {
  if (error == 0) return Text(what) + u" failed";
  Text line = Text(what) + u" failed: " + FromUtf8(std::to_string(error));
  wchar_t text[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, 512, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n')) --length;
  if (length > 0) line += u" " + Text(reinterpret_cast<const char16_t*>(text), length);
  return line;
}

// The system's own command interpreter, by its full name in the system
// folder. %COMSPEC% is only the environment's, which whoever set the host's
// environment can point at any program.
Text CommandInterpreter() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return Text();
  return Text(reinterpret_cast<const char16_t*>(folder), length) + u"\\cmd.exe";
}

// What the start hands the system: the file it runs and its command line.
struct Launch {
  Text application, line;
};

// A batch file is started through the command interpreter by this process
// itself. Handed one as lpApplicationName, Windows runs "cmd.exe /c" and the
// line with no quotes of its own, and cmd takes the first and last quote of a
// line like "C:\my tools\conv.cmd" --server "in.xml" off, which leaves a
// request for C:\my; it also hands cmd the ANSI copy of the line, which names
// no file in a folder that the code page cannot spell. The batch file goes by
// its exact UTF-16 path; its arguments are those of `asHanded`. Empty when
// the interpreter cannot be named.
Launch BatchLaunch(const Text& batchFile, const Text& asHanded) {
  const Text interpreter = CommandInterpreter();
  if (interpreter.empty()) return {};
  const std::size_t arguments = ParseCommandLine(asHanded).front().end;
  return {interpreter,
          BatchFileCommandLine(interpreter, batchFile, TextView(asHanded).substr(arguments))};
}

// A thread that impersonates at identification level, or anonymously, can
// open no object as the user it names ("SecurityIdentification: The server
// can obtain information about the client ... but cannot impersonate the
// client"), and every pipe is such an object: neither the named pipe nor
// CreatePipe's own can be made as it.
bool ImpersonatesWithoutAccess() {
  HANDLE opened = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &opened)) return false;
  const win32::UniqueHandle token(opened);
  SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenImpersonationLevel, &level, sizeof level, &size) &&
         level < SecurityImpersonation;
}

struct AnonymousPipe {
  SECURITY_ATTRIBUTES attributes;
  HANDLE read = nullptr, write = nullptr;
  DWORD error = 0;
};

DWORD WINAPI MakeAnonymousPipe(void* parameter) {
  auto& pipe = *static_cast<AnonymousPipe*>(parameter);
  if (!::CreatePipe(&pipe.read, &pipe.write, &pipe.attributes, 0)) pipe.error = GetLastError();
  return 0;
}

// An anonymous pipe. Where the calling thread's impersonation allows no
// pipe, a new thread of the process, which impersonates nobody, makes it:
// the caller's own token is never touched. The converter runs as the process
// anyway (CreateProcess gives a child the process's token).
bool CreateAnonymousPipe(SECURITY_ATTRIBUTES& attributes, HANDLE& readEnd, HANDLE& writeEnd) {
  if (::CreatePipe(&readEnd, &writeEnd, &attributes, 0)) return true;
  const DWORD error = GetLastError();
  AnonymousPipe pipe{attributes};
  if (!ImpersonatesWithoutAccess()) {
    SetLastError(error);
    return false;
  }
  const win32::UniqueHandle thread(CreateThread(nullptr, 0, MakeAnonymousPipe, &pipe, 0, nullptr));
  if (!thread) {
    SetLastError(error);
    return false;
  }
  WaitForSingleObject(thread.get(), INFINITE);
  readEnd = pipe.read;
  writeEnd = pipe.write;
  SetLastError(pipe.error);
  return pipe.error == 0;
}

// Any process of the session can read debug output. A debugger that asks
// for UTF-16 gets the text whole; older readers get it in the code page
// ("OutputDebugStringW converts the specified string based on the current
// system locale information and passes it to OutputDebugStringA").
void DebugLog(const Text& text) {
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(text.c_str()));
}

HANDLE AsHandle(RawHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}
RawHandle AsRaw(HANDLE handle) {
  return reinterpret_cast<RawHandle>(handle);
}

// The list of the only handles a child inherits: its standard input and its
// output pipe end. Empty when the system cannot build it. The handles must be
// inheritable when the child starts ("These handles must be created as
// inheritable handles", UpdateProcThreadAttribute): see InheritableWhileLive.
class InheritedHandles {
 public:
  InheritedHandles(HANDLE input, HANDLE output) : handles_{input, output} {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    if (size == 0) return;
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    list_ = list;
    const SIZE_T count = input == output ? 1 : 2;
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_,
                                   count * sizeof(HANDLE), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(std::exchange(list_, nullptr));
    }
  }
  ~InheritedHandles() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;

  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  HANDLE handles_[2];
  std::vector<unsigned char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Makes two handles inheritable for as long as it lives, and no longer on
// every way out: every pipe end is made non-inheritable, and a child's two get
// the flag only around the CreateProcess that hands them over. Another thread
// of the host that starts a process with bInheritHandles and no list of its
// own at that very moment could still catch them; nothing can keep a third
// party's CreateProcess from that.
class InheritableWhileLive {
 public:
  InheritableWhileLive(HANDLE first, HANDLE second) : handles_{first, second} {
    for (HANDLE h : handles_) {
      if (!SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        error_ = GetLastError();
        return;
      }
      ++set_;
    }
  }
  // A flag that stays set lets a child that another thread starts meanwhile
  // inherit the end until the run closes it, right after the start: the log
  // records it.
  ~InheritableWhileLive() {
    for (std::size_t i = 0; i < set_; ++i) {
      if (!SetHandleInformation(handles_[i], HANDLE_FLAG_INHERIT, 0)) {
        DebugLog(SystemFailure(u"Resetting the inherit flag of a pipe end", GetLastError()));
      }
    }
  }
  InheritableWhileLive(const InheritableWhileLive&) = delete;
  InheritableWhileLive& operator=(const InheritableWhileLive&) = delete;

  DWORD error() const { return error_; }  // 0: both are inheritable

 private:
  HANDLE handles_[2];
  std::size_t set_ = 0;
  DWORD error_ = 0;
};

// A WM_QUIT that the pump met and handed back to the thread's queue: until the
// host takes it, the queue always reports a message, so a wait for messages
// would return at once.
thread_local bool tQuitHandedBack = false;

bool QuitPending() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

class Win32Platform final : public Platform {
 public:
  // Where the system cannot list what a child inherits, a converter inherits
  // every inheritable handle of the process, the child's ends of another
  // run's start among them: it would keep that run waiting until it ends
  // itself. There runs take turns, from the first pipe to the closing of the
  // child's ends.
  std::unique_lock<std::mutex> StartTurn() override {
    if (listsInherited_) return {};
    return std::unique_lock(turn_);
  }

  // Neither end is inheritable: Start lends the child's two the flag.
  Pipe CreatePipe(PipeDirection direction) override {
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    // Where no named pipe of this process's own can be made, the output comes
    // through an anonymous pipe, and the run waits on a timer instead; the
    // log says why.
    if (direction == PipeDirection::FromChild) {
      const win32::WatchedPipe::Failure failure = win32::WatchedPipe::Create(attributes, r, w);
      if (failure.step == nullptr) return {Own(AsRaw(r)), Own(AsRaw(w))};
      Log(SystemFailure(failure.step, failure.error));
    }
    if (!CreateAnonymousPipe(attributes, r, w)) {
      Log(SystemFailure(u"CreatePipe", GetLastError()));
      return {};
    }
    return {Own(AsRaw(r)), Own(AsRaw(w))};
  }

  Child Start(const Text& program, const Text& commandLine, RawHandle input, RawHandle output,
              Text& asHanded) override {
    // The converter receives its line as the ANSI code page carries it, so
    // that the line it reads as UTF-16 and the one it reads as ANSI agree. A
    // line too long for the system is converted only as far as an alert
    // shows it.
    const bool tooLong = commandLine.size() >= kLongestCommandLine;
    const std::string ansi =
        ToAnsi(tooLong ? commandLine.substr(0, kLongestAlertText + 1) : commandLine);
    asHanded = FromAnsi(ansi);
    if (program.empty() || tooLong || asHanded.size() >= kLongestCommandLine ||
        ansi.size() >= kLongestAnsiCommandLine) {
      return {};
    }
    Launch launch{program, asHanded};
    if (IsBatchFile(program)) {
      launch = BatchLaunch(program, asHanded);
      if (launch.application.empty() || launch.line.size() > kLongestBatchCommandLine) return {};
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;  // 257
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = AsHandle(input);
    startup.StartupInfo.hStdOutput = AsHandle(output);
    startup.StartupInfo.hStdError = AsHandle(output);
    DWORD flags = NORMAL_PRIORITY_CLASS;
    // A console converter started by a host without a console (Office, IIS,
    // a service) would otherwise get a console of its own ("The system
    // creates a new console when it starts a console process"), a window on
    // the host's desktop. CREATE_NO_WINDOW starts it without one ("the
    // console handle for the application is not set"); its standard handles
    // are the pipes all the same.
    if (GetConsoleWindow() == nullptr) flags |= CREATE_NO_WINDOW;
    // Without the list, the converter inherits every inheritable handle of the
    // process, the host's own among them. Where lists work, runs take no
    // turns, so a start without its list would hand the converter other runs'
    // pipe ends: it starts nothing.
    const InheritedHandles inherited(AsHandle(input), AsHandle(output));
    if (inherited.get() != nullptr) {
      startup.StartupInfo.cb = sizeof(STARTUPINFOEXW);
      startup.lpAttributeList = inherited.get();
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    } else if (listsInherited_) {
      return {};
    }
    // CreateProcessW may write into the command line: it writes into the
    // launch's own copy. Named by its exact UTF-16 name, the program is found
    // whatever the code page can spell, and not searched for. The converter's
    // own process and thread handles are not inheritable: a child started
    // meanwhile by another thread of the host keeps none of them.
    PROCESS_INFORMATION info{};
    BOOL started = FALSE;
    DWORD error = 0;
    {
      const InheritableWhileLive inheritable(AsHandle(input), AsHandle(output));
      if (inheritable.error() != 0) {
        Log(SystemFailure(u"SetHandleInformation", inheritable.error()));
        return {};
      }
      started = CreateProcessW(reinterpret_cast<const wchar_t*>(launch.application.c_str()),
                               reinterpret_cast<wchar_t*>(launch.line.data()), nullptr, nullptr,
                               TRUE, flags, nullptr, nullptr, &startup.StartupInfo, &info);
      error = started ? 0 : GetLastError();
    }
    // Blocked by policy (an attack-surface rule, AppLocker, App Control) or
    // refused otherwise: the alert stays as for any failed start, the log
    // says why.
    if (!started) {
      Log(SystemFailure(u"CreateProcess", error));
      return {};
    }
    return Child({this, AsRaw(info.hProcess), AsRaw(info.hThread)});
  }

  void Release(RawHandle process, RawHandle thread) override {
    CloseHandle(AsHandle(process));
    CloseHandle(AsHandle(thread));
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
    win32::WatchedPipe* watch = win32::WatchedPipe::Find(AsHandle(readEnd));
    const bool ok = watch != nullptr ? watch->Read(buffer, size, read)
                                     : ReadFile(AsHandle(readEnd), buffer, size, &read, nullptr);
    bytesRead = read;
    return ok;
  }

  void Close(RawHandle handle) override {
    if (!win32::WatchedPipe::Close(AsHandle(handle))) CloseHandle(AsHandle(handle));
  }

  void Alert(const Text& prompt, AlertStyle style, const Text& logged) override {
    if (!InteractiveStation()) {
      Log(logged);
      return;  // as if dismissed
    }
    MessageBoxA(nullptr, ToAnsi(prompt).c_str(), nullptr, static_cast<UINT>(style));
  }

  void Log(const Text& text) override { DebugLog(text); }

  // A WM_QUIT belongs to the host's own loop: it goes back to the queue, with
  // its exit code, and the rest of the queue waits for the next cycle.
  void PumpMessages() override {
    MSG msg;
    tQuitHandedBack = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        tQuitHandedBack = true;
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  void IdleWait(RawHandle readEnd, std::uint32_t milliseconds) override {
    const bool messages = !(tQuitHandedBack && QuitPending());
    win32::WatchedPipe* watch = win32::WatchedPipe::Find(AsHandle(readEnd));
    if (watch != nullptr && watch->Wakes()) {
      watch->Wait(milliseconds, messages);
    } else if (!messages) {
      Sleep(milliseconds);
    } else {
      // This pipe cannot be waited on: only messages end the wait early.
      MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
  }

  WaitRoute OutputWaitRoute(RawHandle readEnd) override {
    const win32::WatchedPipe* watch = win32::WatchedPipe::Find(AsHandle(readEnd));
    return watch != nullptr && watch->Wakes() ? WaitRoute::ZeroByteRead : WaitRoute::Timed;
  }

  Text Decode(std::string& bytes) override {
    const std::size_t complete = bytes.size() - IncompleteAnsiTail(bytes);
    Text text = FromAnsi(std::string_view(bytes).substr(0, complete));
    bytes.erase(0, complete);
    return text;
  }

 private:
  // Whether this system builds the list of the only handles a child inherits.
  const bool listsInherited_ = InheritedHandles(nullptr, nullptr).get() != nullptr;
  std::mutex turn_;
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

bool IsRegularFile(const Text& path) {
  if (path.find(u'\0') != Text::npos) return false;
  const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace vorlen
