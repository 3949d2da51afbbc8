#pragma once
// The event source that every Vorlen object owns: it keeps the connected sinks
// and raises Message on each of them synchronously, on the caller's thread.
//
// Delivery rules, for sinks that change the connections while Message is
// being delivered (a sink runs client code, which may do anything):
// - A raise walks the connections as they stood when it began, in the order
//   of connection. Each sink is kept alive for the length of its own call,
//   even when it is disconnected meanwhile.
// - A sink disconnected during a raise, before its turn, is skipped by that
//   raise; a sink that disconnects itself finishes its call normally.
// - A sink connected during a raise receives only later raises.
// - A raise started from inside a sink (a nested conversion, say) is a raise
//   of its own with the same rules; the outer raise then goes on with the
//   sinks still connected.
// - A sink that throws ends the raise: the exception propagates to the raiser
//   and the later sinks are not called. COM sinks are reached through the
//   component's connection point, which decides what their failures mean.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "channel/text.h"

namespace vorlen {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // One raise of Message, with the raiser's three texts, readable for the
  // length of the call; a sink that keeps them copies them.
  virtual void Receive(TextView msgType, TextView msgLocation, TextView msg) = 0;
};

class EventSource {
 public:
  using Cookie = std::uint32_t;  // never handed out twice by one source

  // Returns the new connection's cookie; a null sink is not connected and gets 0.
  Cookie Connect(std::shared_ptr<MessageSink> sink);
  bool Disconnect(Cookie cookie);  // false for an unknown cookie
  std::vector<std::pair<Cookie, std::shared_ptr<MessageSink>>> Connections() const;

  // Hands the three texts to every connected sink (MessageSink::Receive). With
  // no sink connected it does nothing.
  void RaiseMessage(TextView msgType, TextView msgLocation, TextView msg);

 private:
  bool IsConnected(Cookie cookie) const;

  std::vector<std::pair<Cookie, std::shared_ptr<MessageSink>>> sinks_;
  Cookie nextCookie_ = 1;
};

}  // namespace vorlen
