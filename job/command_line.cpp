#include "job/command_line.h"

#include <filesystem>
#include <system_error>

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
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::path(exePath), error)) return exePath;
  return u"\"" + exePath + u"\"";
}

}  // namespace

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
