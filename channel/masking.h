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

// An alert's text as a box showed it, with the encryption fragment in it
// masked. Where the fragment is not there whole (the text was shortened, or
// the code page changed a password's characters) everything from its first
// password on gives way to the masked fragment and "…".
Text MaskPasswordsIn(const Text& shown, const Text& encryptionFragment);

}  // namespace vorlen
