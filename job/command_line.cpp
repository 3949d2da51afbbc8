#include "job/command_line.h"

#include <string>

#include "channel/error.h"
#include "channel/platform.h"
#include "channel/windows_arguments.h"

namespace vorlen {
namespace {

// The program path goes in verbatim, so that callers who appended options to
// it keep them. Only a path that names an existing file and holds a blank is
// quoted: unquoted, the platform would try C:\Program.exe for
// C:\Program Files\...\vorlen.exe and could start a different program.
Text ProgramFragment(const Text& exePath) {
  const bool hasBlank = exePath.find_first_of(u" \t") != Text::npos;
  if (!hasBlank || exePath.starts_with(u'"')) return exePath;
  if (!IsRegularFile(exePath)) return exePath;
  return u"\"" + exePath + u"\"";
}

bool HoldsNul(TextView text) {
  return text.find(u'\0') != TextView::npos;
}

void RejectNul(TextView value, const char* name) {
  if (HoldsNul(value)) {
    throw VorlenError(kInvalidArgumentError, std::string(name) + " holds a NUL character");
  }
}

// The encryption fragment holds both passwords; its arguments say which one
// holds the NUL.
void RejectNulInEncryption(const Text& encryptArgs) {
  if (!HoldsNul(encryptArgs)) return;
  for (const Text& argument : SplitCommandLine(u"program " + encryptArgs)) {
    if (!HoldsNul(argument)) continue;
    RejectNul(argument,
              argument.starts_with(u"--owner-password=") ? "ownerPassword" : "userPassword");
  }
}

}  // namespace

void CheckForNul(const Settings& s, const Text& xmlPath, const Text& pdfPath) {
  RejectNul(s.exePath, "exePath");
  RejectNul(s.styleSheets, "cssPath");
  if (s.encrypt) RejectNulInEncryption(s.encryptArgs);
  RejectNul(s.logFile, "logFile");
  RejectNul(s.baseURL, "baseurl");
  RejectNul(xmlPath, "xmlPath");
  RejectNul(pdfPath, "pdfPath");
}

Text BuildCommandLine(const Settings& s, const Text& xmlPath, const Text& pdfPath) {
  Text line = ProgramFragment(s.exePath) + u" --server " + s.styleSheets;
  if (s.encrypt) line += s.encryptArgs;
  if (s.html) line += u"-i html ";
  if (!s.logFile.empty()) line += u"--log=" + QuoteArgument(s.logFile) + u" ";
  if (!s.baseURL.empty()) line += u"--baseurl=" + QuoteArgument(s.baseURL) + u" ";
  if (!s.xinclude) line += u"--no-xinclude ";
  if (!s.embedFonts) line += u"--no-embed-fonts ";
  if (!s.compress) line += u"--no-compress ";
  line += QuoteArgument(xmlPath);
  if (!pdfPath.empty()) line += u" " + QuoteArgument(pdfPath);
  return line;
}

}  // namespace vorlen
