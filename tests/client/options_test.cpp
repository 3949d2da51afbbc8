// vorlen-convert's options become the same setter calls, in the order given,
// whichever client applies them.
#include <gtest/gtest.h>

#include "client/options.h"
#include "job/command_line.h"

namespace vorlen::client {
namespace {

std::variant<Invocation, std::string> Parse(std::initializer_list<const char16_t*> args) {
  std::vector<Text> list;
  for (const char16_t* a : args) list.emplace_back(a);
  return ParseArguments(list);
}

Text CommandLineOf(std::initializer_list<const char16_t*> args) {
  auto parsed = Parse(args);
  const auto* invocation = std::get_if<Invocation>(&parsed);
  if (!invocation) {
    ADD_FAILURE() << std::get<std::string>(parsed);
    return Text();
  }
  Settings settings;
  for (const auto& call : invocation->calls) Apply(call, settings);
  return BuildCommandLine(settings, invocation->input, invocation->output);
}

TEST(ClientOptions, EveryOptionReachesItsSetter) {
  EXPECT_EQ(CommandLineOf({u"--converter", u"C:\\bin\\vorlen.exe", u"--style-sheet", u"a.css",
                           u"--html", u"in.html", u"out.pdf"}),
            u"C:\\bin\\vorlen.exe --server -s \"a.css\" -i html \"in.html\" \"out.pdf\"");
  EXPECT_EQ(CommandLineOf({u"--converter=v", u"--log", u"l.txt", u"--base-url=http://b/",
                           u"--no-xinclude", u"--no-embed-fonts", u"--no-compress", u"in"}),
            u"v --server --log=\"l.txt\" --baseurl=\"http://b/\" --no-xinclude --no-embed-fonts "
            u"--no-compress \"in\"");
}

TEST(ClientOptions, AppliedInTheOrderGiven) {
  EXPECT_EQ(CommandLineOf({u"--style-sheet", u"a", u"--clear-style-sheets", u"--style-sheet",
                           u"b", u"in"}),
            u" --server -s \"b\" \"in\"");
  EXPECT_EQ(CommandLineOf({u"--key-bits", u"40", u"--no-encrypt", u"in"}), u" --server \"in\"");
  EXPECT_EQ(CommandLineOf({u"--no-encrypt", u"--key-bits", u"40", u"in"}),
            u" --server --encrypt  --key-bits  40 --user-password=\"\" --owner-password=\"\" "
            u"\"in\"");
}

TEST(ClientOptions, EncryptionGroupIsOneSetEncryptInfoCall) {
  EXPECT_EQ(CommandLineOf({u"--key-bits", u"-5", u"--user-password", u"u p", u"--owner-password",
                           u"o", u"--disallow", u"copy", u"--disallow", u"print", u"in"}),
            u" --server --encrypt  --key-bits -5 --user-password=\"u p\" --owner-password=\"o\" "
            u"--disallow-print --disallow-copy \"in\"");
}

TEST(ClientOptions, UsageErrors) {
  for (auto args : {std::initializer_list<const char16_t*>{},
                    {u"--bogus", u"in"},
                    {u"--log"},
                    {u"--key-bits", u"99999", u"in"},
                    {u"--key-bits", u"12x", u"in"},
                    {u"--user-password", u"p", u"in"},
                    {u"--key-bits", u"40", u"--disallow", u"everything", u"in"},
                    {u"a", u"b", u"c"}}) {
    auto parsed = Parse(args);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
    const auto& message = std::get<std::string>(parsed);
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    EXPECT_TRUE(message.starts_with("vorlen-convert: ")) << message;
  }
}

TEST(ClientOptions, PathsAreKeptAsGiven) {
  auto parsed = Parse({u"--", u"--odd name.xml", u"../out dir/x.pdf"});
  const auto& invocation = std::get<Invocation>(parsed);
  EXPECT_EQ(invocation.input, u"--odd name.xml");
  EXPECT_EQ(invocation.output, u"../out dir/x.pdf");
}

}  // namespace
}  // namespace vorlen::client
