#pragma once
// The converter's command line for one conversion, built afresh from the
// settings and the two paths, in a fixed order of fragments.
#include "channel/text.h"
#include "job/settings.h"

namespace vorlen {

Text BuildCommandLine(const Settings& settings, const Text& xmlPath, const Text& pdfPath);

}  // namespace vorlen
