#include "component/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <cwchar>
#include <string>

#include "VorlenCOM.h"
#include "component/boundary.h"
#include "component/module_state.h"
#include "component/type_library.h"

namespace vorlen::com {
namespace {

// The registration record of the module's one class.
constexpr wchar_t kClassVersion[] = L"1.0";
constexpr wchar_t kThreadingModel[] = L"Apartment";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey() {
  return L"CLSID\\" + GuidText(CLSID_Vorlen);
}

// Writes one string value under HKEY_CLASSES_ROOT\key, creating the key.
HRESULT SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &handle, nullptr);
  if (status == ERROR_SUCCESS) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            bytes);
    RegCloseKey(handle);
  }
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteTree(const std::wstring& key) {
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return S_OK;
  return HRESULT_FROM_WIN32(status);
}

bool KeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

// Unregisters the library and its interfaces, if this version is registered
// at all (systems differ in what UnRegisterTypeLib answers when it is not).
HRESULT UnregisterTypeLibrary() {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadEmbeddedTypeLib(library);
  if (FAILED(hr)) return hr;
  TLIBATTR* attr = nullptr;
  hr = library->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  // Registered versions are written in hexadecimal: 19.0 is the key 13.0.
  wchar_t version[16] = {};
  swprintf(version, 16, L"%x.%x", attr->wMajorVerNum, attr->wMinorVerNum);
  const std::wstring key = L"TypeLib\\" + GuidText(attr->guid) + L"\\" + version;
  if (KeyExists(key)) {
    hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                           attr->syskind);
  }
  library->ReleaseTLibAttr(attr);
  return hr;
}

HRESULT WriteClassKeys(const std::wstring& modulePath) {
  const std::wstring clsid = GuidText(CLSID_Vorlen);
  const std::wstring classKey = ClassKey();
  const std::wstring progIdKey = kProgId;
  // The class has no description of its own: its key shows the ProgID.
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } values[] = {
      {classKey, nullptr, kProgId},
      {classKey + L"\\InprocServer32", nullptr, modulePath},
      {classKey + L"\\InprocServer32", L"ThreadingModel", kThreadingModel},
      {classKey + L"\\ProgID", nullptr, kProgId},
      {classKey + L"\\VERSION", nullptr, kClassVersion},
      {classKey + L"\\TypeLib", nullptr, GuidText(LIBID_VorlenCOM)},
      {progIdKey, nullptr, kProgId},
      {progIdKey + L"\\CLSID", nullptr, clsid},
  };
  for (const auto& v : values) {
    const HRESULT hr = SetString(v.key, v.name, v.value);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT RegisterServerOnce() {
  const std::wstring path = ModulePath();
  if (path.empty()) return LastError();
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadEmbeddedTypeLib(library);
  if (FAILED(hr)) return hr;
  // Registers the library and the interfaces it describes, both marshalled by
  // the type library (the automation marshaller).
  hr = RegisterTypeLib(library.get(), const_cast<OLECHAR*>(path.c_str()), nullptr);
  if (FAILED(hr)) return hr;
  return WriteClassKeys(path);
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
  const HRESULT boundary = AtBoundary([&] {
    for (HRESULT hr : {DeleteTree(ClassKey()), DeleteTree(kProgId), UnregisterTypeLibrary()}) {
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  });
  return FAILED(boundary) ? boundary : result;
}

}  // namespace vorlen::com
