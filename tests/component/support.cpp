#include "support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>

namespace vorlen::test {

std::wstring BinDir() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring OwnDll() {
  return BinDir() + L"VORLEN.dll";
}

std::wstring Win32Dll() {
  // <build>/win64/bin -> <build>/win32/bin
  return BinDir() + L"..\\..\\win32\\bin\\VORLEN.dll";
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring SourceDir() {
  const std::string unix = VORLEN_SOURCE_DIR;
  std::wstring path = L"Z:";
  for (char c : unix) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

std::wstring TempDir() {
  static const std::wstring dir = [] {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    std::wstring path =
        std::wstring(base) + L"vorlen-com-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path.c_str(), nullptr);
    return path + L"\\";
  }();
  return dir;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::string Narrow(const wchar_t* text) {
  return text ? Narrow(std::wstring(text)) : "";
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

const Module& OwnModule() {
  static const Module module = [] {
    Module m{};
    m.handle = LoadLibraryW(OwnDll().c_str());
    if (m.handle == nullptr) throw std::runtime_error("VORLEN.dll does not load");
    const auto get = [&](auto& slot, const char* name) {
      FARPROC proc = GetProcAddress(m.handle, name);
      if (proc == nullptr) throw std::runtime_error(std::string("no export ") + name);
      // Through the generic function type, which converts to any other without a warning.
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
          reinterpret_cast<void (*)()>(proc));
    };
    get(m.getClassObject, "DllGetClassObject");
    get(m.canUnloadNow, "DllCanUnloadNow");
    get(m.registerServer, "DllRegisterServer");
    get(m.unregisterServer, "DllUnregisterServer");
    return m;
  }();
  return module;
}

Apartment::Apartment() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    throw std::runtime_error("CoInitializeEx failed");
  }
}

Apartment::~Apartment() {
  CoUninitialize();
}

}  // namespace vorlen::test
