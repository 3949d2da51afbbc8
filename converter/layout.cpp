#include "converter/layout.h"

#include <algorithm>
#include <utility>

#include "converter/encoding.h"

namespace converter {
namespace {

struct Style {
  Font font;
  double size;
  double leading;
  double spaceBefore;
};

Style StyleOf(const Block& block) {
  switch (block.kind) {
    case Block::Kind::Heading:
      switch (block.headingLevel) {
        case 1:
          return {Font::Bold, 20, 25, 16};
        case 2:
          return {Font::Bold, 16, 20, 14};
        case 3:
          return {Font::Bold, 13.5, 17, 12};
        default:
          return {Font::Bold, 11.5, 15, 10};
      }
    case Block::Kind::Preformatted:
      return {Font::Mono, 9.5, 12, 7};
    case Block::Kind::Paragraph:
      break;
  }
  return {Font::Regular, 11, 15, 7};
}

constexpr double kIndentStep = 20;
constexpr double kMarkerGap = 5;

class Setter {
 public:
  Setter(const PageGeometry& geometry) {
    layout_.geometry = geometry;
    NewPage();
  }

  void Set(const Block& block) {
    Style style = StyleOf(block);
    double left = layout_.geometry.margin + kIndentStep * block.indent;
    double width = layout_.geometry.width - layout_.geometry.margin - left;
    std::string text = ToWinAnsiText(block.text);
    std::string marker = ToWinAnsiText(block.marker);
    // Items of a list stand closer together than paragraphs.
    if (!atPageTop_)
      cursor_ -= block.indent > 0 ? std::min(style.spaceBefore, 3.0) : style.spaceBefore;

    bool first = true;
    size_t start = 0;
    for (;;) {
      size_t end = text.find('\n', start);
      std::string_view hardLine = std::string_view(text).substr(start, end - start);
      for (const std::string& line : Wrap(hardLine, style, width)) {
        PlaceLine(style, left, line);
        if (first && !marker.empty()) {
          double markerWidth = TextWidth(style.font, marker, style.size);
          Current().texts.push_back(
              {style.font, style.size, left - kMarkerGap - markerWidth, lastBaseline_, marker});
        }
        first = false;
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }

  Layout Take() { return std::move(layout_); }

 private:
  Page& Current() { return layout_.pages.back(); }

  void NewPage() {
    layout_.pages.emplace_back();
    cursor_ = layout_.geometry.height - layout_.geometry.margin;
    atPageTop_ = true;
  }

  void PlaceLine(const Style& style, double left, const std::string& line) {
    if (cursor_ - style.leading < layout_.geometry.margin && !atPageTop_) NewPage();
    lastBaseline_ = cursor_ - style.leading + (style.leading - style.size) / 2 + style.size * 0.22;
    cursor_ -= style.leading;
    atPageTop_ = false;
    if (!line.empty())
      Current().texts.push_back({style.font, style.size, left, lastBaseline_, line});
  }

  // Greedy filling of lines at word boundaries; a word wider than the line
  // is cut where it reaches the edge. Preformatted text keeps its blanks.
  std::vector<std::string> Wrap(std::string_view text, const Style& style, double width) const {
    std::vector<std::string> lines;
    std::string line;
    double lineWidth = 0;  // kept as the line grows: long lines cost no more per character
    auto widthOf = [&](std::string_view piece) { return TextWidth(style.font, piece, style.size); };
    auto breakLine = [&] {
      lines.push_back(std::exchange(line, {}));
      lineWidth = 0;
    };
    // Appends characters one by one, breaking wherever the next one would overflow.
    auto cut = [&](std::string_view piece) {
      for (char c : piece) {
        double charWidth = widthOf(std::string_view(&c, 1));
        if (!line.empty() && lineWidth + charWidth > width) breakLine();
        line += c;
        lineWidth += charWidth;
      }
    };
    if (style.font == Font::Mono) {
      cut(text);
      lines.push_back(line);
      return lines;
    }
    const double space = widthOf(" ");
    for (size_t pos = 0; pos <= text.size();) {
      size_t end = std::min(text.find(' ', pos), text.size());
      std::string_view word = text.substr(pos, end - pos);
      pos = end + 1;
      if (word.empty()) continue;
      double wordWidth = widthOf(word);
      double needed = line.empty() ? wordWidth : lineWidth + space + wordWidth;
      if (needed <= width) {
        if (!line.empty()) line += ' ';
        line += word;
        lineWidth = needed;
        continue;
      }
      if (!line.empty()) breakLine();
      cut(word);
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
  }

  std::string ToWinAnsiText(std::string_view utf8) {
    std::string out;
    for (size_t pos = 0; pos < utf8.size();) {
      char32_t cp = NextCodePoint(utf8, pos);
      if (cp == '\n') {
        out += '\n';
        continue;
      }
      unsigned char byte = ToWinAnsi(cp);
      if (byte == 0) {
        ++layout_.replacedCharacters;
        byte = '?';
      }
      out += static_cast<char>(byte);
    }
    return out;
  }

  Layout layout_;
  double cursor_ = 0;
  double lastBaseline_ = 0;
  bool atPageTop_ = true;
};

}  // namespace

Layout LayOut(const Document& document, const PageGeometry& geometry) {
  Setter setter(geometry);
  for (const Block& block : document.blocks) setter.Set(block);
  return setter.Take();
}

}  // namespace converter
