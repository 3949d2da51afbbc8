// What only Windows has: the thread's messages handled while a converter
// runs (a timer that starts a nested conversion), the output pipe that a wait
// can include, the system's limit on the command line, and alerts on a window
// station that nobody sees, which go to debug output without passwords.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "channel/windows_arguments.h"
#include "job/command_line.h"
#include "tests/runner/support.h"

namespace vorlen::test {
namespace {

Vorlen* gJob = nullptr;
int gFired = 0;
std::int32_t gInner = -1;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ++gFired;
  gInner = gJob->Convert(Scenario("o=msg|inf|timer|inner\\r\\nfin|success\\r\\n"));
}

TEST(Win32Messages, TimerRunsANestedConversionDuringASilentConverter) {
  if (ProgramBesideTests("runner_script_converter").empty()) GTEST_SKIP() << "no test converter";
  Vorlen job;
  UseScriptConverter(job);
  auto sink = std::make_shared<RecordingSink>();
  job.events().Connect(sink);
  gJob = &job;
  gFired = 0;
  SetTimer(nullptr, 0, 50, OnTimer);
  EXPECT_EQ(job.Convert(Scenario("s=1500;o=msg|inf|outer|last\\r\\nfin|failure\\r\\n")), 0);
  EXPECT_EQ(gFired, 1);
  EXPECT_EQ(gInner, 1);
  EXPECT_EQ(sink->events,
            (std::vector<Event>{{u"inf", u"timer", u"inner"}, {u"inf", u"outer", u"last"}}));
}

// The wait's own read takes no byte from the pipe, ends with the last writer,
// and a pipe closed while that read is pending leaves nothing open.
TEST(Win32Wait, OutputPipeKeepsItsBytesAndLeavesNothingOpen) {
  Platform& platform = SystemPlatform();
  const auto once = [&](int i) {
    Pipe pipe = platform.CreatePipe(PipeDirection::FromChild);
    ASSERT_TRUE(pipe);
    const RawHandle r = pipe.read->handle;
    EXPECT_EQ(platform.OutputWaitRoute(r), WaitRoute::ZeroByteRead);
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(reinterpret_cast<HANDLE>(pipe.write->handle), "ab\r\n", 4, &written, nullptr));
    platform.IdleWait(r, 1000);
    std::uint32_t available = 0, read = 0;
    ASSERT_TRUE(platform.Peek(r, available));
    EXPECT_EQ(available, 4u);
    char buffer[8] = {};
    ASSERT_TRUE(platform.Read(r, buffer, sizeof buffer, read));
    EXPECT_EQ(std::string(buffer, read), "ab\r\n");
    if (i % 2 == 0) {
      platform.IdleWait(r, 50);  // the read is pending again when the pipe closes
    } else {
      pipe.write.reset();
      platform.IdleWait(r, 1000);
      EXPECT_FALSE(platform.Peek(r, available)) << "no writer, nothing left";
    }
  };
  once(0);  // first use sets up what the system keeps for good
  const long before = OpenHandleCount();
  for (int i = 1; i <= 10; ++i) once(i);
  EXPECT_LE(OpenHandleCount(), before);

  const Pipe anonymous = platform.CreatePipe(PipeDirection::ToChild);
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(platform.OutputWaitRoute(anonymous.read->handle), WaitRoute::Timed)
      << "an anonymous pipe";
}

TEST(Win32Start, ACommandLineLongerThanTheSystemTakesStartsNothing) {
  if (ProgramBesideTests("runner_script_converter").empty()) GTEST_SKIP() << "no test converter";
  CountingPlatform platform;
  Vorlen job(platform);
  UseScriptConverter(job);
  const std::string record = TempPath("long.txt");
  Text xml = Scenario("r=" + record + ";o=fin|success\\r\\n;");
  // With its terminating zero, one character more than the system takes.
  xml += Text(32767 - BuildCommandLine(job.settings(), xml, u"").size(), u'x');
  EXPECT_EQ(job.Convert(xml), 0);
  EXPECT_EQ(platform.started, 0);
  // The alert shows the line's beginning only, in the box as in the data.
  const Text shown = (kStartFailurePrompt + BuildCommandLine(job.settings(), xml, u""))
                         .substr(0, kLongestAlertText) +
                     u"\u2026";
  EXPECT_EQ(platform.alerts, (std::vector<CaughtAlert>{{shown, AlertStyle::Critical}}));
  EXPECT_EQ(platform.logged, std::vector<Text>{shown});
  xml.pop_back();
  EXPECT_EQ(job.Convert(xml), 1) << "the longest line that fits";
  EXPECT_EQ(platform.alerts.size(), 1u);
  std::filesystem::remove(record);
}

