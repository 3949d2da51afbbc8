#include <windows.h>

#include <string>

#include "client/converter_lookup.h"

namespace vorlen::client {
namespace {

namespace fs = std::filesystem;

std::wstring Variable(const wchar_t* name) {
  std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
  if (value.empty()) return value;
  value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  return value;
}

// GetModuleFileNameW truncates without failing when the buffer is too small,
// so the buffer grows until the name fits.
fs::path OwnPath() {
  std::wstring name(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return fs::path(name.substr(0, length));
    name.resize(name.size() * 2);
  }
}

}  // namespace

// No search of PATH: the converter is started by name and Windows searches
// for nothing, so only a file named on purpose, or installed with the client,
// is started.
std::optional<fs::path> FindConverter(const char*) {
  if (const std::wstring named = Variable(L"VORLEN_CONVERTER"); !named.empty())
    return fs::path(named);
  if (const fs::path self = OwnPath(); !self.empty()) {
    const fs::path beside = self.parent_path() / L"vorlen.exe";
    std::error_code error;
    if (fs::is_regular_file(beside, error)) return beside;
  }
  return std::nullopt;
}

}  // namespace vorlen::client
