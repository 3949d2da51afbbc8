// The converter's command line and the paths it derives from it.
#include <gtest/gtest.h>

#include "converter/options.h"
#include "converter/paths.h"
#include "converter/platform.h"

namespace converter {
namespace {

TEST(ConverterOptions, TheComponentsFullCommandLineIsUnderstood) {
  ParsedOptions parsed = ParseOptions({"--server",
                                       "-s",
                                       "a.css",
                                       "-s",
                                       "b c.css",
                                       "--encrypt",
                                       "--key-bits",
                                       "128",
                                       "--user-password=u pw",
                                       "--owner-password=",
                                       "--disallow-print",
                                       "--disallow-annotate",
                                       "-i",
                                       "html",
                                       "--log=run.log",
                                       "--baseurl=file:///docs/",
                                       "--no-xinclude",
                                       "--no-embed-fonts",
                                       "--no-compress",
                                       "in put.html",
                                       "out.pdf"});
  ASSERT_TRUE(parsed.errors.empty());
  const Options& o = parsed.options;
  EXPECT_TRUE(o.server);
  EXPECT_EQ(o.styleSheets, (std::vector<std::string>{"a.css", "b c.css"}));
  EXPECT_TRUE(o.encrypt);
  EXPECT_EQ(o.keyBits, 128);
  EXPECT_EQ(o.userPassword, "u pw");
  EXPECT_EQ(o.ownerPassword, "");
  EXPECT_EQ(o.withheldPermissions, (std::vector<std::string>{"print", "annotate"}));
  EXPECT_TRUE(o.html);
  EXPECT_EQ(o.logFile, "run.log");
  EXPECT_EQ(o.baseUrl, "file:///docs/");
  EXPECT_FALSE(o.xinclude);
  EXPECT_FALSE(o.embedFonts);
  EXPECT_FALSE(o.compress);
  EXPECT_EQ(o.input, "in put.html");
  EXPECT_EQ(o.output, "out.pdf");
}

TEST(ConverterOptions, DefaultsAndTheSmallestLine) {
  ParsedOptions parsed = ParseOptions({"--server", "in.xml"});
  ASSERT_TRUE(parsed.errors.empty());
  EXPECT_FALSE(parsed.options.html);
  EXPECT_TRUE(parsed.options.xinclude && parsed.options.embedFonts && parsed.options.compress);
  EXPECT_EQ(parsed.options.output, "");
  EXPECT_EQ(ParseOptions({"--key-bits=40", "in.xml"}).options.keyBits, 40);
  EXPECT_EQ(ParseOptions({"--", "-odd.xml"}).options.input, "-odd.xml");
}

TEST(ConverterOptions, FaultsAreEachReported) {
  for (std::vector<std::string> line :
       std::vector<std::vector<std::string>>{{"--key-bits", "-5", "in.xml"},
                                             {"--key-bits", "64", "in.xml"},
                                             {"--key-bits", "12x", "in.xml"},
                                             {"-i", "pdf", "in.xml"},
                                             {"--whatever", "in.xml"},
                                             {"--disallow-everything", "in.xml"},
                                             {"--no-compress=1", "in.xml"},
                                             {"in.xml", "out.pdf", "extra"},
                                             {"--server"},
                                             {"in.xml", "-s"}}) {
    EXPECT_EQ(ParseOptions(line).errors.size(), 1u) << line[0];
  }
  EXPECT_EQ(ParseOptions({"--a", "--b"}).errors.size(), 3u);  // two unknown, no input
}

// A folder and a name joined the way the converter joins them on this system.
std::string Joined(const std::string& folder, const std::string& name) {
  return folder + PreferredSeparator() + name;
}

TEST(ConverterPaths, TheOutputGoesNextToTheInput) {
  EXPECT_EQ(DefaultOutputPath("docs/report.xml"), "docs/report.pdf");
  EXPECT_EQ(DefaultOutputPath("docs/report"), "docs/report.pdf");
  EXPECT_EQ(DefaultOutputPath("my.docs/report"), "my.docs/report.pdf");
  EXPECT_EQ(DefaultOutputPath("a.b.html"), "a.b.pdf");
  EXPECT_EQ(DefaultOutputPath(".hidden"), ".hidden.pdf");
  // Never the input itself.
  EXPECT_EQ(DefaultOutputPath("odd.PDF"), "odd.PDF.pdf");
}

TEST(ConverterPaths, ReferencesResolveAgainstTheDocumentOrTheBase) {
  EXPECT_EQ(ResolveReference("img/a.png", "", "docs/page.html"), Joined("docs", "img/a.png"));
  EXPECT_EQ(ResolveReference("a.png", "", "page.html"), "a.png");
  EXPECT_EQ(ResolveReference("a%20b.png#top", "", "docs/page.html"), Joined("docs", "a b.png"));
  EXPECT_EQ(ResolveReference("a.png", "/base/", "docs/page.html"), "/base/a.png");
  EXPECT_EQ(ResolveReference("a.png", "/base/index.html", "docs/page.html"),
            Joined("/base", "a.png"));
  EXPECT_EQ(ResolveReference("a.png", "file:///base/", "docs/page.html"), "/base/a.png");
  EXPECT_EQ(ResolveReference("/abs/a.png", "/base/", "page.html"), "/abs/a.png");
  EXPECT_EQ(ResolveReference("file:///abs/a%20b.png", "", "page.html"), "/abs/a b.png");
  // Nothing to check on this machine.
  EXPECT_EQ(ResolveReference("http://example.org/a.png", "", "page.html"), std::nullopt);
  EXPECT_EQ(ResolveReference("a.png", "http://example.org/", "page.html"), std::nullopt);
  EXPECT_EQ(ResolveReference("#section", "", "page.html"), std::nullopt);
  EXPECT_EQ(ResolveReference("data:image/png;base64,AAAA", "", "page.html"), std::nullopt);
}

}  // namespace
}  // namespace converter
