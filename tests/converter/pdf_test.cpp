// The PDF the converter writes: a cross-reference table that points at every
// object, stream lengths that fit, and text that stays inside the margins.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

#include "converter/deflate.h"
#include "converter/fonts.h"
#include "converter/layout.h"
#include "converter/pdf_writer.h"

namespace converter {
namespace {

Document Sample(int paragraphs) {
  Document document;
  document.title = "T\xC3\xA9st";
  for (int i = 0; i < paragraphs; ++i)
    document.blocks.push_back({Block::Kind::Paragraph, 0, 0, "",
                               "Paragraph " + std::to_string(i) +
                                   " (with parentheses) and a back\\slash, " +
                                   std::string(40, 'w') + " " + std::string(200, 'x') + " end."});
  document.blocks.push_back({Block::Kind::Heading, 1, 0, "", "A heading"});
  document.blocks.push_back({Block::Kind::Paragraph, 0, 2, "7.", "A list item\nwith a break"});
  return document;
}

// Inflates the one fixed-code block that ZlibCompress writes, strictly: the
// zlib header, every code, the distances and the Adler-32 check. The length
// and distance tables are derived here from the rules of RFC 1951, not copied.
class FixedInflater {
 public:
  explicit FixedInflater(std::string_view z) : z_(z) {}

  std::optional<std::string> Run() {
    if (z_.size() < 6 || z_.substr(0, 2) != "\x78\x01" || Bits(1) != 1 || Bits(2) != 1)
      return std::nullopt;
    std::string out;
    while (true) {
      const unsigned symbol = Symbol();
      if (symbol < 256) {
        out += static_cast<char>(symbol);
      } else if (symbol == 256) {
        break;
      } else if (symbol > 285 || at_ > 8 * z_.size()) {
        return std::nullopt;
      } else {
        const unsigned length = Decode(symbol - 257, 3, 8, 4);
        const unsigned distance = Decode(Code(5), 1, 4, 2);
        if (distance == 0 || distance > out.size()) return std::nullopt;
        for (unsigned i = 0; i < length; ++i) out += out[out.size() - distance];
      }
    }
    size_t end = (at_ + 7) / 8;
    if (end + 4 != z_.size()) return std::nullopt;
    uint32_t a = 1, b = 0, stored = 0;
    for (char c : out) b = (b + (a = (a + static_cast<unsigned char>(c)) % 65521)) % 65521;
    for (size_t i = end; i < end + 4; ++i) stored = stored << 8 | static_cast<unsigned char>(z_[i]);
    if (stored != (b << 16 | a)) return std::nullopt;
    return out;
  }

 private:
  unsigned Bit() {
    const size_t byte = at_ / 8;
    const unsigned bit =
        byte < z_.size() ? (static_cast<unsigned char>(z_[byte]) >> at_ % 8) & 1 : 0;
    ++at_;
    return bit;
  }
  unsigned Bits(int count) {
    unsigned value = 0;
    for (int i = 0; i < count; ++i) value |= Bit() << i;
    return value;
  }
  unsigned Code(int count) {
    unsigned value = 0;
    for (int i = 0; i < count; ++i) value = value << 1 | Bit();
    return value;
  }
  unsigned Symbol() {
    unsigned code = Code(7);
    if (code <= 0x17) return 256 + code;
    code = code << 1 | Bit();
    if (code >= 0x30 && code <= 0xBF) return code - 0x30;
    if (code >= 0xC0 && code <= 0xC7) return 280 + code - 0xC0;
    return 144 + ((code << 1 | Bit()) - 0x190);
  }
  // Slot `slot` of a table whose first `flat` slots have no extra bits and
  // whose extra bits then grow by one every `group` slots.
  unsigned Decode(unsigned slot, unsigned base, unsigned flat, unsigned group) {
    if (base == 3 && slot == 28) return 258;
    unsigned value = base;
    for (unsigned i = 0; i < slot; ++i) value += 1U << (i < flat ? 0 : (i - flat) / group + 1);
    const unsigned extra = slot < flat ? 0 : (slot - flat) / group + 1;
    return value + Bits(static_cast<int>(extra));
  }

