#include "component/boundary.h"

#include <oleauto.h>

#include "VorlenCOM.h"
#include "component/com_ptr.h"

namespace vorlen::com {
namespace {

const wchar_t* DescriptionOf(int number) {
  switch (number) {
    case kInvalidArgumentError:
      return L"Invalid procedure call or argument";
    default:
      return L"Application-defined or object-defined error";
  }
}

}  // namespace

HRESULT HresultOfError(int number) {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number) & 0xFFFF);
}

HRESULT ReportError(const VorlenError& error) {
  const HRESULT hr = HresultOfError(error.number());
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return ReportFailure(hr);
  create->SetGUID(IID__Vorlen);
  create->SetSource(const_cast<LPOLESTR>(kProgId));
  create->SetDescription(const_cast<LPOLESTR>(DescriptionOf(error.number())));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(IID_IErrorInfo, info))) SetErrorInfo(0, info.get());
  return hr;
}

HRESULT ReportFailure(HRESULT hr) {
  SetErrorInfo(0, nullptr);
  return hr;
}

}  // namespace vorlen::com
