#pragma once
// Writes laid-out pages as a PDF 1.4 file: standard fonts, content streams
// Flate-compressed or plain, one cross-reference table.
#include <string>
#include <string_view>

#include "converter/layout.h"

namespace converter {

enum class Streams { Compressed, Plain };

// The complete file; `title` (UTF-8) goes into the document information.
std::string WritePdf(const Layout& layout, std::string_view title, Streams streams);

}  // namespace converter
