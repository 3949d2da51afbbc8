// Self-registration through Wine's own regsvr32: after registering, every key
// of the class, the ProgID, the type library and both interfaces is present
// in the machine's classes and COM creates the class by its ProgID; after /u
// none of them is left. Nothing is written to or removed from the user's
// classes, not even where a stale per-user copy of the class lies there.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "VorlenCOM.h"
#include "support.h"

namespace vorlen::test {
namespace {

// The marshallers: a dual interface goes through the type library, a pure
// dispinterface through the dispatch marshaller.
const std::wstring kTypeLibMarshaller = L"{00020424-0000-0000-C000-000000000046}";
const std::wstring kDispatchMarshaller = L"{00020420-0000-0000-C000-000000000046}";

DWORD RunRegsvr32(const std::wstring& arguments) {
  std::wstring commandLine = L"regsvr32.exe " + arguments + L" \"" + OwnDll() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return static_cast<DWORD>(-1);
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// Keys below the machine's classes (HKEY_LOCAL_MACHINE) or the user's
// (HKEY_CURRENT_USER), each read on its own rather than through the merged
// HKEY_CLASSES_ROOT.
const std::wstring kClasses = L"Software\\Classes\\";

bool KeyExists(const std::wstring& key, HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, (kClasses + key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

std::optional<std::wstring> Value(const std::wstring& key, const wchar_t* name = nullptr,
                                  HKEY root = HKEY_LOCAL_MACHINE) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(root, (kClasses + key).c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(data);
}

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2] = {};
  GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  return Lower(full);
}

// Every key that registering writes, and none that it does not own.
std::vector<std::wstring> OwnKeys() {
  return {L"CLSID\\" + GuidText(CLSID_Vorlen), L"VorlenCOM.Vorlen",
          L"TypeLib\\" + GuidText(LIBID_VorlenCOM), L"Interface\\" + GuidText(IID__Vorlen),
          L"Interface\\" + GuidText(DIID___Vorlen)};
}

TEST(Registration, RoundTripThroughRegsvr32) {
  EXPECT_EQ(OwnModule().unregisterServer(), S_OK);
  ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u) << "unregistering what is not registered succeeds";
  for (const auto& key : OwnKeys()) ASSERT_FALSE(KeyExists(key)) << Narrow(key);

  ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
  const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_Vorlen);
  EXPECT_EQ(Value(clsid), L"VorlenCOM.Vorlen");
  const auto server = Value(clsid + L"\\InprocServer32");
  ASSERT_TRUE(server);
  EXPECT_EQ(FullPath(*server), FullPath(OwnDll()));
  EXPECT_EQ(Value(clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Value(clsid + L"\\ProgID"), L"VorlenCOM.Vorlen");
  EXPECT_EQ(Value(clsid + L"\\VERSION"), L"1.0");
  EXPECT_EQ(Value(clsid + L"\\TypeLib"), GuidText(LIBID_VorlenCOM));
  EXPECT_EQ(Value(L"VorlenCOM.Vorlen"), L"VorlenCOM.Vorlen");
  EXPECT_EQ(Value(L"VorlenCOM.Vorlen\\CLSID"), GuidText(CLSID_Vorlen));

  // The library registers language-neutral (locale 0), with both interfaces;
  // registered versions are hexadecimal, so 19.0 is written 13.0.
  const std::wstring library = L"TypeLib\\" + GuidText(LIBID_VorlenCOM) + L"\\13.0";
  EXPECT_EQ(Value(library), L"Vorlen ActiveX Dll 5.0");
  const auto libraryPath = Value(library + (sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32"));
  ASSERT_TRUE(libraryPath);
  EXPECT_EQ(FullPath(*libraryPath), FullPath(OwnDll()));
  // Not restricted, not a control, not hidden (the system may add FHASDISKIMAGE).
  const auto flags = Value(library + L"\\FLAGS");
  ASSERT_TRUE(flags);
  EXPECT_EQ(std::stoi(*flags, nullptr, 16) & ~LIBFLAG_FHASDISKIMAGE, 0) << Narrow(*flags);
  for (const auto& [iid, name, marshaller] :
       {std::tuple{GuidText(IID__Vorlen), L"_Vorlen", kTypeLibMarshaller},
        std::tuple{GuidText(DIID___Vorlen), L"__Vorlen", kDispatchMarshaller}}) {
    const std::wstring key = L"Interface\\" + iid;
    EXPECT_EQ(Value(key), name);
    EXPECT_EQ(Value(key + L"\\ProxyStubClsid32"), marshaller);
    EXPECT_EQ(Value(key + L"\\TypeLib"), GuidText(LIBID_VorlenCOM));
    EXPECT_EQ(Value(key + L"\\TypeLib", L"Version"), L"13.0");
  }

  {
    Apartment apartment;
    CLSID byProgId{};
    ASSERT_EQ(CLSIDFromProgID(L"VorlenCOM.Vorlen", &byProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(byProgId, CLSID_Vorlen));
    ComPtr<IDispatch> object;
    ASSERT_EQ(
        CoCreateInstance(byProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void()),
        S_OK);
    ComPtr<ITypeLib> registered;
    EXPECT_EQ(LoadRegTypeLib(LIBID_VorlenCOM, 19, 0, 0, registered.put()), S_OK);
  }

  ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
  for (const auto& key : OwnKeys()) EXPECT_FALSE(KeyExists(key)) << Narrow(key) << " is left";
}

// A per-user copy of the class key, as an earlier per-user registration left
// it, removed again when the test ends. On Windows a write through the merged
// HKEY_CLASSES_ROOT would land in it; Wine's HKEY_CLASSES_ROOT is the
// machine's classes alone, so there the test pins where the writes go.
class StaleUserClass {
 public:
  StaleUserClass() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, (kClasses + server).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                    nullptr, &key, nullptr);
    if (key) {
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kPath), sizeof kPath);
      RegCloseKey(key);
    }
  }
  StaleUserClass(const StaleUserClass&) = delete;
  StaleUserClass& operator=(const StaleUserClass&) = delete;
  ~StaleUserClass() { RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + clsid).c_str()); }

  static constexpr wchar_t kPath[] = L"C:\\earlier\\VORLEN.dll";
  const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_Vorlen);
  const std::wstring server = clsid + L"\\InprocServer32";
};

TEST(Registration, WritesTheMachinesClassesOnly) {
  ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
  const StaleUserClass stale;
  ASSERT_EQ(Value(stale.server, nullptr, HKEY_CURRENT_USER), StaleUserClass::kPath);

  ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
  const auto server = Value(stale.server);
  ASSERT_TRUE(server) << "the machine's class has no InprocServer32";
  EXPECT_EQ(FullPath(*server), FullPath(OwnDll()));
  EXPECT_EQ(Value(stale.server, nullptr, HKEY_CURRENT_USER), StaleUserClass::kPath);
  EXPECT_FALSE(Value(stale.server, L"ThreadingModel", HKEY_CURRENT_USER));
  EXPECT_FALSE(KeyExists(stale.clsid + L"\\ProgID", HKEY_CURRENT_USER));
  for (const auto& key : OwnKeys()) {
    if (key != stale.clsid) {
      EXPECT_FALSE(KeyExists(key, HKEY_CURRENT_USER)) << Narrow(key) << " is in the user's classes";
    }
  }

  ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
  EXPECT_FALSE(KeyExists(stale.clsid)) << "the machine's class is left";
  EXPECT_EQ(Value(stale.server, nullptr, HKEY_CURRENT_USER), StaleUserClass::kPath)
      << "the per-user copy is not the module's to remove";
}

}  // namespace
}  // namespace vorlen::test
