#pragma once
// The one connection point of a Vorlen object, for the event interface
// __Vorlen. It is a part of the object: FindConnectionPoint hands out the same
// point every time, and every reference to the point is one on the object.
// Its connections are sinks of the object's event source. Its methods are
// entered on the object's own thread only, as the object's are.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <array>
#include <vector>

#include "component/com_class.h"
#include "component/enumerator.h"
#include "component/own_thread.h"
#include "job/event_source.h"

namespace vorlen::com {

class ConnectionPoint final : public ComClass<ConnectionPoint, PartLifetime, IConnectionPoint> {
 public:
  ConnectionPoint(IConnectionPointContainer& container, EventSource& events, const OwnThread& own)
      : ComClass(container), container_(container), events_(events), own_(own) {}

  std::array<Answer, 2> Interfaces() {
    return {{{&IID_IUnknown, this}, {&IID_IConnectionPoint, this}}};
  }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE
  GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

 private:
  IConnectionPointContainer& container_;  // the object this point is part of
  EventSource& events_;                   // the object's
  const OwnThread& own_;                  // the object's
  // The sinks connected here, in the order of connection, as EnumConnections
  // lists them.
  std::vector<ConnectionItems::Held> connections_;
};

}  // namespace vorlen::com
