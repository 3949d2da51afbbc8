#pragma once
// Shared helpers of the component's tests: where the artefacts lie, the
// module's exports, an apartment per test, and the texts of COM strings.
#include <windows.h>

#include <oaidl.h>

#include <string>

#include "component/com_ptr.h"

namespace vorlen::test {

using com::ComPtr;

// The folder of this test program (the tree's bin folder), with a trailing backslash.
std::wstring BinDir();
// The DLL of this tree, and the one of the 32-bit tree next to it.
std::wstring OwnDll();
std::wstring Win32Dll();
bool FileExists(const std::wstring& path);
std::wstring SourceDir();  // the repository, in Windows form
std::wstring TempDir();    // a fresh folder for this process

std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text);  // a BSTR or any string; null gives ""
std::wstring GuidText(REFGUID guid);

// The module, loaded once for the whole program, and its exports.
struct Module {
  HMODULE handle;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**);
  HRESULT(STDAPICALLTYPE* canUnloadNow)();
  HRESULT(STDAPICALLTYPE* registerServer)();
  HRESULT(STDAPICALLTYPE* unregisterServer)();
};
const Module& OwnModule();

// A single-threaded apartment for the length of a scope.
class Apartment {
 public:
  Apartment();
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  ~Apartment();
};

}  // namespace vorlen::test
