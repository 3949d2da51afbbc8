#include "bench/com_registration.h"

#include <objbase.h>

#include <cstdio>
#include <cstdlib>

namespace vorlen::bench {

std::wstring BinDir() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

void Fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "bench: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
  std::exit(1);
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) Fail(what, hr);
}

Registration::Registration() {
  CLSID clsid{};
  wasRegistered_ = SUCCEEDED(CLSIDFromProgID(L"VorlenCOM.Vorlen", &clsid));
  module_ = LoadLibraryW((BinDir() + L"VORLEN.dll").c_str());
  if (module_ == nullptr) Fail("loading VORLEN.dll", HRESULT_FROM_WIN32(GetLastError()));
  Check(Export("DllRegisterServer")(), "DllRegisterServer");
}

Registration::~Registration() {
  if (!wasRegistered_) Export("DllUnregisterServer")();
  FreeLibrary(module_);
}

Registration::Entry Registration::Export(const char* name) {
  return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
}

}  // namespace vorlen::bench
