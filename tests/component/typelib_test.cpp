// The type library that each build of VORLEN.dll carries, read back through
// ITypeLib/ITypeInfo and compared with the table it must match: library
// attributes, the order of the type infos, every flag, version, dispatch
// identifier, parameter name, type, passing mode and default. This also proves
// the build step that gives __Vorlen its [nonextensible] and version 1.0.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "VorlenCOM.h"
#include "support.h"
#include "typelib_dump.h"

namespace vorlen::test {
namespace {

const std::string kLibId = Narrow(GuidText(LIBID_VorlenCOM));
const std::string kIid = Narrow(GuidText(IID__Vorlen));
const std::string kClsid = Narrow(GuidText(CLSID_Vorlen));
const std::string kDiid = Narrow(GuidText(DIID___Vorlen));
constexpr char kStdole[] = "stdole {00020430-0000-0000-C000-000000000046} 2.0";

struct Param {
  const char* name;
  const char* type;
  const char* flags;
  const char* extra = "";
};

struct Method {
  const char* name;
  const char* memid;
  std::vector<Param> params;
};

// The twelve methods of _Vorlen, in the order of the method table.
const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = {
      {"Convert",
       "0x60030002",
       {{"xmlPath", "BSTR", "IN"}, {"pdfPath", "BSTR", "IN|OPT|HASDEFAULT", " default=BSTR\"\""}}},
      {"SetVorlenPath", "0x60030008", {{"exePath", "BSTR", "IN"}}},
      {"AddStyleSheet", "0x60030009", {{"cssPath", "BSTR", "IN"}}},
      {"ClearStyleSheets", "0x6003000A", {}},
      {"SetHTML", "0x6003000B", {{"html", "BOOL", "IN"}}},
      {"SetLog", "0x6003000C", {{"logFile", "BSTR", "IN"}}},
      {"SetBaseURL", "0x6003000D", {{"baseurl", "BSTR", "IN"}}},
      {"SetXInclude", "0x6003000E", {{"xinclude", "BOOL", "IN"}}},
      {"SetEmbedFonts", "0x6003000F", {{"embed", "BOOL", "IN"}}},
      {"SetCompress", "0x60030010", {{"compress", "BOOL", "IN"}}},
      {"SetEncrypt", "0x60030011", {{"encrypt", "BOOL", "IN"}}},
      {"SetEncryptInfo",
       "0x60030012",
       {{"keyBits", "I2", "IN"},
        {"userPassword", "BSTR", "IN"},
        {"ownerPassword", "BSTR", "IN"},
        {"disallowPrint", "BOOL", "IN"},
        {"disallowModify", "BOOL", "IN"},
        {"disallowCopy", "BOOL", "IN"},
        {"disallowAnnotate", "BOOL", "IN"}}},
  };
  return methods;
}

void AddParams(std::ostream& out, const std::vector<Param>& params) {
  for (const Param& p : params) {
    out << "    param " << p.name << " type=" << p.type << " flags=" << p.flags << p.extra << "\n";
  }
}

// The dump that the library must give; only SYSKIND tells the builds apart.
std::string Expected(const char* syskind) {
  const std::string none = "lcid=0x0 doc=\"\" context=0";
  std::ostringstream out;
  out << "library VorlenCOM " << kLibId << " version=19.0 lcid=0x0 syskind=" << syskind
      << " flags=0x0 doc=\"Vorlen ActiveX Dll 5.0\" context=0 helpfile=\"\" types=3\n";

  // _Vorlen as IDispatch sees it: results are values, Convert's is a long.
  out << "type _Vorlen DISPATCH " << kIid
      << " version=1.0 flags=HIDDEN|DUAL|NONEXTENSIBLE|DISPATCHABLE funcs=19 vars=0 impls=1 "
      << none << "\n";
  out << "  impl IDispatch flags=0 from=" << kStdole << "\n";
  for (const Method& m : Methods()) {
    const bool convert = std::string(m.name) == "Convert";
    out << "  func " << m.name << " memid=" << m.memid
        << " kind=DISPATCH invoke=FUNC callconv=STDCALL params=" << m.params.size()
        << " optional=" << (convert ? 1 : 0) << " flags=0x0 result=" << (convert ? "I4" : "VOID")
        << " names=" << m.params.size() + 1 << " doc=\"\" context=0\n";
    AddParams(out, m.params);
  }

  // The method table: 3 + 4 + 12 slots, every method returns HRESULT, and
  // Convert's result is a final unnamed [out, retval] long*.
  out << " vtable _Vorlen INTERFACE " << kIid
      << " version=1.0 flags=HIDDEN|DUAL|NONEXTENSIBLE|OLEAUTOMATION|DISPATCHABLE funcs=12 vars=0 "
         "impls=1 slots=19 "
      << none << "\n";
  out << "  impl IDispatch flags=0 from=" << kStdole << "\n";
  int slot = 7;
  for (const Method& m : Methods()) {
    const bool convert = std::string(m.name) == "Convert";
    const std::size_t params = m.params.size() + (convert ? 1 : 0);
    out << "  func " << m.name << " memid=" << m.memid
        << " kind=PUREVIRTUAL invoke=FUNC callconv=STDCALL params=" << params
        << " optional=" << (convert ? 1 : 0) << " slot=" << slot++
        << " flags=0x0 result=HRESULT names=" << m.params.size() + 1 << " doc=\"\" context=0\n";
    AddParams(out, m.params);
    if (convert) out << "    param - type=PTR(I4) flags=OUT|RETVAL\n";
  }

  out << "type Vorlen COCLASS " << kClsid << " version=1.0 flags=CANCREATE funcs=0 vars=0 impls=2 "
      << none << "\n";
  out << "  impl _Vorlen flags=DEFAULT from=VorlenCOM " << kLibId << " 19.0\n";
  out << "  impl __Vorlen flags=DEFAULT|SOURCE from=VorlenCOM " << kLibId << " 19.0\n";

  out << "type __Vorlen DISPATCH " << kDiid
      << " version=1.0 flags=HIDDEN|NONEXTENSIBLE|DISPATCHABLE funcs=1 vars=0 impls=1 " << none
      << "\n";
  out << "  impl IDispatch flags=0 from=" << kStdole << "\n";
  out << "  func Message memid=0x1 kind=DISPATCH invoke=FUNC callconv=STDCALL params=3 optional=0 "
         "flags=0x0 result=VOID names=4 doc=\"\" context=0\n";
  AddParams(out, {{"msgType", "PTR(BSTR)", "IN|OUT"},
                  {"msgLocation", "PTR(BSTR)", "IN|OUT"},
                  {"msg", "PTR(BSTR)", "IN|OUT"}});
  return out.str();
}

void ExpectLibrary(const std::wstring& dll, const char* syskind) {
  ASSERT_TRUE(FileExists(dll)) << Narrow(dll);
  Apartment apartment;
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, library.put()), S_OK) << Narrow(dll);
  EXPECT_EQ(DumpTypeLib(library.get()), Expected(syskind));

  // The library's own locale is English (United States); it registers as neutral.
  HeaderLocales locales{};
  ASSERT_TRUE(ReadHeaderLocales(dll, locales));
  EXPECT_EQ(locales.own, 0x409u);
  EXPECT_EQ(locales.registered, 0u);
}

