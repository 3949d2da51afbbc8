// POSIX side of the converter's platform boundary.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "converter/platform.h"

namespace converter {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

FilePtr OpenFile(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool RemoveFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  return !S_ISDIR(info.st_mode) && ::unlink(path.c_str()) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsPathSeparator(char c) {
  return c == '/';
}

char PreferredSeparator() {
  return '/';
}

bool IsAbsolutePath(std::string_view path) {
  return !path.empty() && path.front() == '/';
}

void WriteStatusLine(std::string_view utf8Line) {
  const char* data = utf8Line.data();
  size_t left = utf8Line.size();
  while (left > 0) {
    ssize_t written = ::write(STDOUT_FILENO, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // nobody is listening any more
    data += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace converter
