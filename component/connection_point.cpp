#include "component/connection_point.h"

#include <memory>
#include <vector>

#include "VorlenCOM.h"
#include "component/boundary.h"
#include "component/dispatch_sink.h"
#include "component/enumerator.h"

namespace vorlen::com {

HRESULT ConnectionPoint::Create(IConnectionPointContainer* container, EventSource& events,
                                IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  return AtBoundary([&] {
    *point = NewObject<ConnectionPoint>(ComPtr<IConnectionPointContainer>(container), events);
    if (*point == nullptr) throw std::bad_alloc();
  });
}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = DIID___Vorlen;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = ComPtr<IConnectionPointContainer>(container_).detach();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  // A sink answers for the event interface itself; a plain IDispatch that
  // does not name it (some scripting hosts' sinks) is accepted too.
  ComPtr<IDispatch> dispatch;
  if (FAILED(sink->QueryInterface(DIID___Vorlen, dispatch.put_void())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void()))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  return AtBoundary(
      [&] { *cookie = events_.Connect(std::make_shared<DispatchSink>(std::move(dispatch))); });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  return events_.Disconnect(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  return AtBoundary([&] {
    std::vector<ConnectionItems::Held> items;
    for (const auto& [cookie, sink] : events_.Connections()) {
      if (const auto* com = dynamic_cast<const DispatchSink*>(sink.get())) {
        items.push_back({ComPtr<IUnknown>(com->sink()), cookie});
      }
    }
    const HRESULT hr = ConnectionEnumerator::Create(std::move(items), connections);
    if (FAILED(hr)) throw std::bad_alloc();
  });
}

}  // namespace vorlen::com
