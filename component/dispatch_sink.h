#pragma once
// A COM event sink as the core's event source sees it: Message arrives at the
// sink as IDispatch::Invoke(1, DISPATCH_METHOD) with three VT_BYREF|VT_BSTR
// arguments in reverse order (text, location, type). Each argument points at a
// BSTR of its own, made straight from the raiser's texts; nothing is read
// back, and whatever the sink leaves there is freed afterwards. A sink's
// failure is ignored: it must not keep the other sinks from their events nor
// end the conversion. The connection point connects no null sink; one would
// receive nothing.
#include <windows.h>

#include <oaidl.h>

#include "component/com_ptr.h"
#include "job/event_source.h"

namespace vorlen::com {

inline constexpr DISPID kDispidMessage = 1;

class DispatchSink final : public MessageSink {
 public:
  explicit DispatchSink(ComPtr<IDispatch> sink) : sink_(std::move(sink)) {}
  void Receive(TextView msgType, TextView msgLocation, TextView msg) override;

 private:
  ComPtr<IDispatch> sink_;
};

}  // namespace vorlen::com
