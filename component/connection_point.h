#pragma once
// The one connection point of a Vorlen object, for the event interface
// __Vorlen. Its connections are the sinks of the object's event source; it
// keeps the object alive as long as a client holds the point.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include "component/com_object.h"
#include "component/com_ptr.h"
#include "job/event_source.h"

namespace vorlen::com {

class ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(ComPtr<IConnectionPointContainer> container, EventSource& events)
      : container_(std::move(container)), events_(events) {}

  static HRESULT Create(IConnectionPointContainer* container, EventSource& events,
                        IConnectionPoint** point);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return count_.Increment(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(this, count_); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE
  GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

 private:
  RefCount count_;
  ComPtr<IConnectionPointContainer> container_;
  EventSource& events_;  // belongs to the object that container_ keeps alive
};

}  // namespace vorlen::com
