#pragma once
// Writes laid-out pages as a PDF 1.4 file: standard fonts, uncompressed
// content streams, one cross-reference table.
#include <string>
#include <string_view>

#include "converter/layout.h"

namespace converter {

// The complete file; `title` (UTF-8) goes into the document information.
std::string WritePdf(const Layout& layout, std::string_view title);

}  // namespace converter
