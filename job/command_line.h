#pragma once
// The converter's command line for one conversion, built afresh from the
// settings and the two paths, in a fixed order of fragments.
#include "channel/runner.h"
#include "channel/text.h"
#include "job/settings.h"

namespace vorlen {

Text BuildCommandLine(const Settings& settings, const Text& xmlPath, const Text& pdfPath);

// The command line with what a run needs besides it: the program file that
// the line starts (empty when the line may not be started) and the line with
// its passwords masked.
ConverterCommand BuildCommand(const Settings& settings, const Text& xmlPath, const Text& pdfPath);

// Throws VorlenError(5), naming the value by its parameter's name, when a value
// that the command line would carry holds a NUL character: the system would
// end the line there and start the converter without what follows.
void CheckForNul(const Settings& settings, const Text& xmlPath, const Text& pdfPath);

}  // namespace vorlen