TEST(TypeLibrary, OwnBuildMatchesTheTable) {
  ExpectLibrary(OwnDll(), sizeof(void*) == 8 ? "WIN64" : "WIN32");
}

TEST(TypeLibrary, ThirtyTwoBitBuildMatchesTheTable) {
  if (!FileExists(Win32Dll())) {
    GTEST_SKIP() << "the 32-bit tree is not built next to this one: " << Narrow(Win32Dll());
  }
  ExpectLibrary(Win32Dll(), "WIN32");
}

// Late binding depends on these: names map to the fixed identifiers, and the
// parameter names to their positions.
TEST(TypeLibrary, NamesMapToTheFixedIdentifiers) {
  Apartment apartment;
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(OwnDll().c_str(), REGKIND_NONE, library.put()), S_OK);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(library->GetTypeInfo(0, info.put()), S_OK);
  const wchar_t* convert[] = {L"convert", L"PDFPATH", L"xmlPath"};  // case-insensitive
  MEMBERID ids[3] = {};
  ASSERT_EQ(info->GetIDsOfNames(const_cast<LPOLESTR*>(convert), 3, ids), S_OK);
  EXPECT_EQ(ids[0], 0x60030002);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  const wchar_t* encrypt[] = {L"SetEncryptInfo", L"disallowAnnotate"};
  ASSERT_EQ(info->GetIDsOfNames(const_cast<LPOLESTR*>(encrypt), 2, ids), S_OK);
  EXPECT_EQ(ids[0], 0x60030012);
  EXPECT_EQ(ids[1], 6);
  const wchar_t* unknown[] = {L"Render"};
  EXPECT_EQ(info->GetIDsOfNames(const_cast<LPOLESTR*>(unknown), 1, ids), DISP_E_UNKNOWNNAME);
}

}  // namespace
}  // namespace vorlen::test
