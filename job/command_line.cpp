#include "job/command_line.h"

#include <algorithm>
#include <string>
#include <vector>

#include "channel/error.h"
#include "channel/masking.h"
#include "channel/platform.h"
#include "channel/windows_arguments.h"

namespace vorlen {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

bool IsFile(const Text& path) {
  return !path.empty() && IsRegularFile(path);
}

// The program part of the path as set: the file it starts, and its text in
// the command line. Callers may append options to the path, so the program is
// the longest leading part that names an existing file and is followed by
// nothing or by an option (a word that begins with "-"); the rest stays as
// given. Nothing is searched for: a path of which no such part names a file
// starts nothing (the system would otherwise try C:\Program.exe for
// C:\Program Files\...\vorlen.exe, or look along its search path), and a
// file C:\My planted before C:\My Tools\vorlen.exe is no program either.
struct Program {
  Text file;      // empty when none
  Text fragment;  // the path as the line carries it
};

// No system takes a longer path.
constexpr std::size_t kLongestPath = 32767;

Program FindProgram(const Text& exePath) {
  if (exePath.starts_with(u'"')) {
    // Already quoted by the caller: the quotes delimit the program.
    const std::size_t close = exePath.find(u'"', 1);
    Text file = close == Text::npos ? Text() : exePath.substr(1, close - 1);
    if (!IsFile(file)) file.clear();
    return {std::move(file), exePath};
  }
  // Longest first: the whole path, then each part that ends before a blank.
  for (std::size_t end = std::min(exePath.size(), kLongestPath); end > 0; --end) {
    if (end < exePath.size()) {
      if (!IsBlank(exePath[end]) || IsBlank(exePath[end - 1])) continue;
      const std::size_t word = exePath.find_first_not_of(u" \t", end);
      if (word != Text::npos && exePath[word] != u'-') continue;
    }
    Text file = exePath.substr(0, end);
    if (!IsFile(file)) continue;
    const bool hasBlank = std::any_of(file.begin(), file.end(), IsBlank);
    const Text rest = exePath.substr(end);
    return {file, hasBlank ? u"\"" + file + u"\"" + rest : exePath};
  }
  return {Text(), exePath};
}

// The system runs a batch file through its command interpreter, which expands
// %...% (and !...! where delayed expansion is on) also inside double quotes,
// ends a quoted value at any double quote, backslash or not, and a command at
// a line break. A value with such a character cannot reach a batch converter
// as what it is, so that start is refused.
bool SafeForInterpreter(TextView value) {
  return value.find_first_of(u"\"%!\r\n") == TextView::npos;
}

// The values inside a fragment that the settings built: every argument of
// it, each one value or an option with its value.
std::vector<Text> FragmentArguments(const Text& fragment) {
  std::vector<Text> args = SplitCommandLine(u"program " + fragment);
  args.erase(args.begin());
  return args;
}

bool SafeForBatchFile(const Settings& s, const Text& file, const Text& xmlPath,
                      const Text& pdfPath) {
  std::vector<Text> values = FragmentArguments(s.styleSheets);
  if (s.encrypt) {
    for (Text& argument : FragmentArguments(s.encryptArgs)) values.push_back(std::move(argument));
  }
  for (const Text* value : {&file, &s.logFile, &s.baseURL, &xmlPath, &pdfPath}) {
    values.push_back(*value);
  }
  return std::all_of(values.begin(), values.end(),
                     [](const Text& value) { return SafeForInterpreter(value); });
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
  for (const Text& argument : FragmentArguments(encryptArgs)) {
    if (!HoldsNul(argument)) continue;
    RejectNul(argument,
              argument.starts_with(u"--owner-password=") ? "ownerPassword" : "userPassword");
  }
}

// The line with `encryption` standing for the encryption fragment.
Text Line(const Settings& s, const Text& program, const Text& encryption, const Text& xmlPath,
          const Text& pdfPath) {
  Text line = program + u" --server " + s.styleSheets;
  if (s.encrypt) line += encryption;
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
  return BuildCommand(s, xmlPath, pdfPath).line;
}

ConverterCommand BuildCommand(const Settings& s, const Text& xmlPath, const Text& pdfPath) {
  Program program = FindProgram(s.exePath);
  if (IsBatchFile(program.file) && !SafeForBatchFile(s, program.file, xmlPath, pdfPath)) {
    program.file.clear();
  }
  return {Line(s, program.fragment, s.encryptArgs, xmlPath, pdfPath), std::move(program.file),
          Line(s, program.fragment, MaskPasswords(s.encryptArgs), xmlPath, pdfPath)};
}

}  // namespace vorlen