// The program is started by its exact name: a folder named in letters that
// the code page lacks (Cyrillic and CJK under 1252) holds a converter that
// starts, while the command line's copy of its path comes through the code
// page as before.
TEST(Win32Start, ConverterInAFolderTheCodePageCannotSpellStarts) {
  const std::string exe = ProgramBesideTests("runner_script_converter");
  if (exe.empty()) GTEST_SKIP() << "no test converter";
  const std::filesystem::path dir = TempPath("named");
  const std::filesystem::path folder = dir / std::u16string(u"\u043A\u043E\u043D\u0432 \u8868");
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(exe, folder / "conv.exe");
  CountingPlatform platform;
  Vorlen job(platform);
  job.settings().SetVorlenPath(Text((folder / "conv.exe").u16string()));
  const std::string record = TempPath("named.txt");
  EXPECT_EQ(job.Convert(Scenario("r=" + record + ";o=fin|success\\r\\n")), 1);
  EXPECT_TRUE(platform.alerts.empty());
  EXPECT_NE(ReadAll(record).find("arg=--server\n"), std::string::npos);
  std::filesystem::remove(record);
  RemoveFolder(dir.string());
}

std::string gDebugOutput;

LONG CALLBACK OnDebugString(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& r = *info->ExceptionRecord;
  if (r.ExceptionCode == DBG_PRINTEXCEPTION_C && r.NumberParameters >= 2) {
    gDebugOutput.append(reinterpret_cast<const char*>(r.ExceptionInformation[1]),
                        static_cast<std::size_t>(r.ExceptionInformation[0]));
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

TEST(Win32Alerts, HiddenWindowStationGetsDebugOutputInsteadOfABox) {
  if (ProgramBesideTests("runner_script_converter").empty()) GTEST_SKIP() << "no test converter";
  HWINSTA original = GetProcessWindowStation();
  HWINSTA hidden = CreateWindowStationW(L"vorlen-hidden", 0, WINSTA_ALL_ACCESS, nullptr);
  if (hidden == nullptr) GTEST_SKIP() << "no second window station here";
  USEROBJECTFLAGS flags{};
  GetUserObjectInformationW(hidden, UOI_FLAGS, &flags, sizeof flags, nullptr);
  if ((flags.dwFlags & WSF_VISIBLE) != 0 || !SetProcessWindowStation(hidden)) {
    CloseWindowStation(hidden);
    GTEST_SKIP() << "cannot move to a hidden window station here";
  }
  void* handler = AddVectoredExceptionHandler(1, OnDebugString);
  gDebugOutput.clear();
  std::int32_t result = -1;
  {
    AlertCatcher catcher;  // a box would be caught here
    Vorlen job;
    UseScriptConverter(job);
    result = job.Convert(Scenario("x=0"));
    // Any process of the session can read debug output: no passwords there.
    Vorlen missing;
    missing.settings().SetVorlenPath(u"no-such-vorlen-program");
    missing.settings().SetEncryptInfo(40, u"s3cret \"u\"", u"s3cret-o\\", 0, 0, 0, 0);
    EXPECT_EQ(missing.Convert(u"in.xml"), 0);
    // An unbalanced quote in the program path moves nothing.
    missing.settings().SetVorlenPath(u"\"Z:\\nonexistent\\x.exe");
    EXPECT_EQ(missing.Convert(u"in.xml"), 0);
    EXPECT_TRUE(catcher.alerts.empty());
  }
  RemoveVectoredExceptionHandler(handler);
  SetProcessWindowStation(original);
  CloseWindowStation(hidden);
  EXPECT_EQ(result, 0);
  EXPECT_NE(gDebugOutput.find("retV = 0"), std::string::npos) << gDebugOutput;
  EXPECT_NE(gDebugOutput.find("Could not start the vorlen.exe program: no-such-vorlen-program "
                              "--server --encrypt  --key-bits  40 --user-password=\"***\" "
                              "--owner-password=\"***\" \"in.xml\""),
            std::string::npos)
      << gDebugOutput;
  EXPECT_NE(gDebugOutput.find("program: \"Z:\\nonexistent\\x.exe --server --encrypt  --key-bits  "
                              "40 --user-password=\"***\" --owner-password=\"***\" \"in.xml\""),
            std::string::npos)
      << gDebugOutput;
  EXPECT_EQ(gDebugOutput.find("s3cret"), std::string::npos) << gDebugOutput;

  // Back on the visible station the box is shown again.
  AlertCatcher catcher;
  Vorlen job;
  UseScriptConverter(job);
  EXPECT_EQ(job.Convert(Scenario("x=0")), 0);
  EXPECT_EQ(catcher.alerts, (std::vector<CaughtAlert>{{u"retV = 0", AlertStyle::Plain}}));
}

// Every pipe end is made non-inheritable; the child's two are inheritable
// only inside the start, whichever way it ends, and still reach the child.
class InheritanceWatch final : public ForwardingPlatform {
 public:
  int inheritableOutsideStart = 0;
  std::vector<CaughtAlert> alerts;

  Pipe CreatePipe(PipeDirection direction) override {
    Pipe pipe = ForwardingPlatform::CreatePipe(direction);
    if (pipe) ends_.insert(ends_.end(), {pipe.read->handle, pipe.write->handle});
    Count();
    return pipe;
  }
  Child Start(const Text& program, const Text& commandLine, RawHandle input, RawHandle output,
              Text& asHanded) override {
    Count();
    Child child = ForwardingPlatform::Start(program, commandLine, input, output, asHanded);
    Count();
    return child;
  }
  void Close(RawHandle handle) override {
    std::erase(ends_, handle);
    ForwardingPlatform::Close(handle);
  }
  using Platform::Alert;
  void Alert(const Text& prompt, AlertStyle style, const Text&) override {
    alerts.push_back({prompt, style});
  }

 private:
  void Count() {
    for (RawHandle end : ends_) {
      DWORD flags = 0;
      GetHandleInformation(reinterpret_cast<HANDLE>(end), &flags);
      inheritableOutsideStart += (flags & HANDLE_FLAG_INHERIT) != 0;
    }
  }
  std::vector<RawHandle> ends_;
};

using Win32Inheritance = ScriptedJob<InheritanceWatch>;

TEST_F(Win32Inheritance, ChildEndsAreInheritableOnlyDuringTheStart) {
  const std::string record = TempPath("inherit.txt");
  EXPECT_EQ(Play("r=" + record + ";o=fin|success\\r\\n"), 1);
  const std::string seen = ReadAll(record);
  EXPECT_NE(seen.find("\npipes=2\nforeign-pipes=0\n"), std::string::npos) << seen;
  EXPECT_NE(seen.find("stdin=closed\n"), std::string::npos) << seen;
  // A file that the system cannot start: CreateProcess fails.
  const std::string notAProgram = TempPath("not-a-program.exe");
  std::ofstream(notAProgram) << "text\r\n";
  job.settings().SetVorlenPath(FromUtf8(notAProgram));
  EXPECT_EQ(job.Convert(u"in.xml"), 0);
  EXPECT_EQ(platform.alerts.size(), 1u);
  EXPECT_EQ(platform.inheritableOutsideStart, 0);
  std::filesystem::remove(record);
  std::filesystem::remove(notAProgram);
}

// The alert of a start that the system refused stays as it is; the log gets
// the system's code and text, without the line's trailing CR LF.
TEST(Win32Start, RefusedStartLogsTheSystemsReason) {
  const std::string notAProgram = TempPath("not-a-program.exe");
  std::ofstream(notAProgram) << "text\r\n";
  void* handler = AddVectoredExceptionHandler(1, OnDebugString);
  gDebugOutput.clear();
  CountingPlatform platform;
  Vorlen job(platform);
  job.settings().SetVorlenPath(FromUtf8(notAProgram));
  EXPECT_EQ(job.Convert(u"in.xml"), 0);
  RemoveVectoredExceptionHandler(handler);
  EXPECT_EQ(platform.alerts,
            (std::vector<CaughtAlert>{
                {kStartFailurePrompt + FromUtf8(notAProgram) + u" --server \"in.xml\"",
                 AlertStyle::Critical}}));
  const std::size_t at = gDebugOutput.find("CreateProcess failed: ");
  ASSERT_NE(at, std::string::npos) << gDebugOutput;
  const std::string line = gDebugOutput.substr(at);
  std::printf("logged: %s\n", line.c_str());
  EXPECT_TRUE(line.size() > 22 && line[22] >= '1' && line[22] <= '9') << line;
  EXPECT_NE(line.back(), '\n');
  EXPECT_NE(line.back(), '\r');
  std::filesystem::remove(notAProgram);
}

// A batch converter runs through the command interpreter: values that it
// would take for commands or variables start nothing, the rest arrive.
TEST(Win32Start, BatchConverterGetsNoCommandOrVariableThroughAValue) {
  const std::filesystem::path dir = TempPath("batch");
  std::filesystem::create_directories(dir);
  const std::filesystem::path pwned = dir / "pwned.txt";
  std::ofstream(dir / "conv.cmd") << "@echo off\r\necho %* > \"" << (dir / "args.txt").string()
                                  << "\"\r\necho fin^|success\r\n";
  CountingPlatform platform;
  Vorlen job(platform);
  job.settings().SetVorlenPath(FromUtf8((dir / "conv.cmd").string()));
  const Text injection = u"x\" & echo INJECTED> " + FromUtf8(pwned.string()) + u" & rem \"";
  EXPECT_EQ(job.Convert(u"in.xml", injection), 0);
  EXPECT_EQ(job.Convert(injection), 0);
  EXPECT_EQ(job.Convert(u"in.xml", u"o%OS%.pdf"), 0);
  EXPECT_EQ(platform.started, 0);
  ASSERT_EQ(platform.alerts.size(), 3u);
  EXPECT_EQ(platform.alerts[2].text.substr(0, std::size(kStartFailurePrompt) - 1),
            kStartFailurePrompt);
  EXPECT_EQ(job.Convert(u"in & out.xml", u"o(1).pdf"), 1);
  EXPECT_EQ(ReadAll((dir / "args.txt").string()), "--server \"in & out.xml\" \"o(1).pdf\" \r\n");
  EXPECT_FALSE(std::filesystem::exists(pwned));
  // The command interpreter takes at most 8,191 characters, counted on the
  // line it receives: a longer one starts nothing, as a line too long for the
  // system does.
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  const Text interpreter = Text(reinterpret_cast<const char16_t*>(system), length) + u"\\cmd.exe";
  const auto received = [&](const Text& xml) {
    const Text line = BuildCommandLine(job.settings(), xml, u"");
    return BatchFileCommandLine(interpreter, FromUtf8((dir / "conv.cmd").string()),
                                TextView(line).substr(ParseCommandLine(line).front().end));
  };
  const Text longest(8191 - received(u"").size(), u'x');
  ASSERT_EQ(received(longest).size(), 8191u);
  EXPECT_EQ(job.Convert(longest), 1);
  EXPECT_EQ(platform.started, 2);
  EXPECT_EQ(job.Convert(longest + u"x"), 0);
  EXPECT_EQ(platform.started, 2);
  ASSERT_EQ(platform.alerts.size(), 4u);
  EXPECT_EQ(platform.alerts[3].text.substr(0, std::size(kStartFailurePrompt) - 1),
            kStartFailurePrompt);
  RemoveFolder(dir.string());
}

}  // namespace
}  // namespace vorlen::test
