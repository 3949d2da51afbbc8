#include "client/converter_lookup.h"

#include <cstdlib>
#include <string_view>
#include <system_error>

namespace vorlen::client {
namespace {

namespace fs = std::filesystem;

bool IsProgram(const fs::path& path) {
  std::error_code error;
  const auto status = fs::status(path, error);
  return !error && fs::is_regular_file(status) &&
         (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
}

// The client's own file: the kernel's link where there is one, else the path
// it was started by.
std::optional<fs::path> OwnPath(const char* argv0) {
  std::error_code error;
  const fs::path self = fs::canonical("/proc/self/exe", error);
  if (!error) return self;
  if (argv0 && std::string_view(argv0).find('/') != std::string_view::npos) return fs::path(argv0);
  return std::nullopt;
}

}  // namespace

std::optional<fs::path> FindConverter(const char* argv0) {
  if (const char* named = std::getenv("VORLEN_CONVERTER"); named && *named) return fs::path(named);
  if (const auto self = OwnPath(argv0)) {
    if (const fs::path beside = self->parent_path() / "vorlen"; IsProgram(beside)) return beside;
  }
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest = path;
    while (true) {
      const auto colon = rest.find(':');
      const std::string_view dir = rest.substr(0, colon);
      // An empty entry is the current folder.
      const fs::path candidate = fs::path(dir.empty() ? "." : dir) / "vorlen";
      if (IsProgram(candidate)) return candidate;
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  return std::nullopt;
}

}  // namespace vorlen::client
