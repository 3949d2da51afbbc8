#pragma once
// An event sink for __Vorlen written the way a C++ client writes one: it
// records every call it receives and can misbehave on request.
#include <windows.h>

#include <oaidl.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "VorlenCOM.h"
#include "component/com_class.h"

namespace vorlen::test {

struct ReceivedCall {
  DISPID id;
  WORD flags;
  UINT args;
  UINT namedArgs;
  std::vector<VARTYPE> types;  // as received, in the argument array's order
  std::string msgType, msgLocation, msg;
};

class TestSink final : public com::ComClass<TestSink, com::HeapLifetime, IDispatch> {
 public:
  static TestSink* Create() { return new TestSink(); }  // first reference belongs to the caller
  std::array<com::Answer, 3> Interfaces() {
    return {{{&IID_IUnknown, this}, {&IID_IDispatch, this}, {&DIID___Vorlen, this}}};
  }

  std::vector<ReceivedCall> calls;
  bool overwriteArguments = false;  // replace the three strings with fresh ones
  HRESULT answer = S_OK;            // what Invoke returns
  std::function<void()> onMessage;  // runs inside the handler

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

 private:
  TestSink() = default;
};

}  // namespace vorlen::test
