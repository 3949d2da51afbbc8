#pragma once
// The standard Windows rules for a command line (those of CommandLineToArgvW
// and the C runtime): how one value is quoted so that it reaches a program as
// one argument with its exact text, and how a command line splits back into
// arguments. The POSIX runner uses the split to start the converter with the
// same arguments that it would receive on Windows.
#include <cstddef>
#include <vector>

#include "channel/text.h"

namespace vorlen {

// Wraps `value` in double quotes. Backslashes directly before a double quote or
// before the closing quote are doubled and a double quote becomes \". A value
// with neither comes back as quote, value, quote, byte for byte.
Text QuoteArgument(TextView value);

// Splits a command line into its arguments. The first argument, the program,
// follows the loader's rule: up to the next blank, or between double quotes
// when it starts with one, backslashes taken literally.
std::vector<Text> SplitCommandLine(TextView commandLine);

// Whether `file` names a batch file (".bat" or ".cmd" in any case, trailing
// dots and blanks ignored as the system ignores them), which the system runs
// through its command interpreter.
bool IsBatchFile(TextView file);

// The command line that runs `batchFile` with `arguments` (the text after the
// program in a converter's line, blank first) through the command interpreter
// `interpreter`, named by its full path: AutoRun commands off (/d), command
// extensions on and delayed expansion off whatever the registry says, and the
// batch file's path in quotes inside one outer pair. /s makes cmd strip just
// that outer pair, whatever else the line holds ("cmd": without /s, quotes
// after /c are kept only with exactly one pair, no special characters between
// them, and a blank inside), so the path and every quoted value stay whole.
Text BatchFileCommandLine(TextView interpreter, TextView batchFile, TextView arguments);

// One argument of a command line with the stretch of the line it came from.
struct CommandLineArgument {
  Text text;
  std::size_t begin = 0, end = 0;
};
std::vector<CommandLineArgument> ParseCommandLine(TextView commandLine);

}  // namespace vorlen