  std::string_view z_;
  size_t at_ = 16;  // after the two header bytes
};

TEST(Deflate, EveryInputInflatesBackExactly) {
  std::string mixed;
  for (int i = 0; i < 70000; ++i) mixed += static_cast<char>((i * 7919 + i / 300) % 251);
  const std::string content = WritePdf(LayOut(Sample(40)), "", Streams::Plain);
  for (const std::string& input : {std::string(), std::string("a"), std::string(1000, 'a'),
                                   std::string("abcabcabcabd"), mixed, content}) {
    const std::string compressed = ZlibCompress(input);
    EXPECT_EQ(FixedInflater(compressed).Run(), input) << input.size() << " bytes";
  }
  EXPECT_LT(ZlibCompress(content).size(), content.size() / 2);
}

TEST(PdfFile, CrossReferenceTablePointsAtEveryObject) {
  std::string pdf = WritePdf(LayOut(Sample(60)), "T\xC3\xA9st", Streams::Compressed);
  ASSERT_TRUE(pdf.starts_with("%PDF-1.4\n"));
  ASSERT_TRUE(pdf.ends_with("%%EOF\n"));
  size_t startxref = pdf.rfind("startxref\n");
  ASSERT_NE(startxref, std::string::npos);
  size_t xref = std::strtoul(pdf.c_str() + startxref + 10, nullptr, 10);
  ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
  std::smatch header;
  std::string table = pdf.substr(xref);
  ASSERT_TRUE(std::regex_search(table, header, std::regex("^xref\n0 (\\d+)\n")));
  int size = std::stoi(header[1]);
  size_t entry = xref + header.length(0);
  EXPECT_EQ(pdf.compare(entry, 20, "0000000000 65535 f \n"), 0);
  for (int number = 1; number < size; ++number) {
    std::string line = pdf.substr(entry + 20 * static_cast<size_t>(number), 20);
    ASSERT_TRUE(line.ends_with(" 00000 n \n")) << line;
    size_t offset = std::stoul(line.substr(0, 10));
    std::string expected = std::to_string(number) + " 0 obj\n";
    EXPECT_EQ(pdf.compare(offset, expected.size(), expected), 0) << "object " << number;
  }
  EXPECT_NE(table.find("/Size " + std::to_string(size)), std::string::npos);
  EXPECT_NE(pdf.find("/Title <FEFF005400E900730074>"), std::string::npos);
}

TEST(PdfFile, StreamLengthsMatchAndStringsAreEscaped) {
  // Compressed streams are binary: their lengths count, not an end marker.
  for (Streams streams : {Streams::Plain, Streams::Compressed}) {
    std::string pdf = WritePdf(LayOut(Sample(3)), "", streams);
    std::regex stream("/Length (\\d+)( /Filter /FlateDecode)? >>\nstream\n");
    int count = 0;
    for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), stream);
         it != std::sregex_iterator(); ++it) {
      size_t start = static_cast<size_t>(it->position(0) + it->length(0));
      size_t length = std::stoul((*it)[1]);
      EXPECT_EQ(pdf.compare(start + length, 10, "\nendstream"), 0);
      EXPECT_EQ((*it)[2].matched, streams == Streams::Compressed);
      ++count;
    }
    EXPECT_GE(count, 1);
    EXPECT_EQ(pdf.find("\\(with parentheses\\) and a back\\\\slash") != std::string::npos,
              streams == Streams::Plain);
    EXPECT_EQ(pdf.find("/Title"), std::string::npos);
  }
}

TEST(PageLayout, TextStaysInsideTheMarginsAndFlowsOntoNewPages) {
  Layout layout = LayOut(Sample(60));
  EXPECT_GT(layout.pages.size(), 3u);
  const PageGeometry& g = layout.geometry;
  for (const Page& page : layout.pages) {
    for (const PlacedText& text : page.texts) {
      EXPECT_GE(text.x, g.margin - 30);  // list markers hang left of their item
      EXPECT_LE(text.x + TextWidth(text.font, text.text, text.size), g.width - g.margin + 0.01);
      EXPECT_GE(text.y, g.margin - text.size);
      EXPECT_LE(text.y, g.height - g.margin);
    }
  }
  // The forced break of the list item gives two lines; its marker stands left of the first.
  const std::vector<PlacedText>& last = layout.pages.back().texts;
  ASSERT_GE(last.size(), 3u);
  EXPECT_EQ(last[last.size() - 3].text, "A list item");
  EXPECT_EQ(last[last.size() - 2].text, "7.");
  EXPECT_LT(last[last.size() - 2].x, last[last.size() - 3].x);
  EXPECT_EQ(last.back().text, "with a break");
}

TEST(PageLayout, CharactersOutsideTheStandardFontsAreCounted) {
  Document document;
  document.blocks.push_back(
      {Block::Kind::Paragraph, 0, 0, "", "\xE2\x82\xAC \xCE\xA9 \xE2\x98\x83"});
  Layout layout = LayOut(document);
  EXPECT_EQ(layout.replacedCharacters, 2);  // the euro sign is in WinAnsi
  ASSERT_EQ(layout.pages[0].texts.size(), 1u);
  EXPECT_EQ(layout.pages[0].texts[0].text, "\x80 ? ?");
  EXPECT_EQ(LayOut(Document{}).pages.size(), 1u);  // an empty document gives one blank page
}

}  // namespace
}  // namespace converter
