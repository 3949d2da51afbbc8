#pragma once
// The three standard Type 1 fonts the converter sets text in. Every PDF reader
// has them, so nothing is embedded; text reaches them as WinAnsi bytes.
#include <string_view>

namespace converter {

enum class Font { Regular, Bold, Mono };

// Width in points of WinAnsi text set in `font` at `size` points.
double TextWidth(Font font, std::string_view winAnsi, double size);
std::string_view PdfFontName(Font font);

}  // namespace converter
