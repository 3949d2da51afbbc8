#include "converter/paths.h"

#include <algorithm>
#include <cctype>

#include "converter/encoding.h"
#include "converter/platform.h"

namespace converter {
namespace {

// The URL scheme in lower case ("http", "file"), or "" when there is none. A
// drive letter (C:\x) is not a scheme.
std::string SchemeOf(std::string_view target) {
  size_t colon = target.find(':');
  if (colon == std::string_view::npos || colon < 2) return {};
  for (size_t i = 0; i < colon; ++i) {
    char c = target[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
  }
  return Lower(target.substr(0, colon));
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// file:///C:/x, file:///tmp/x and file://localhost/tmp/x as local paths.
std::string FileUrlPath(std::string_view url) {
  std::string_view rest = url.substr(5);  // after "file:"
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    if (Lower(rest.substr(0, 9)) == "localhost") rest.remove_prefix(9);
  }
  std::string path = PercentDecoded(rest);
  if (path.size() >= 3 && path[0] == '/' && std::isalpha(static_cast<unsigned char>(path[1])) &&
      path[2] == ':')
    path.erase(0, 1);  // /C:/x
  return path;
}

}  // namespace

std::string DirectoryOf(std::string_view path) {
  for (size_t i = path.size(); i-- > 0;) {
    if (IsPathSeparator(path[i])) return std::string(path.substr(0, i == 0 ? 1 : i));
  }
  return {};
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  std::string joined(directory);
  if (!IsPathSeparator(joined.back())) joined += PreferredSeparator();
  return joined + std::string(name);
}

std::string DefaultOutputPath(std::string_view inputPath) {
  size_t nameStart = 0;
  for (size_t i = 0; i < inputPath.size(); ++i)
    if (IsPathSeparator(inputPath[i])) nameStart = i + 1;
  size_t dot = inputPath.rfind('.');
  bool hasExtension = dot != std::string_view::npos && dot > nameStart;
  if (hasExtension && Lower(inputPath.substr(dot)) == ".pdf") hasExtension = false;
  return std::string(hasExtension ? inputPath.substr(0, dot) : inputPath) + ".pdf";
}

std::optional<std::string> ResolveReference(std::string_view target, std::string_view baseUrl,
                                            std::string_view documentPath) {
  target = target.substr(0, target.find_first_of("#?"));
  if (target.empty()) return std::nullopt;  // a link into the document itself
  std::string scheme = SchemeOf(target);
  if (scheme == "file") return FileUrlPath(target);
  if (!scheme.empty()) return std::nullopt;
  std::string path = PercentDecoded(target);
  if (IsAbsolutePath(path)) return path;

  std::string directory;
  if (baseUrl.empty()) {
    directory = DirectoryOf(documentPath);
  } else {
    std::string baseScheme = SchemeOf(baseUrl);
    if (!baseScheme.empty() && baseScheme != "file") return std::nullopt;
    std::string base = baseScheme == "file" ? FileUrlPath(baseUrl) : std::string(baseUrl);
    // A base that names a folder is that folder, whether or not it ends in a
    // separator; otherwise, as in a URL, the last part is a file name.
    directory = base.empty() || IsPathSeparator(base.back()) || IsDirectory(base)
                    ? base
                    : DirectoryOf(base);
  }
  return JoinPath(directory, path);
}

}  // namespace converter
