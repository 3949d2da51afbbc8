#include "channel/masking.h"

#include <array>

#include "channel/alert.h"
#include "channel/windows_arguments.h"

namespace vorlen {
namespace {

constexpr std::array<TextView, 2> kPasswordOptions = {u"--user-password=", u"--owner-password="};

}  // namespace

Text MaskPasswords(const Text& text) {
  const TextView prefix = kStartFailurePrompt;
  if (!TextView(text).starts_with(prefix)) return text;
  Text line = text.substr(prefix.size());
  const std::vector<CommandLineArgument> args = ParseCommandLine(line);
  // From the back, so that the stretches in front keep their places; the
  // program (first) is no option.
  for (std::size_t i = args.size(); i-- > 1;) {
    for (TextView option : kPasswordOptions) {
      if (TextView(args[i].text).starts_with(option)) {
        line.replace(args[i].begin, args[i].end - args[i].begin, Text(option) + u"\"***\"");
        break;
      }
    }
  }
  return Text(prefix) + line;
}

}  // namespace vorlen
