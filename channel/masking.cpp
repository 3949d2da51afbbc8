#include "channel/masking.h"

#include <array>

#include "channel/windows_arguments.h"

namespace vorlen {
namespace {

constexpr std::array<TextView, 2> kPasswordOptions = {u"--user-password=", u"--owner-password="};
// The fragment is parsed behind a program name of its own.
constexpr TextView kProgram = u"p ";

}  // namespace

Text MaskPasswords(const Text& encryptionFragment) {
  Text masked = encryptionFragment;
  const std::vector<CommandLineArgument> args =
      ParseCommandLine(Text(kProgram) + encryptionFragment);
  // From the back, so that the stretches in front keep their places.
  for (std::size_t i = args.size(); i-- > 1;) {
    for (TextView option : kPasswordOptions) {
      if (TextView(args[i].text).starts_with(option)) {
        masked.replace(args[i].begin - kProgram.size(), args[i].end - args[i].begin,
                       Text(option) + u"\"***\"");
        break;
      }
    }
  }
  return masked;
}

}  // namespace vorlen
