#include "job/event_source.h"

#include <algorithm>
#include <stdexcept>

namespace vorlen {

EventSource::Cookie EventSource::Connect(std::shared_ptr<MessageSink> sink) {
  if (!sink) return 0;
  // A cookie that a client still holds must never name another sink, so the
  // counter is not allowed to wrap around.
  if (nextCookie_ == 0) throw std::length_error("event source: cookies exhausted");
  const Cookie cookie = nextCookie_++;
  sinks_.emplace_back(cookie, std::move(sink));
  return cookie;
}

bool EventSource::Disconnect(Cookie cookie) {
  const auto it = std::find_if(sinks_.begin(), sinks_.end(),
                               [cookie](const auto& entry) { return entry.first == cookie; });
  if (it == sinks_.end()) return false;
  sinks_.erase(it);
  return true;
}

std::vector<std::pair<EventSource::Cookie, std::shared_ptr<MessageSink>>> EventSource::Connections()
    const {
  return sinks_;
}

bool EventSource::IsConnected(Cookie cookie) const {
  return std::any_of(sinks_.begin(), sinks_.end(),
                     [cookie](const auto& entry) { return entry.first == cookie; });
}

void EventSource::RaiseMessage(TextView msgType, TextView msgLocation, TextView msg) {
  if (sinks_.empty()) return;
  // The snapshot holds a reference on every sink, so a sink that is
  // disconnected (and released by everybody else) during its own call stays
  // alive until the call returns.
  const auto snapshot = sinks_;
  for (const auto& [cookie, sink] : snapshot) {
    if (!IsConnected(cookie)) continue;
    sink->Receive(msgType, msgLocation, msg);
  }
}

}  // namespace vorlen
