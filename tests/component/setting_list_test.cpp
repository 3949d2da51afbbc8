// The list of setters that the C++ layers expand (job/setting_list.h) against
// the type library that the DLL carries, which the IDL declares by hand: after
// Convert, the method table of _Vorlen holds exactly the listed setters, in
// their order, each under its dispatch identifier with its parameters' names
// and types.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "VorlenCOM.h"
#include "job/setting_list.h"
#include "support.h"

namespace vorlen::test {
namespace {

struct Method {
  std::wstring name;
  MEMBERID id;
  std::vector<std::pair<std::wstring, VARTYPE>> parameters;
};

#define WIDE(name) WIDE_TEXT(#name)
#define WIDE_TEXT(text) L##text
#define ROW_TEXT(Setter, id, parameter, ...) {WIDE(Setter), id, {{WIDE(parameter), VT_BSTR}}},
#define ROW_FLAG(Setter, id, parameter, ...) {WIDE(Setter), id, {{WIDE(parameter), VT_BOOL}}},
#define ROW_NONE(Setter, id, ...) {WIDE(Setter), id, {}},
#define ROW_RECORD(Setter, id, ...) \
  {WIDE(Setter), id, {VORLEN_ENCRYPTION(PARAMETER_I2, PARAMETER_BSTR, PARAMETER_BOOL)}},
#define PARAMETER_I2(name) \
  { WIDE(name), VT_I2 }
#define PARAMETER_BSTR(name) \
  { WIDE(name), VT_BSTR }
#define PARAMETER_BOOL(name) \
  { WIDE(name), VT_BOOL }

const std::vector<Method> kListed = {VORLEN_SETTERS(ROW_TEXT, ROW_FLAG, ROW_NONE, ROW_RECORD)};

Method Described(ITypeInfo* info, UINT index) {
  FUNCDESC* desc = nullptr;
  EXPECT_EQ(info->GetFuncDesc(index, &desc), S_OK);
  if (desc == nullptr) return {};
  BSTR names[16] = {};
  UINT count = 0;
  EXPECT_EQ(info->GetNames(desc->memid, names, 16, &count), S_OK);
  Method method{count > 0 && names[0] ? names[0] : L"", desc->memid, {}};
  for (SHORT i = 0; i < desc->cParams; ++i) {
    const UINT name = static_cast<UINT>(i) + 1;
    method.parameters.emplace_back(name < count && names[name] ? names[name] : L"-",
                                   desc->lprgelemdescParam[i].tdesc.vt);
  }
  for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
  info->ReleaseFuncDesc(desc);
  return method;
}

TEST(TypeLibrary, SettersMatchTheListTheCodeExpands) {
  Apartment apartment;
  ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(OwnDll().c_str(), REGKIND_NONE, library.put()), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_VorlenCOM));
  library->ReleaseTLibAttr(attributes);

  // The method table, not the dispatch view of the dual interface.
  ComPtr<ITypeInfo> dispatch, table;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Vorlen, dispatch.put()), S_OK);
  HREFTYPE vtable = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(vtable, table.put()), S_OK);
  TYPEATTR* type = nullptr;
  ASSERT_EQ(table->GetTypeAttr(&type), S_OK);
  const UINT functions = type->cFuncs;
  table->ReleaseTypeAttr(type);

  ASSERT_EQ(functions, kListed.size() + 1);
  EXPECT_EQ(Described(table.get(), 0).name, L"Convert");
  for (UINT i = 1; i < functions; ++i) {
    const Method& listed = kListed[i - 1];
    const Method built = Described(table.get(), i);
    EXPECT_EQ(built.name, listed.name);
    EXPECT_EQ(built.id, listed.id) << Narrow(listed.name);
    EXPECT_EQ(built.parameters, listed.parameters) << Narrow(listed.name);
  }
}

}  // namespace
}  // namespace vorlen::test
