#include "component/dispatch_sink.h"

#include <new>

#include "component/bstr.h"

namespace vorlen::com {

void DispatchSink::Receive(TextView msgType, TextView msgLocation, TextView msg) {
  if (!sink_) return;
  Bstr type, location, text;
  try {
    type = Bstr(msgType);
    location = Bstr(msgLocation);
    text = Bstr(msg);
  } catch (const std::bad_alloc&) {
    return;  // this sink misses the event; the others and the conversion go on
  }
  VARIANTARG args[3];
  BSTR* slots[3] = {text.slot(), location.slot(), type.slot()};  // reverse order
  for (int i = 0; i < 3; ++i) {
    VariantInit(&args[i]);
    V_VT(&args[i]) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&args[i]) = slots[i];
  }
  DISPPARAMS params{args, nullptr, 3, 0};
  // The result is deliberately ignored (see the header).
  sink_->Invoke(kDispidMessage, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                nullptr, nullptr);
}

}  // namespace vorlen::com
