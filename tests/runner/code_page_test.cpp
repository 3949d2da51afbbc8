// Command lines under the ANSI code page that the test's locale gives Wine
// (code_page_test.sh sets it): the converter's own ANSI view of its command
// line holds at most 65,535 bytes with the terminator, so a line whose ANSI
// form is longer starts nothing, and one that fits arrives whole. Without
// VORLEN_EXPECT_ACP these cases are skipped; with it, a code page other than
// the one asked for fails them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "channel/alert.h"
#include "job/command_line.h"
#include "tests/runner/support.h"

namespace vorlen::test {
namespace {

constexpr std::size_t kLongestAnsiLine = 65535;  // bytes with the terminator

std::string Ansi(const Text& text) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

class CodePage : public ScriptedJob<CountingPlatform> {
 protected:
  void SetUp() override {
    const char* expected = std::getenv("VORLEN_EXPECT_ACP");
    if (expected == nullptr) GTEST_SKIP() << "run by runner.code_pages under its own locale";
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)))
        << "the locale did not give the code page these cases need";
    ScriptedJob::SetUp();
  }
  void TearDown() override {
    std::filesystem::remove(record_);
    ScriptedJob::TearDown();
  }
  // Converts `xml` (after the recording scenario) to `pdf`; the arguments the
  // converter saw, each as "arg=" and its bytes, or "" when none started.
  std::string Arguments(const Text& tail, const Text& pdf, std::int32_t& result) {
    std::filesystem::remove(record_);
    result = job.Convert(xml_ + tail, pdf);
    std::string seen = ReadAll(record_);
    return seen.substr(0, seen.find("cmdline="));
  }
  std::string Expected(const Text& tail, const Text& pdf) const {
    return "arg=--server\narg=" + Ansi(xml_ + tail) + "\narg=" + Ansi(pdf) + "\n";
  }
  // The ANSI size of the line that converts `xml` with `tail` to `pdf`.
  std::size_t LineBytes(const Text& tail, const Text& pdf) {
    return Ansi(BuildCommandLine(job.settings(), xml_ + tail, pdf)).size();
  }

  const std::string record_ = TempPath("code-page.txt");
  const Text xml_ = Scenario("r=" + record_ + ";o=fin|success\\r\\n;");
  const Text pdf_ = FromUtf8(TempPath("out.pdf"));
};

int ArgumentCount(const std::string& seen) {
  int count = 0;
  for (std::size_t at = seen.find("arg="); at != std::string::npos; at = seen.find("arg=", at + 1))
    ++count;
  return count;
}

// Code page 65001: three bytes for each of U+4E00..U+9FFF.
TEST_F(CodePage, Utf8LineOverTheByteLimitStartsNothing) {
  if (GetACP() != CP_UTF8) GTEST_SKIP() << "another code page's case";
  std::int32_t result = -1;
  // 30,047 characters, about 90,000 bytes: far inside the UTF-16 limit.
  const std::size_t base = BuildCommandLine(job.settings(), xml_, pdf_).size();
  const Text wide(30047 - base, u'\u4E00');
  ASSERT_EQ(BuildCommandLine(job.settings(), xml_ + wide, pdf_).size(), 30047u);
  std::string seen = Arguments(wide, pdf_, result);
  std::printf("30,047 characters: result %d, %d converters started, %d arguments seen\n", result,
              platform.started, ArgumentCount(seen));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(platform.started, 0);
  ASSERT_EQ(platform.alerts.size(), 1u);
  EXPECT_EQ(platform.alerts[0].text.substr(0, std::size(kStartFailurePrompt) - 1),
            kStartFailurePrompt);

  // Exactly the longest line that fits, then one byte more.
  const std::size_t room = kLongestAnsiLine - 1 - LineBytes(u"", pdf_);
  const Text fits = Text(room % 3, u'x') + Text(room / 3, u'\u4E00');
  ASSERT_EQ(LineBytes(fits, pdf_) + 1, kLongestAnsiLine);
  seen = Arguments(fits, pdf_, result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(seen, Expected(fits, pdf_)) << "the longest line that fits arrives whole";
  seen = Arguments(u"x" + fits, pdf_, result);
  std::printf("%zu bytes with the terminator: result %d, %d arguments seen\n",
              LineBytes(u"x" + fits, pdf_) + 1, result, ArgumentCount(seen));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(seen, "");
  EXPECT_EQ(platform.started, 1);
  EXPECT_EQ(platform.alerts.size(), 2u);
}

// Code page 932: two bytes a character at most, so the longest UTF-16 line
// fits; a trail byte 0x5C (the backslash's byte) before a closing quote ends
// nothing.
TEST_F(CodePage, DoubleByteLinesArriveWhole) {
  if (GetACP() != 932) GTEST_SKIP() << "another code page's case";
  std::int32_t result = -1;
  const Text pdf = FromUtf8(TempPath("")) + u"\u30BD";   // ソ
  std::string seen = Arguments(u"\u8868", pdf, result);  // 表
  EXPECT_EQ(result, 1);
  EXPECT_EQ(seen, Expected(u"\u8868", pdf));
  const Text longest(32766 - BuildCommandLine(job.settings(), xml_, pdf).size(), u'\u8868');
  seen = Arguments(longest, pdf, result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(seen, Expected(longest, pdf))
      << "32,766 characters, " << LineBytes(longest, pdf) << " bytes";
  EXPECT_TRUE(platform.alerts.empty());
}

}  // namespace
}  // namespace vorlen::test
