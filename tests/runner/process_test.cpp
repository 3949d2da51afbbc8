// The converter process as it sees itself (every value one whole argument, no
// handle of another run), a value holding NUL, a converter that outlives its
// run, nested runs, many runs in a row, and the stand-in converter end to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "channel/alert.h"
#include "channel/error.h"
#include "channel/windows_arguments.h"
#include "job/command_line.h"
#include "tests/runner/support.h"

namespace vorlen::test {
namespace {

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

using Process = ScriptedJob<AlertCatcher>;

TEST_F(Process, ConverterSeesItsCommandLineAndOnePipe) {
  const std::string record = TempPath("record.txt");
  job.settings().AddStyleSheet(u"a b.css");
  const Text xml = Scenario("r=" + record + ";o=fin|success\\r\\n");
  const Text commandLine = BuildCommandLine(job.settings(), xml, u"out \"q\".pdf");
  ASSERT_EQ(job.Convert(xml, u"out \"q\".pdf"), 1);
  const std::string seen = ReadAll(record);
  std::string expectedArgs;
  const auto args = SplitCommandLine(commandLine);
  for (std::size_t i = 1; i < args.size(); ++i) expectedArgs += "arg=" + ToUtf8(args[i]) + "\n";
  EXPECT_EQ(seen.substr(0, expectedArgs.size()), expectedArgs);
  EXPECT_TRUE(Contains(seen, "stdout-pipe=yes\n")) << seen;
  EXPECT_TRUE(Contains(seen, "stdout-is-stderr=yes\n")) << seen;
  // The input pipe's write end stayed with the runner and was closed.
  EXPECT_TRUE(Contains(seen, "stdin=closed\n")) << seen;
  if (Contains(seen, "cmdline=")) {
    EXPECT_TRUE(Contains(seen, "cmdline=" + ToUtf8(commandLine) + "\n")) << seen;
  } else {
    // Neither pipe reached the converter through another descriptor.
    EXPECT_TRUE(Contains(seen, "pipe-copies=0\n")) << seen;
  }
  std::filesystem::remove(record);
}

// Each value whole, as one argument, with only the characters that the
// system's code page lacks replaced (by "?" or U+FFFD): best fit would turn
// U+FF02 into a double quote, U+FF3C into a backslash and U+0141 into an L.
TEST_F(Process, EveryValueArrivesWholeAsOneArgument) {
  const Text tricky = u"a\uFF02 --log=\uFF02C:\\evil \u0141\uFF3C";
  const Text curly = u"\u201Cq\u201D\\";
  const std::string record = TempPath("arguments.txt");
  job.settings().AddStyleSheet(tricky);
  job.settings().SetEncryptInfo(128, tricky, curly, 0, 0, 0, 0);
  job.settings().SetLog(curly);
  job.settings().SetBaseURL(tricky);
  const Text xml = Scenario("r=" + record + ";o=fin|success\\r\\n;zz") + tricky;
  ASSERT_EQ(job.Convert(xml, tricky), 1);
  const std::vector<Text> contract = {u"--server",
                                      u"-s",
                                      tricky,
                                      u"--encrypt",
                                      u"--key-bits",
                                      u"128",
                                      u"--user-password=" + tricky,
                                      u"--owner-password=" + curly,
                                      u"--log=" + curly,
                                      u"--baseurl=" + tricky,
                                      xml,
                                      tricky};
  std::vector<Text> seen;
  std::istringstream lines(ReadAll(record));
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("arg=")) continue;
    std::string bytes = line.substr(4);
    seen.push_back(SystemPlatform().Decode(bytes));
  }
  ASSERT_EQ(seen.size(), contract.size()) << ReadAll(record);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    bool same = seen[i].size() == contract[i].size();
    for (std::size_t c = 0; same && c < seen[i].size(); ++c) {
      same = seen[i][c] == contract[i][c] ||
             (contract[i][c] >= 0x80 && (seen[i][c] == u'?' || seen[i][c] == 0xFFFD));
    }
    EXPECT_TRUE(same) << "argument " << i << ": " << ToUtf8(seen[i]);
  }
  std::filesystem::remove(record);
}

