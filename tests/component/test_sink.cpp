#include "test_sink.h"

#include "VorlenCOM.h"
#include "support.h"

namespace vorlen::test {

HRESULT TestSink::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT TestSink::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                         EXCEPINFO*, UINT*) {
  ReceivedCall call{id, flags, params->cArgs, params->cNamedArgs, {}, {}, {}, {}};
  for (UINT i = 0; i < params->cArgs; ++i) call.types.push_back(V_VT(&params->rgvarg[i]));
  const auto text = [&](UINT i) -> std::string {
    const VARIANT& v = params->rgvarg[i];
    return V_VT(&v) == (VT_BYREF | VT_BSTR) ? Narrow(*V_BSTRREF(&v)) : "?";
  };
  if (params->cArgs == 3) {
    call.msg = text(0);
    call.msgLocation = text(1);
    call.msgType = text(2);
  }
  calls.push_back(call);
  if (overwriteArguments && params->cArgs == 3) {
    for (UINT i = 0; i < 3; ++i) {
      BSTR* slot = V_BSTRREF(&params->rgvarg[i]);
      SysFreeString(*slot);
      *slot = SysAllocString(L"changed by the sink");
    }
  }
  if (onMessage) onMessage();
  return answer;
}

}  // namespace vorlen::test
