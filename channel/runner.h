#pragma once
// One run of the external converter: start it hidden with its standard output
// and standard error on one pipe, feed what it writes to the status protocol
// until a fin value arrives or the output ends, and hand back the fin value.
#include "channel/platform.h"
#include "channel/status_protocol.h"
#include "channel/text.h"

namespace vorlen {

// What a run starts.
struct ConverterCommand {
  Text line;     // the command line
  Text program;  // the file the line starts; empty: the start fails, nothing runs
  Text masked;   // the line as alerts that leave the process show it: no passwords
};

// Returns "success" or "failure" when the converter's fin value was one of
// these two words, and the empty text on every other way out, each of which
// (but a failed read) shows its alert through `platform`. Message events and
// the protocol's own alerts go to `events`. A VorlenError from the protocol
// leaves unchanged. Every handle the run creates is closed on every way out;
// the converter itself is never waited for or stopped.
Text RunConverter(Platform& platform, StatusEvents& events, const ConverterCommand& command);

}  // namespace vorlen