TEST(Nul, InAnyValueStartsNothingAndRaisesErrorFive) {
  const Text nul(u"a\0b", 3);
  using Set = std::function<void(Settings&)>;
  const std::tuple<std::string, Set, Text, Text> cases[] = {
      {"exePath", [&](Settings& s) { s.SetVorlenPath(nul); }, u"in", u""},
      {"cssPath", [&](Settings& s) { s.AddStyleSheet(nul); }, u"in", u""},
      {"userPassword", [&](Settings& s) { s.SetEncryptInfo(40, nul, u"o", 0, 0, 0, 0); }, u"in",
       u""},
      {"ownerPassword", [&](Settings& s) { s.SetEncryptInfo(40, u"u", nul, 0, 0, 0, 0); }, u"in",
       u""},
      {"logFile", [&](Settings& s) { s.SetLog(nul); }, u"in", u""},
      {"baseurl", [&](Settings& s) { s.SetBaseURL(nul); }, u"in", u""},
      {"xmlPath", [](Settings&) {}, nul, u""},
      {"pdfPath", [](Settings&) {}, u"in", nul},
  };
  for (const auto& [name, set, xml, pdf] : cases) {
    CountingPlatform platform;
    Vorlen job(platform);
    UseScriptConverter(job);
    set(job.settings());
    try {
      job.Convert(xml, pdf);
      ADD_FAILURE() << name << ": no error";
    } catch (const VorlenError& error) {
      EXPECT_EQ(error.number(), kInvalidArgumentError);
      EXPECT_EQ(error.detail(), name + " holds a NUL character");
    }
    EXPECT_TRUE(platform.created.empty()) << name << ": a pipe was created";
    EXPECT_EQ(platform.started, 0) << name;
  }
}

TEST_F(Process, ConverterOutlivingItsRunGetsABrokenPipe) {
  // The run ends at the bad fin value; the converter then writes far more
  // than a pipe holds. It must learn that nobody reads, not block forever.
  const std::string mark = TempPath("flood.txt");
  EXPECT_EQ(job.Convert(Scenario("o=fin|bogus\\r\\n;s=100;f=" + mark)), 0);
  std::string seen;
  for (int i = 0; i < 200 && seen.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    seen = ReadAll(mark);
  }
  EXPECT_EQ(seen, "broken\n");
  std::filesystem::remove(mark);
}

// Calls setters and a nested Convert on the same object from the first
// Message of the outer run.
class NestingSink : public RecordingSink {
 public:
  NestingSink(Vorlen& job, std::string innerRecord)
      : job_(job), innerRecord_(std::move(innerRecord)) {}
  void Receive(TextView msgType, TextView msgLocation, TextView msg) override {
    RecordingSink::Receive(msgType, msgLocation, msg);
    if (nested_) return;
    nested_ = true;
    job_.settings().SetHTML(-1);
    innerResult =
        job_.Convert(Scenario("r=" + innerRecord_ + ";o=msg|inf|in|inner\\r\\nfin|success\\r\\n"));
  }
  std::int32_t innerResult = -1;

 private:
  Vorlen& job_;
  std::string innerRecord_;
  bool nested_ = false;
};

TEST_F(Process, NestedConvertFromAMessageHandler) {
  const std::string outerRecord = TempPath("outer.txt");
  const std::string innerRecord = TempPath("inner.txt");
  auto nesting = std::make_shared<NestingSink>(job, innerRecord);
  job.events().Connect(nesting);
  const std::int32_t outer = job.Convert(
      Scenario("r=" + outerRecord +
               ";o=msg|inf|out|first\\r\\n;s=100;o=msg|inf|out|second\\r\\nfin|failure\\r\\n"));
  EXPECT_EQ(outer, 0);
  EXPECT_EQ(nesting->innerResult, 1);
  EXPECT_EQ(nesting->events, (std::vector<Event>{{u"inf", u"out", u"first"},
                                                 {u"inf", u"in", u"inner"},
                                                 {u"inf", u"out", u"second"}}));
  EXPECT_FALSE(Contains(ReadAll(outerRecord), "arg=html\n"));
  EXPECT_TRUE(Contains(ReadAll(innerRecord), "arg=-i\narg=html\n"));
  EXPECT_TRUE(platform.alerts.empty());
  std::filesystem::remove(outerRecord);
  std::filesystem::remove(innerRecord);
}

TEST_F(Process, ManyRunsThroughEveryWayOutLeaveNothingOpen) {
  const auto round = [&] {
    EXPECT_EQ(job.Convert(Scenario("o=msg|inf|l|x\\r\\nfin|success\\r\\n")), 1);
    EXPECT_EQ(job.Convert(Scenario("o=fin|failure\\r\\n")), 0);
    EXPECT_EQ(job.Convert(Scenario("x=0")), 0);
    EXPECT_EQ(job.Convert(Scenario("o=fin|nope\\r\\n")), 0);
    EXPECT_THROW(job.Convert(Scenario("o=ab\\r\\n")), VorlenError);
    Vorlen missing(platform);
    missing.settings().SetVorlenPath(u"no-such-vorlen-program");
    EXPECT_EQ(missing.Convert(u"in.xml"), 0);
  };
  round();  // first use sets up what the system keeps for good
  const long before = OpenHandleCount();
  const int rounds = 5;
  for (int i = 0; i < rounds; ++i) round();
  EXPECT_LE(OpenHandleCount(), before);
  EXPECT_EQ(platform.alerts.size(), static_cast<std::size_t>(3 * (rounds + 1)));
}

