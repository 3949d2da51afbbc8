#include "component/connection_point.h"

#include <algorithm>
#include <memory>

#include "VorlenCOM.h"
#include "component/dispatch_sink.h"

namespace vorlen::com {
namespace {

// The sink's interface for `iid`, or null. An answer of S_OK with a null
// pointer counts as none, since every event would be called through it; the
// pointer of a failed answer is not trusted (COM has it null) and not released.
ComPtr<IDispatch> SinkInterface(IUnknown& sink, REFIID iid) {
  void* face = nullptr;
  if (FAILED(sink.QueryInterface(iid, &face))) return nullptr;
  return ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(face));
}

}  // namespace

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = IID_NULL;
  return own_.Enter([&] { *iid = DIID___Vorlen; });
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = nullptr;
  return own_.Enter([&] { *container = ComPtr<IConnectionPointContainer>(&container_).detach(); });
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;  // no connection, unless one is made
  if (sink == nullptr) return E_POINTER;
  return own_.Enter([&] {
    // A sink answers for the event interface itself; a plain IDispatch that
    // does not name it (some scripting hosts' sinks) is accepted too. One
    // that gives neither "does not support the interface required", which
    // Advise reports as CONNECT_E_CANNOTCONNECT.
    ComPtr<IDispatch> dispatch = SinkInterface(*sink, DIID___Vorlen);
    if (!dispatch) dispatch = SinkInterface(*sink, IID_IDispatch);
    if (!dispatch) return CONNECT_E_CANNOTCONNECT;
    // Room first: once the event source holds the sink, nothing may fail.
    connections_.reserve(connections_.size() + 1);
    ComPtr<IUnknown> held(dispatch.get());
    const EventSource::Cookie connected =
        events_.Connect(std::make_shared<DispatchSink>(std::move(dispatch)));
    connections_.push_back({std::move(held), connected});
    *cookie = connected;
    return S_OK;
  });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  return own_.Enter([&] {
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [cookie](const auto& held) { return held.cookie == cookie; });
    if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
    events_.Disconnect(cookie);
    // The sink is released last: that may run client code.
    ComPtr<IUnknown> gone = std::move(it->sink);
    connections_.erase(it);
    return S_OK;
  });
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  return own_.Enter([&] {
    if (FAILED(ConnectionEnumerator::Create(connections_, connections))) throw std::bad_alloc();
  });
}

}  // namespace vorlen::com
