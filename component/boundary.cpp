#include "component/boundary.h"

#include <oleauto.h>

#include <string>

#include "VorlenCOM.h"
#include "channel/text.h"
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

HRESULT HresultOfError(int number) noexcept {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number) & 0xFFFF);
}

HRESULT ReportError(const VorlenError& error) noexcept {
  const HRESULT hr = HresultOfError(error.number());
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return ReportFailure(hr);
  create->SetGUID(IID__Vorlen);
  create->SetSource(const_cast<LPOLESTR>(kProgId));
  // The detail names the offending value, so that a caller can find it; out
  // of memory, the caller gets the description without it.
  try {
    std::wstring description = DescriptionOf(error.number());
    if (!error.detail().empty()) {
      const Text detail = FromUtf8(error.detail());
      description += L": " + std::wstring(detail.begin(), detail.end());
    }
    create->SetDescription(description.data());
  } catch (...) {
    create->SetDescription(const_cast<LPOLESTR>(DescriptionOf(error.number())));
  }
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(IID_IErrorInfo, info))) SetErrorInfo(0, info.get());
  return hr;
}

HRESULT ReportFailure(HRESULT hr) noexcept {
  SetErrorInfo(0, nullptr);
  return hr;
}

}  // namespace vorlen::com
