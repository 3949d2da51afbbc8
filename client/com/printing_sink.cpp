#include "client/com/printing_sink.h"

#include <cstdio>
#include <string>

#include "client/console_output.h"
#include "component/bstr.h"

namespace vorlen::client {
namespace {

std::string ArgumentText(const VARIANT& arg) {
  if (V_VT(&arg) == (VT_BYREF | VT_BSTR)) return ToUtf8(com::ToText(*V_BSTRREF(&arg)));
  if (V_VT(&arg) == VT_BSTR) return ToUtf8(com::ToText(V_BSTR(&arg)));
  return std::string();
}

}  // namespace

HRESULT PrintingSink::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT PrintingSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) {
  if (id != 1) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr || params->cArgs != 3) return DISP_E_BADPARAMCOUNT;
  // The arguments stand in reverse order: text, location, type.
  const std::string msg = ArgumentText(params->rgvarg[0]);
  const std::string location = ArgumentText(params->rgvarg[1]);
  std::string line = ArgumentText(params->rgvarg[2]) + " ";
  if (!location.empty()) line += location + ": ";
  line += msg;
  Print(stdout, line + "\n");
  return S_OK;
}

}  // namespace vorlen::client
