#pragma once
// A text dump of a type library: one line per attribute group, type info,
// implemented interface, function and parameter, in the library's order.
// Both halves of a dual interface are dumped (the dispatch view and, through
// GetRefTypeOfImplType(-1), the method table).
#include <windows.h>

#include <oaidl.h>

#include <string>

namespace vorlen::test {

std::string DumpTypeLib(ITypeLib* library);

// The raw locale words of an MSFT library's header: the library's own locale
// and the one it is registered under.
struct HeaderLocales {
  unsigned own;
  unsigned registered;
};
bool ReadHeaderLocales(const std::wstring& module, HeaderLocales& out);

}  // namespace vorlen::test
