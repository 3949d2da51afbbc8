// The converter's document reader: XML faults with their lines, the HTML
// leniency, and the text, title and references it takes from a document.
#include <gtest/gtest.h>

#include <string>

#include "converter/document.h"

namespace converter {
namespace {

int ErrorLine(const std::string& xml) {
  DocumentReading reading = ReadDocument(xml, false);
  return reading.outcome.error ? reading.outcome.error->line : 0;
}

std::vector<std::string> Texts(const Document& document) {
  std::vector<std::string> texts;
  for (const Block& block : document.blocks) texts.push_back(block.marker + "|" + block.text);
  return texts;
}

TEST(XmlReading, FaultsReportTheLineWhereTheyStand) {
  EXPECT_EQ(ErrorLine("<a>\n<b>\n</a>"), 3);                // wrong end tag
  EXPECT_EQ(ErrorLine("<a>\n<b>\n</b>\n"), 4);              // document ends inside <a>
  EXPECT_EQ(ErrorLine("<a>\n\n x &nosuch; y</a>"), 3);      // undefined entity
  EXPECT_EQ(ErrorLine("<a>\n\n x & y</a>"), 3);             // bare ampersand
  EXPECT_EQ(ErrorLine("<a>\n1 < 2</a>"), 2);                // bare '<'
  EXPECT_EQ(ErrorLine("<a>\n<b x=1/></a>"), 2);             // unquoted value
  EXPECT_EQ(ErrorLine("<a>\n<b x='1' x='2'/></a>"), 2);     // attribute twice
  EXPECT_EQ(ErrorLine("<a x='a<b'/>"), 1);                  // '<' in a value
  EXPECT_EQ(ErrorLine("<a/>\n<b/>"), 2);                    // second document element
  EXPECT_EQ(ErrorLine("<a/>\ntrailing"), 2);                // text after it
  EXPECT_EQ(ErrorLine("<a>\n<!-- never closed\n</a>"), 2);  // open comment
  EXPECT_EQ(ErrorLine("</a>"), 1);                          // end tag first
  EXPECT_EQ(ErrorLine("  \n "), 2);                         // no element at all
  EXPECT_EQ(ErrorLine("<a>&#xD800;</a>"), 1);               // surrogate reference
}

TEST(XmlReading, WellFormedDocumentsPass) {
  EXPECT_EQ(ErrorLine("<?xml version='1.0'?>\n<!DOCTYPE a [<!ENTITY x 'y'>]>\n<a b=\"1\" c='2'>"
                      "<!-- c --><![CDATA[<raw>&]]>&amp;&#65;&#x42;&nbsp;<?pi x?></a>\n"),
            0);
  DocumentReading reading = ReadDocument("<a>&lt;&#65;&#x42;&eacute;<![CDATA[&lt;]]></a>", false);
  ASSERT_EQ(reading.document.blocks.size(), 1u);
  EXPECT_EQ(reading.document.blocks[0].text, "<AB\xC3\xA9&lt;");
}

TEST(HtmlReading, ReadsPastWhatBrowsersAccept) {
  DocumentReading reading = ReadDocument(
      "<HTML><Head><TITLE>T</TITLE><SCRIPT>if (a<b && c) x();</SCRIPT></HEAD>\n"
      "<BODY bgcolor=white><P>one<P>two &nosuch; &copy;<UL><LI>a<LI>b</UL>\n"
      "<p>x<br>y</b></p><img src=pic.png alt=p>tail",
      true);
  EXPECT_FALSE(reading.outcome.error);
  EXPECT_EQ(reading.document.title, "T");
  EXPECT_EQ(Texts(reading.document),
            (std::vector<std::string>{"|one", "|two &nosuch; \xC2\xA9", "\xE2\x80\xA2|a",
                                      "\xE2\x80\xA2|b", "|x\ny", "|tail"}));
  // Unknown entity and stray end tag are noted with their lines.
  ASSERT_EQ(reading.outcome.notes.size(), 2u);
  EXPECT_EQ(reading.outcome.notes[0].line, 2);
  EXPECT_EQ(reading.outcome.notes[1].line, 3);
  ASSERT_EQ(reading.document.references.size(), 1u);
  EXPECT_EQ(reading.document.references[0].target, "pic.png");
  EXPECT_EQ(reading.document.references[0].line, 3);
}

TEST(DocumentText, BlocksFollowTheStructure) {
  DocumentReading reading = ReadDocument(
      "<html><head><title> A  <b>title</b> </title><style>p{}</style></head><body>\n"
      "<h2>Head</h2><p>Some   <em>inline</em>\n text.</p>\n"
      "<ol><li>first</li><li>second<ul><li>inner</li></ul>after</li></ol>\n"
      "<pre>  keep\n    this</pre><table><tr><td>c1</td><td>c2</td></tr></table>\n"
      "<script>hidden()</script></body></html>",
      false);
  ASSERT_FALSE(reading.outcome.error);
  const Document& document = reading.document;
  EXPECT_EQ(document.title, "A title");
  EXPECT_EQ(Texts(document), (std::vector<std::string>{"|Head", "|Some inline text.", "1.|first",
                                                       "2.|second", "\xE2\x80\xA2|inner", "|after",
                                                       "|  keep\n    this", "|c1 c2"}));
  EXPECT_EQ(document.blocks[0].kind, Block::Kind::Heading);
  EXPECT_EQ(document.blocks[0].headingLevel, 2);
  EXPECT_EQ(document.blocks[2].indent, 1);
  EXPECT_EQ(document.blocks[4].indent, 2);
  EXPECT_EQ(document.blocks[6].kind, Block::Kind::Preformatted);
}

TEST(DocumentText, OtherXmlVocabulariesGiveOneBlockPerElement) {
  DocumentReading reading = ReadDocument(
      "<book><title>Manual</title><chapter><title>Start</title><para>Read <emphasis>this"
      "</emphasis>.</para><para>Then that.</para></chapter></book>",
      false);
  EXPECT_EQ(reading.document.title, "Manual");
  EXPECT_EQ(Texts(reading.document),
            (std::vector<std::string>{"|Manual", "|Start", "|Read this.", "|Then that."}));
}

TEST(DocumentText, ReferencesCarryTheirKindAndLine) {
  DocumentReading reading = ReadDocument(
      "<?xml-stylesheet href=\"a.css\" type=\"text/css\"?>\n<html><head>\n"
      "<link rel=\"stylesheet\" href=\"b.css\"/><link rel=\"icon\" href=\"i.ico\"/></head>\n"
      "<body><img src=\"c.png\"/><object data=\"d.svg\"/>\n"
      "<xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\"e.xml\"/></body></html>",
      false);
  ASSERT_FALSE(reading.outcome.error);
  const auto& references = reading.document.references;
  ASSERT_EQ(references.size(), 6u);
  EXPECT_EQ(references[0].kind, Reference::Kind::StyleSheet);
  EXPECT_EQ(references[0].line, 1);
  EXPECT_EQ(references[1].kind, Reference::Kind::StyleSheet);
  EXPECT_EQ(references[1].line, 3);
  EXPECT_EQ(references[2].kind, Reference::Kind::Resource);
  EXPECT_EQ(references[3].kind, Reference::Kind::Image);
  EXPECT_EQ(references[3].line, 4);
  EXPECT_EQ(references[4].kind, Reference::Kind::Resource);
  EXPECT_EQ(references[5].kind, Reference::Kind::Include);
  EXPECT_EQ(references[5].line, 5);
}

TEST(DocumentEncoding, DeclaredAndMarkedEncodingsAreHonoured) {
  auto text = [](const std::string& bytes) {
    DocumentReading reading = ReadDocument(bytes, false);
    return reading.document.blocks.empty() ? std::string() : reading.document.blocks[0].text;
  };
  EXPECT_EQ(text("<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9 \x80</a>"),
            "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(text("\xEF\xBB\xBF<a>x</a>"), "x");
  EXPECT_EQ(text(std::string("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 16)), "\xC3\xA9");
  EXPECT_EQ(text("<a>bad \xC3 byte</a>"), "bad \xEF\xBF\xBD byte");
}

}  // namespace
}  // namespace converter
