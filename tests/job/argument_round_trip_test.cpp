// Whatever text the setters receive, the converter gets it back as exactly one
// argument when the command line is split by the Windows rules.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "channel/windows_arguments.h"
#include "job/command_line.h"

namespace vorlen {
namespace {

using Args = std::vector<Text>;

TEST(SplitCommandLine, WindowsRules) {
  EXPECT_EQ(SplitCommandLine(u"prog a b"), (Args{u"prog", u"a", u"b"}));
  EXPECT_EQ(SplitCommandLine(u"\"C:\\Program Files\\p.exe\" x"),
            (Args{u"C:\\Program Files\\p.exe", u"x"}));
  EXPECT_EQ(SplitCommandLine(u"C:\\dir\\p.exe \t a\\\\b  "), (Args{u"C:\\dir\\p.exe", u"a\\\\b"}));
  EXPECT_EQ(SplitCommandLine(u"p \"a b\" \"\" c"), (Args{u"p", u"a b", u"", u"c"}));
  EXPECT_EQ(SplitCommandLine(u"p a\\\"b \\\\\"c d\""), (Args{u"p", u"a\"b", u"\\c d"}));
  EXPECT_EQ(SplitCommandLine(u"p --log=\"x y\"z"), (Args{u"p", u"--log=x yz"}));
  EXPECT_EQ(SplitCommandLine(u" --server \"in\""), (Args{u"", u"--server", u"in"}));
}

TEST(QuoteArgument, PlainValuesKeepTheirBytes) {
  EXPECT_EQ(QuoteArgument(u""), u"\"\"");
  EXPECT_EQ(QuoteArgument(u"a b\\c"), u"\"a b\\c\"");
  EXPECT_EQ(QuoteArgument(u"end\\"), u"\"end\\\\\"");
  EXPECT_EQ(QuoteArgument(u"say \"hi\""), u"\"say \\\"hi\\\"\"");
}

Text RandomText(std::mt19937& rng) {
  static const std::u16string alphabet = u"ab \t\"\\\\\\-=\u00e9\u20ac\u65e5\xD83D\xDE00";
  std::uniform_int_distribution<int> length(0, 12);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  Text text;
  for (int n = length(rng); n > 0; --n) {
    const char16_t c = alphabet[pick(rng)];
    if (c == 0xD83D) {
      text += u"\xD83D\xDE00";  // keep the surrogate pair whole
    } else if (c != 0xDE00) {
      text.push_back(c);
    }
  }
  return text;
}

TEST(ArgumentRoundTrip, EveryValueComesBackAsOneArgument) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 2000; ++round) {
    Settings s;
    s.SetVorlenPath(u"C:\\bin\\vorlen.exe");
    Args expected{u"C:\\bin\\vorlen.exe", u"--server"};

    const int sheets = round % 3;
    for (int i = 0; i < sheets; ++i) {
      const Text css = RandomText(rng);
      s.AddStyleSheet(css);
      expected.insert(expected.end(), {u"-s", css});
    }
    const Text user = RandomText(rng), owner = RandomText(rng);
    if (round % 2) {
      s.SetEncryptInfo(128, user, owner, kTrue, kFalse, kFalse, kTrue);
      expected.insert(expected.end(),
                      {u"--encrypt", u"--key-bits", u"128", u"--user-password=" + user,
                       u"--owner-password=" + owner, u"--disallow-print", u"--disallow-annotate"});
    }
    const Text log = RandomText(rng), url = RandomText(rng);
    s.SetLog(log);
    s.SetBaseURL(url);
    if (!log.empty()) expected.push_back(u"--log=" + log);
    if (!url.empty()) expected.push_back(u"--baseurl=" + url);

    const Text input = RandomText(rng), output = RandomText(rng);
    expected.push_back(input);
    if (!output.empty()) expected.push_back(output);

    const Text line = BuildCommandLine(s, input, output);
    ASSERT_EQ(SplitCommandLine(line), expected) << "command line: " << ToUtf8(line);
  }
}

}  // namespace
}  // namespace vorlen
