#pragma once
// What the converter needs from the operating system. Inside the converter all
// text, paths included, is UTF-8; each platform file converts at its edge (the
// Windows one to UTF-16 for file names and to the ANSI code page for status
// lines).
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace converter {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The program's arguments after the program name. Windows reads its own
// command line by the platform's splitting rules; elsewhere argv is UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Opens a file with a C stdio mode ("rb", "wb"); null on failure.
FilePtr OpenFile(const std::string& path, const char* mode);

bool FileExists(const std::string& path);
// Removes a file (never a folder); true when none is left at `path`.
bool RemoveFile(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsPathSeparator(char c);
// True for paths that do not depend on the current directory.
bool IsAbsolutePath(std::string_view path);
// The separator that the converter uses when it joins paths itself.
char PreferredSeparator();

// Writes one finished status line (CR LF included) to standard output with a
// single write, so that a reader never sees half a line from us followed by
// something else.
void WriteStatusLine(std::string_view utf8Line);

}  // namespace converter
