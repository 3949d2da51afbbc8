#pragma once
// Alert texts that leave the process as data (debug output, standard error, a
// log) carry no password: only the box on the user's own screen shows the
// converter's command line whole.
#include "channel/text.h"

namespace vorlen {

// The encryption fragment that the settings built (each password one quoted
// argument) with the value of its --user-password= and --owner-password=
// arguments replaced by "***" in double quotes. The fragment is the
// component's own, so its arguments are found exactly, whatever the rest of
// the command line holds.
Text MaskPasswords(const Text& encryptionFragment);

}  // namespace vorlen
