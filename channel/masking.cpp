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

Text MaskPasswordsIn(const Text& shown, const Text& encryptionFragment) {
  if (encryptionFragment.empty()) return shown;
  const Text masked = MaskPasswords(encryptionFragment);
  if (const auto at = shown.find(encryptionFragment); at != Text::npos) {
    return Text(shown).replace(at, encryptionFragment.size(), masked);
  }
  const auto firstPassword = encryptionFragment.find(kPasswordOptions[0]);
  if (firstPassword == Text::npos) return shown;
  const TextView head =
      TextView(encryptionFragment).substr(0, firstPassword + kPasswordOptions[0].size());
  if (const auto at = shown.rfind(head); at != Text::npos) {
    return shown.substr(0, at) + masked + u"\u2026";
  }
  return shown;
}

}  // namespace vorlen
