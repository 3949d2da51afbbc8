#pragma once
// Sets a document's blocks on A4 pages: wrapped lines of text at fixed
// positions, ready to be written as PDF.
#include <string>
#include <vector>

#include "converter/document.h"
#include "converter/fonts.h"

namespace converter {

struct PlacedText {
  Font font = Font::Regular;
  double size = 0;
  double x = 0;      // points from the left edge
  double y = 0;      // baseline, points from the bottom edge
  std::string text;  // WinAnsi bytes
};

struct Page {
  std::vector<PlacedText> texts;
};

struct PageGeometry {
  double width = 595.28;  // A4
  double height = 841.89;
  double margin = 56.69;  // 2 cm
};

struct Layout {
  PageGeometry geometry;
  std::vector<Page> pages;     // at least one, blank for an empty document
  int replacedCharacters = 0;  // characters the standard fonts cannot show
};

Layout LayOut(const Document& document, const PageGeometry& geometry = {});

}  // namespace converter
