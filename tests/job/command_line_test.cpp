// The converter's command line, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "channel/masking.h"
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

// The program is the longest leading part of the path that names a file;
// nothing else is started. Valid paths keep their bytes but for the quotes
// around a program with a blank.
TEST(CommandLine, ProgramIsTheLongestLeadingPartThatNamesAFile) {
  const auto dir = std::filesystem::temp_directory_path() / "vorlen cmdline test";
  std::filesystem::create_directories(dir);
  const auto program = dir / "conv.exe";
  std::ofstream(program) << "x";
  const Text path = program.u16string();
  const Text plain =
      std::filesystem::path(std::filesystem::temp_directory_path() / "vorlen-conv").u16string();
  std::ofstream(std::filesystem::path(plain)) << "x";

  const std::pair<Text, Text> cases[] = {
      {path, u"\"" + path + u"\""},
      {u"\"" + path + u"\"", u"\"" + path + u"\""},  // already quoted: left alone
      {path + u" --extra", u"\"" + path + u"\" --extra"},
      {plain + u" --extra  -x", plain + u" --extra  -x"},
  };
  for (const auto& [exePath, fragment] : cases) {
    Settings s;
    s.SetVorlenPath(exePath);
    EXPECT_EQ(BuildCommandLine(s, u"in", u""), fragment + u" --server \"in\"");
    const ConverterCommand command = BuildCommand(s, u"in", u"");
    EXPECT_EQ(command.line, fragment + u" --server \"in\"");
    EXPECT_TRUE(command.program == path || command.program == plain) << ToUtf8(exePath);
  }
  // Nothing that names a file: the line as given, and no program.
  for (const Text& exePath : {(dir / "vorlen.exe").u16string(), dir.u16string(),
                              (dir / "conv").u16string(), u"\"" + path, Text()}) {
    Settings s;
    s.SetVorlenPath(exePath);
    const ConverterCommand command = BuildCommand(s, u"in", u"");
    EXPECT_EQ(command.line, exePath + u" --server \"in\"");
    EXPECT_TRUE(command.program.empty()) << ToUtf8(exePath);
  }
  std::filesystem::remove_all(dir);
  std::filesystem::remove(std::filesystem::path(plain));
}

// A batch file runs through the command interpreter, which expands % and !
// and ends a quoted value at any double quote: no such value is passed.
TEST(CommandLine, BatchConverterGetsOnlyValuesItCanTakeAsTheyAre) {
  const auto file = std::filesystem::temp_directory_path() / "vorlen-conv.CMD";
  std::ofstream(file) << "@echo fin^|success";
  Settings s;
  s.SetVorlenPath(file.u16string());
  EXPECT_EQ(BuildCommand(s, u"C:\\in & x.xml", u"o(1)^.pdf").program, file.u16string());
  for (const TextView bad :
       {u"x\" & echo INJECTED> pwned.txt & rem \"", u"o%OS%.pdf", u"a!b", u"a\r\nb"}) {
    EXPECT_TRUE(BuildCommand(s, u"in", Text(bad)).program.empty()) << ToUtf8(bad);
    EXPECT_TRUE(BuildCommand(s, Text(bad), u"").program.empty()) << ToUtf8(bad);
    Settings other = s;
    other.AddStyleSheet(Text(bad));
    EXPECT_TRUE(BuildCommand(other, u"in", u"").program.empty()) << ToUtf8(bad);
    other = s;
    other.SetEncryptInfo(40, u"u", Text(bad), 0, 0, 0, 0);
    EXPECT_TRUE(BuildCommand(other, u"in", u"").program.empty()) << ToUtf8(bad);
  }
  std::filesystem::remove(file);
}

// Alerts that leave the process show the encryption fragment masked, wherever
// it stands, whatever quotes the rest of the line holds.
TEST(CommandLine, MaskedLineHidesBothPasswords) {
  Settings s;
  s.SetVorlenPath(u"\"Z:\\nonexistent\\x.exe");
  s.AddStyleSheet(u"a\"b");
  s.SetEncryptInfo(40, u"UserSecret4", u"Owner\"Secret", 0, 0, 0, 0);
  const ConverterCommand command = BuildCommand(s, u"in", u"");
  EXPECT_EQ(command.masked,
            u"\"Z:\\nonexistent\\x.exe --server -s \"a\\\"b\" --encrypt  "
            u"--key-bits  40 --user-password=\"***\" --owner-password=\"***\" "
            u"\"in\"");
  // The same fragment in a box's text: whole, cut short after a password
  // began, and with no password in it at all.
  const Text prompt = u"Could not start: ";
  EXPECT_EQ(MaskPasswordsIn(prompt + command.line, s.encryptArgs), prompt + command.masked);
  const Text cut = prompt + command.line.substr(0, command.line.find(u"Owner") + 3) + u"\u2026";
  const Text shown = MaskPasswordsIn(cut, s.encryptArgs);
  EXPECT_EQ(shown.find(u"Secret"), Text::npos) << ToUtf8(shown);
  EXPECT_TRUE(shown.ends_with(u"--owner-password=\"***\" \u2026")) << ToUtf8(shown);
  EXPECT_EQ(MaskPasswordsIn(u"retV = 0", s.encryptArgs), u"retV = 0");
}

}  // namespace
}  // namespace vorlen
