#pragma once
// The event sink of vorlen-convert.exe: prints each Message event as one line,
// exactly as the native client does ("TYPE LOCATION: TEXT", or "TYPE TEXT"
// when the location is empty).
#include <windows.h>

#include <oaidl.h>

#include <array>

#include "VorlenCOM.h"
#include "component/com_class.h"

namespace vorlen::client {

// Lives on main's stack for the whole run; the counts only satisfy COM.
class PrintingSink final : public com::ComClass<PrintingSink, com::StaticLifetime, IDispatch> {
 public:
  PrintingSink() = default;
  std::array<com::Answer, 3> Interfaces() {
    return {{{&IID_IUnknown, this}, {&IID_IDispatch, this}, {&DIID___Vorlen, this}}};
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
};

}  // namespace vorlen::client
