// Windows side of the converter's platform boundary: wide-character file
// names, the process's own command line, status lines in the ANSI code page.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "converter/platform.h"

namespace converter {
namespace {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int count =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), count);
  return wide;
}

std::string Narrow(std::wstring_view wide, UINT codePage) {
  if (wide.empty()) return {};
  // The default character only applies to code pages other than UTF-8.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  int count = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                  0, fallback, nullptr);
  std::string narrow(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), count,
                      fallback, nullptr);
  return narrow;
}

struct LocalFreer {
  void operator()(LPWSTR* block) const noexcept { LocalFree(block); }
};

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str());
}

}  // namespace

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreer> list(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> arguments;
  if (!list) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(list.get()[i], CP_UTF8));
  return arguments;
}

FilePtr OpenFile(const std::string& path, const char* mode) {
  return FilePtr(_wfopen(Wide(path).c_str(), Wide(mode).c_str()));
}

bool FileExists(const std::string& path) {
  return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

// DeleteFileW removes files only ("If the file does not exist, the function
// fails", with ERROR_FILE_NOT_FOUND).
bool RemoveFile(const std::string& path) {
  if (DeleteFileW(Wide(path).c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

char PreferredSeparator() {
  return '\\';
}

bool IsAbsolutePath(std::string_view path) {
  if (!path.empty() && IsPathSeparator(path.front())) return true;  // \\server, \dir, /tmp
  return path.size() >= 3 && path[1] == ':' && IsPathSeparator(path[2]);
}

void WriteStatusLine(std::string_view utf8Line) {
  std::string line = Narrow(Wide(utf8Line), CP_ACP);
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const char* data = line.data();
  DWORD left = static_cast<DWORD>(line.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(output, data, left, &written, nullptr) || written == 0) return;
    data += written;
    left -= written;
  }
}

}  // namespace converter