// A program path of which no leading part names a file starts nothing, not
// even a planted program that the system would find for a blank in it; one
// with options appended starts the file before them, with the options.
TEST_F(Process, OnlyTheFileThatThePathNamesStarts) {
  const std::filesystem::path dir = TempPath("planted");
  std::filesystem::create_directories(dir / "My Tools");
  const std::string exe = ProgramBesideTests("runner_script_converter");
  const std::string suffix = std::filesystem::path(exe).extension().string();
  std::filesystem::copy_file(exe, dir / ("My" + suffix));
  std::filesystem::copy_file(exe, dir / "My Tools" / ("conv" + suffix));
  const std::string record = TempPath("record.txt");
  const Text xml = Scenario("r=" + record + ";o=fin|success\\r\\n");

  const Text missing = FromUtf8((dir / "My Tools" / ("vorlen" + suffix)).string());
  job.settings().SetVorlenPath(missing);
  EXPECT_EQ(job.Convert(xml), 0);
  EXPECT_EQ(ReadAll(record), "") << "the planted program ran";
  ASSERT_EQ(platform.alerts.size(), 1u);
  EXPECT_EQ(platform.alerts[0].text, kStartFailurePrompt + missing + u" --server \"" + xml + u"\"");

  job.settings().SetVorlenPath(FromUtf8((dir / "My Tools" / ("conv" + suffix)).string()) +
                               u" --opt");
  EXPECT_EQ(job.Convert(xml), 1);
  EXPECT_TRUE(Contains(ReadAll(record), "arg=--opt\narg=--server\n")) << ReadAll(record);
  EXPECT_EQ(platform.alerts.size(), 1u);
  RemoveFolder(dir.string());
  std::filesystem::remove(record);
}

TEST(Concurrency, EachConverterHoldsOnlyItsOwnPipes) {
  if (ProgramBesideTests("runner_script_converter").empty()) GTEST_SKIP() << "no test converter";
  InheritablePipe host;
  constexpr int kThreads = 8, kRounds = 3;
  std::vector<std::string> records;
  for (int i = 0; i < kThreads * kRounds; ++i) records.push_back(TempPath("census.txt"));
  std::vector<std::int32_t> results(records.size(), -1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      CountingPlatform platform;  // alerts recorded, not shown
      Vorlen job(platform);
      UseScriptConverter(job);
      for (int i = t * kRounds; i < (t + 1) * kRounds; ++i) {
        results[i] = job.Convert(Scenario("r=" + records[i] + ";o=fin|success\\r\\n"));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  int clean = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(results[i], 1);
    const std::string seen = ReadAll(records[i]);
    const bool own = Contains(seen, "descriptors-above-2=0\n") ||
                     (Contains(seen, "\npipes=2\n") && Contains(seen, "foreign-pipes=0\n"));
    EXPECT_TRUE(own) << seen;
    clean += own;
    std::filesystem::remove(records[i]);
  }
  std::printf("census: %d of %zu converters held only their own pipes\n", clean, records.size());
}

TEST_F(Process, StandInConverterEndToEnd) {
  const std::string converter = ProgramBesideTests("vorlen");
  if (converter.empty()) GTEST_SKIP() << "the stand-in converter is not built in this tree";
  const std::string pdf = TempPath("sample.pdf");
  job.settings().SetVorlenPath(FromUtf8(converter));
  job.settings().SetHTML(-1);
  const std::string sample = std::string(VORLEN_SOURCE_DIR) + "/examples/sample.html";
  EXPECT_EQ(job.Convert(FromUtf8(HostPath(sample)), FromUtf8(pdf)), 1);
  EXPECT_EQ(ReadAll(pdf).substr(0, 5), "%PDF-");
  EXPECT_FALSE(sink->events.empty());
  EXPECT_TRUE(platform.alerts.empty());
  // A broken document: the converter's own verdict, with its diagnostics.
  sink->events.clear();
  const std::string bad = std::string(VORLEN_SOURCE_DIR) + "/tests/data/malformed.xml";
  job.settings().SetHTML(0);
  EXPECT_EQ(job.Convert(FromUtf8(HostPath(bad)), FromUtf8(pdf + ".bad")), 0);
  EXPECT_FALSE(sink->events.empty());
  EXPECT_TRUE(platform.alerts.empty());
  std::filesystem::remove(pdf);
}

}  // namespace
}  // namespace vorlen::test
