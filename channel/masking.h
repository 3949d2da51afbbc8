#pragma once
// Alert texts that leave the process as data (debug output, standard error,
// a log) carry no password: only the box on the user's own screen shows the
// converter's command line whole.
#include "channel/text.h"

namespace vorlen {

// `text` with the value of every --user-password= and --owner-password=
// argument of a command line replaced by "***" in double quotes. A start
// failure's prompt is taken apart by the command-line rules after its fixed
// beginning; other texts hold no command line and come back unchanged.
Text MaskPasswords(const Text& text);

}  // namespace vorlen
