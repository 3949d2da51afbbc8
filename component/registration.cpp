#include "component/registration.h"

#include <string>
#include <vector>

#include "component/boundary.h"
#include "component/last_error.h"
#include "component/module_state.h"
#include "component/registration_table.h"

namespace vorlen::com {
namespace {

constexpr Bitness kOwnBitness = sizeof(void*) == 8 ? Bitness::x64 : Bitness::x86;

// Registering writes the machine's classes, HKEY_LOCAL_MACHINE\Software\Classes,
// named as such, as the installer's per-machine rows do. Through the merged
// HKEY_CLASSES_ROOT a value goes to HKEY_CURRENT_USER\Software\Classes
// wherever that key already exists there ("HKEY_CLASSES_ROOT Key"), where
// services, web servers and other users never see it, and a merged read can
// take a stale per-user copy for the machine's. The per-user branch is
// neither written nor removed.
constexpr wchar_t kClasses[] = L"Software\\Classes\\";

// An open key below the machine's classes, closed with its owner.
class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (handle_) RegCloseKey(handle_);
  }

  LONG Create(const std::wstring& key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kClasses + key).c_str(), 0, nullptr, 0,
                           KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &handle_, nullptr);
  }
  LONG Open(const std::wstring& key, REGSAM access) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kClasses + key).c_str(), 0, access, &handle_);
  }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

// The table holds plain ASCII text.
std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

// The module's folder, as RegisterTypeLib writes HELPDIR: no final backslash.
std::wstring Folder(const std::wstring& path) {
  const auto end = path.find_last_of(L'\\');
  return end == std::wstring::npos ? std::wstring() : path.substr(0, end);
}

HRESULT WriteRow(const RegistryRow& row, const std::wstring& modulePath) {
  std::wstring value = Wide(row.text);
  if (row.data == RegistryRow::Data::ModulePath) value = modulePath;
  if (row.data == RegistryRow::Data::ModuleFolder) value = Folder(modulePath);
  RegistryKey key;
  LONG status = key.Create(Wide(row.key));
  if (status == ERROR_SUCCESS) {
    const std::wstring name = Wide(row.name);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  }
  return HRESULT_FROM_WIN32(status);
}

HRESULT RemoveRow(const RegistryRow& row) {
  RegistryKey key;
  LONG status = key.Open(Wide(row.key), KEY_SET_VALUE);
  if (status == ERROR_SUCCESS) {
    const std::wstring name = Wide(row.name);
    status = RegDeleteValueW(key.get(), name.empty() ? nullptr : name.c_str());
  }
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return S_OK;
  return HRESULT_FROM_WIN32(status);
}

// Removes the key when nothing is left in it.
HRESULT RemoveIfEmpty(const std::wstring& name) {
  DWORD subkeys = 0, values = 0;
  {
    RegistryKey key;
    const LONG status = key.Open(name, KEY_QUERY_VALUE);
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return S_OK;
    }
  }
  if (subkeys != 0 || values != 0) return S_OK;
  const LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kClasses + name).c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                   : HRESULT_FROM_WIN32(status);
}

// Whether the module of the other bitness is still registered: its class
// has its module path in its own view, or its type library its platform key.
// Where the system has one view only, the other view is this one, whose
// module path has gone by then.
bool OtherBitnessRegistered() {
  const OtherRegistration other = OtherBitnessKeys(kOwnBitness);
  const REGSAM otherView = kOwnBitness == Bitness::x64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  const auto hasDefault = [](const std::string& key, REGSAM view) {
    RegistryKey opened;
    return opened.Open(Wide(key), KEY_QUERY_VALUE | view) == ERROR_SUCCESS &&
           RegQueryValueExW(opened.get(), nullptr, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
  };
  return hasDefault(other.classKey, otherView) || hasDefault(other.libraryKey, 0);
}

HRESULT RegisterServerOnce() {
  const std::wstring path = ModulePath();
  if (path.empty()) return LastError();
  for (const auto& row : RegistrationRows(kOwnBitness)) {
    const HRESULT hr = WriteRow(row, path);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT RegisterServer() {
  HRESULT hr = E_FAIL;
  const HRESULT boundary = AtBoundary([&] { hr = RegisterServerOnce(); });
  if (SUCCEEDED(boundary) && SUCCEEDED(hr)) return S_OK;
  UnregisterServer();  // leave nothing half written
  return FAILED(boundary) ? boundary : hr;
}

HRESULT UnregisterServer() {
  HRESULT result = S_OK;
  const auto keep = [&](HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  };
  const HRESULT boundary = AtBoundary([&] {
    const std::vector<RegistryRow> rows = RegistrationRows(kOwnBitness);
    for (const auto& row : rows) {
      if (!row.shared) keep(RemoveRow(row));
    }
    // What both views share serves the other bitness's script clients too
    // (the ProgID, the type library): it goes with the last module.
    if (!OtherBitnessRegistered()) {
      for (const auto& row : rows) {
        if (row.shared) keep(RemoveRow(row));
      }
    }
    for (const auto& key : RegistrationKeys(kOwnBitness)) keep(RemoveIfEmpty(Wide(key)));
  });
  return FAILED(boundary) ? boundary : result;
}

}  // namespace vorlen::com
