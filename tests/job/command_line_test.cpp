// The converter's command line, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "job/command_line.h"

namespace vorlen {
namespace {

TEST(CommandLine, DefaultsWithAndWithoutOutput) {
  Settings s;
  s.SetVorlenPath(u"C:\\bin\\vorlen.exe");
  EXPECT_EQ(BuildCommandLine(s, u"in.xml", u""), u"C:\\bin\\vorlen.exe --server \"in.xml\"");
  EXPECT_EQ(BuildCommandLine(s, u"in.xml", u"out.pdf"),
            u"C:\\bin\\vorlen.exe --server \"in.xml\" \"out.pdf\"");
}

TEST(CommandLine, WorkedExample) {
  Settings s;
  s.SetVorlenPath(u"C:\\bin\\vorlen.exe");
  s.AddStyleSheet(u"a.css");
  s.SetHTML(kTrue);
  EXPECT_EQ(BuildCommandLine(s, u"in.html", u"out.pdf"),
            u"C:\\bin\\vorlen.exe --server -s \"a.css\" -i html \"in.html\" \"out.pdf\"");
}

TEST(CommandLine, EveryFragmentInItsFixedOrder) {
  const Text expected =
      u"vorlen --server -s \"a.css\" --encrypt  --key-bits  128 --user-password=\"u\" "
      u"--owner-password=\"o\" --disallow-copy -i html --log=\"run.log\" "
      u"--baseurl=\"http://x/\" --no-xinclude --no-embed-fonts --no-compress \"in.xml\" "
      u"\"out.pdf\"";

  Settings forward;
  forward.SetVorlenPath(u"vorlen");
  forward.AddStyleSheet(u"a.css");
  forward.SetEncryptInfo(128, u"u", u"o", kFalse, kFalse, kTrue, kFalse);
  forward.SetHTML(kTrue);
  forward.SetLog(u"run.log");
  forward.SetBaseURL(u"http://x/");
  forward.SetXInclude(kFalse);
  forward.SetEmbedFonts(kFalse);
  forward.SetCompress(kFalse);
  EXPECT_EQ(BuildCommandLine(forward, u"in.xml", u"out.pdf"), expected);

  Settings backward;
  backward.SetCompress(kFalse);
  backward.SetEmbedFonts(kFalse);
  backward.SetXInclude(kFalse);
  backward.SetBaseURL(u"http://x/");
  backward.SetLog(u"run.log");
  backward.SetHTML(kTrue);
  backward.SetEncryptInfo(128, u"u", u"o", kFalse, kFalse, kTrue, kFalse);
  backward.AddStyleSheet(u"a.css");
  backward.SetVorlenPath(u"vorlen");
  EXPECT_EQ(BuildCommandLine(backward, u"in.xml", u"out.pdf"), expected);
}

TEST(CommandLine, EmptyLogAndBaseUrlRemoveTheirOptions) {
  Settings s;
  s.SetLog(u"a.log");
  s.SetBaseURL(u"b");
  s.SetLog(u"");
  s.SetBaseURL(u"");
  EXPECT_EQ(BuildCommandLine(s, u"in", u""), u" --server \"in\"");
}

TEST(CommandLine, BlanksInPathsStayInsideTheirQuotes) {
  Settings s;
  s.SetVorlenPath(u"C:\\No Such Dir\\vorlen.exe");
  EXPECT_EQ(BuildCommandLine(s, u"my doc.xml", u"my out.pdf"),
            u"C:\\No Such Dir\\vorlen.exe --server \"my doc.xml\" \"my out.pdf\"");
}

// A quoted value that holds a double quote or ends in backslashes would break
// out of its quotes and swallow the arguments after it.
TEST(CommandLine, QuotesAndTrailingBackslashesAreEscaped) {
  Settings s;
  s.SetVorlenPath(u"vorlen");
  s.SetBaseURL(u"C:\\docs\\");
  s.SetEncryptInfo(40, u"ab\"c", u"x\\\"y", kFalse, kFalse, kFalse, kFalse);
  s.AddStyleSheet(u"q\"uote.css");
  EXPECT_EQ(BuildCommandLine(s, u"a\\b\\in.xml", u"out\\\\"),
            u"vorlen --server -s \"q\\\"uote.css\" --encrypt  --key-bits  40 "
            u"--user-password=\"ab\\\"c\" --owner-password=\"x\\\\\\\"y\" "
            u"--baseurl=\"C:\\docs\\\\\" \"a\\b\\in.xml\" \"out\\\\\\\\\"");
}

TEST(CommandLine, ProgramPathWithBlankIsQuotedOnlyWhenItNamesAFile) {
  const auto dir = std::filesystem::temp_directory_path() / "vorlen cmdline test";
  std::filesystem::create_directories(dir);
  const auto program = dir / "conv.exe";
  std::ofstream(program) << "x";
  const Text path = program.u16string();

  Settings s;
  s.SetVorlenPath(path);
  EXPECT_EQ(BuildCommandLine(s, u"in", u""), u"\"" + path + u"\" --server \"in\"");

  s.SetVorlenPath(u"\"" + path + u"\"");  // already quoted: left alone
  EXPECT_EQ(BuildCommandLine(s, u"in", u""), u"\"" + path + u"\" --server \"in\"");

  s.SetVorlenPath(path + u" --extra");  // names no file: verbatim, options kept
  EXPECT_EQ(BuildCommandLine(s, u"in", u""), path + u" --extra --server \"in\"");

  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vorlen
