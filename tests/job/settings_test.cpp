// The options of a Vorlen object as the command line shows them: defaults,
// flags kept as given, and the fragments built when they are set.
#include <gtest/gtest.h>

#include "job/command_line.h"
#include "job/settings.h"

namespace vorlen {
namespace {

TEST(Settings, NewObjectHasItsDefaults) {
  const Settings s;
  EXPECT_EQ(s.html, 0);
  EXPECT_EQ(s.xinclude, -1);
  EXPECT_EQ(s.embedFonts, -1);
  EXPECT_EQ(s.compress, -1);
  EXPECT_EQ(s.encrypt, 0);
  for (const Text* text : {&s.exePath, &s.styleSheets, &s.logFile, &s.baseURL, &s.encryptArgs})
    EXPECT_TRUE(text->empty());
}

TEST(Settings, FlagsAreStoredUnchangedAndAnyNonZeroCountsAsTrue) {
  Settings s;
  s.SetHTML(1);
  s.SetXInclude(0);
  s.SetEmbedFonts(0);
  s.SetCompress(0x7fff);
  s.SetEncrypt(-2);
  EXPECT_EQ(s.html, 1);
  EXPECT_EQ(s.compress, 0x7fff);
  EXPECT_EQ(s.encrypt, -2);
  EXPECT_EQ(BuildCommandLine(s, u"in.xml", u""),
            u" --server -i html --no-xinclude --no-embed-fonts \"in.xml\"");
}

TEST(Settings, StyleSheetsAccumulateInOrderAndClear) {
  Settings s;
  s.AddStyleSheet(u"a.css");
  s.AddStyleSheet(u"b c.css");
  s.AddStyleSheet(u"a.css");
  EXPECT_EQ(s.styleSheets, u"-s \"a.css\" -s \"b c.css\" -s \"a.css\" ");
  s.ClearStyleSheets();
  EXPECT_EQ(s.styleSheets, u"");
  s.AddStyleSheet(u"a.css");
  EXPECT_EQ(s.styleSheets, u"-s \"a.css\" ");
}

TEST(Settings, EncryptionFragment) {
  Settings s;
  s.SetEncryptInfo(128, u"user", u"owner", kTrue, kFalse, 1, kFalse);
  EXPECT_EQ(s.encrypt, kTrue);
  EXPECT_EQ(s.encryptArgs,
            u"--encrypt  --key-bits  128 --user-password=\"user\" --owner-password=\"owner\" "
            u"--disallow-print --disallow-copy ");

  s.SetEncryptInfo(40, u"", u"", kFalse, kFalse, kFalse, kFalse);
  EXPECT_EQ(s.encryptArgs,
            u"--encrypt  --key-bits  40 --user-password=\"\" --owner-password=\"\" ");

  s.SetEncryptInfo(0, u"u", u"o", kTrue, kTrue, kTrue, kTrue);
  EXPECT_EQ(s.encryptArgs,
            u"--encrypt  --key-bits  0 --user-password=\"u\" --owner-password=\"o\" "
            u"--disallow-print --disallow-modify --disallow-copy --disallow-annotate ");
}

TEST(Settings, NegativeKeyLengthsCarryTheirSignInTheSignPosition) {
  Settings s;
  s.SetEncryptInfo(-5, u"", u"", kFalse, kFalse, kFalse, kFalse);
  EXPECT_TRUE(s.encryptArgs.starts_with(u"--encrypt  --key-bits -5 --user-password"));
  s.SetEncryptInfo(-32768, u"", u"", kFalse, kFalse, kFalse, kFalse);
  EXPECT_TRUE(s.encryptArgs.starts_with(u"--encrypt  --key-bits -32768 --user"));
  s.SetEncryptInfo(32767, u"", u"", kFalse, kFalse, kFalse, kFalse);
  EXPECT_TRUE(s.encryptArgs.starts_with(u"--encrypt  --key-bits  32767 --user"));
}

TEST(Settings, EncryptAndItsFragmentAreIndependent) {
  Settings s;
  s.SetEncrypt(kTrue);  // no fragment yet: nothing reaches the command line
  EXPECT_EQ(BuildCommandLine(s, u"x", u""), u" --server \"x\"");

  s.SetEncryptInfo(128, u"u", u"o", kFalse, kFalse, kFalse, kFalse);
  const Text withEncryption = BuildCommandLine(s, u"x", u"");
  s.SetEncrypt(kFalse);
  EXPECT_EQ(BuildCommandLine(s, u"x", u""), u" --server \"x\"");
  EXPECT_FALSE(s.encryptArgs.empty());
  s.SetEncrypt(kTrue);
  EXPECT_EQ(BuildCommandLine(s, u"x", u""), withEncryption);

  // A second SetEncryptInfo replaces the whole fragment, permissions included.
  s.SetEncryptInfo(128, u"u", u"o", kTrue, kTrue, kTrue, kTrue);
  s.SetEncryptInfo(40, u"u", u"o", kFalse, kFalse, kFalse, kFalse);
  EXPECT_EQ(s.encryptArgs.find(u"--disallow"), Text::npos);
}

}  // namespace
}  // namespace vorlen
