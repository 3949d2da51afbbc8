#include "job/settings.h"

#include "channel/windows_arguments.h"

namespace vorlen {
namespace {

// Decimal with a sign position: one blank before zero and positive numbers.
Text SignedDecimal(std::int16_t value) {
  const int wide = value;
  const unsigned magnitude = wide < 0 ? static_cast<unsigned>(-wide) : static_cast<unsigned>(wide);
  Text digits;
  unsigned rest = magnitude;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + rest % 10));
    rest /= 10;
  } while (rest != 0);
  return (wide < 0 ? u"-" : u" ") + digits;
}

}  // namespace

void Settings::SetVorlenPath(const Text& path) {
  exePath = path;
}

void Settings::AddStyleSheet(const Text& cssPath) {
  styleSheets += u"-s " + QuoteArgument(cssPath) + u" ";
}

void Settings::ClearStyleSheets() {
  styleSheets.clear();
}
void Settings::SetHTML(Flag value) {
  html = value;
}
void Settings::SetLog(const Text& path) {
  logFile = path;
}
void Settings::SetBaseURL(const Text& url) {
  baseURL = url;
}
void Settings::SetXInclude(Flag value) {
  xinclude = value;
}
void Settings::SetEmbedFonts(Flag value) {
  embedFonts = value;
}
void Settings::SetCompress(Flag value) {
  compress = value;
}
void Settings::SetEncrypt(Flag value) {
  encrypt = value;
}

void Settings::SetEncryptInfo(VORLEN_ENCRYPTION_PARAMETERS) {
  encrypt = kTrue;
  encryptArgs = u"--encrypt  --key-bits " + SignedDecimal(keyBits) + u" --user-password=" +
                QuoteArgument(userPassword) + u" --owner-password=" + QuoteArgument(ownerPassword) +
                u" ";
  if (disallowPrint) encryptArgs += u"--disallow-print ";
  if (disallowModify) encryptArgs += u"--disallow-modify ";
  if (disallowCopy) encryptArgs += u"--disallow-copy ";
  if (disallowAnnotate) encryptArgs += u"--disallow-annotate ";
}

}  // namespace vorlen
