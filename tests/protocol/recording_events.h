#pragma once
// Status events recorded in order, for comparing and asserting on them.
#include <ostream>
#include <string>
#include <vector>

#include "channel/status_protocol.h"

namespace vorlen::testing {

struct Recorded {
  enum class Kind { Message, Alert } kind;
  Text a, b, c;  // Message: type, location, text. Alert: prompt.
  AlertStyle style = AlertStyle::Plain;
  bool operator==(const Recorded&) const = default;
};

Recorded MessageEvent(Text type, Text location, Text msg);
Recorded AlertEvent(Text prompt, AlertStyle style);

class RecordingEvents : public StatusEvents {
 public:
  void Message(TextView msgType, TextView msgLocation, TextView msg) override;
  void Alert(const Text& prompt, AlertStyle style) override;

  std::vector<Recorded> log;
};

// Readable form with control characters escaped, for failure messages.
std::string Show(TextView text);
std::string Show(const Recorded& event);
inline void PrintTo(const Recorded& event, std::ostream* out) {
  *out << Show(event);
}

}  // namespace vorlen::testing
