#include "tests/protocol/recording_events.h"

#include <cstdio>

namespace vorlen::testing {

Recorded MessageEvent(Text type, Text location, Text msg) {
  return Recorded{Recorded::Kind::Message, std::move(type), std::move(location), std::move(msg)};
}

Recorded AlertEvent(Text prompt, AlertStyle style) {
  return Recorded{Recorded::Kind::Alert, std::move(prompt), Text(), Text(), style};
}

void RecordingEvents::Message(TextView msgType, TextView msgLocation, TextView msg) {
  log.push_back(MessageEvent(Text(msgType), Text(msgLocation), Text(msg)));
}

void RecordingEvents::Alert(const Text& prompt, AlertStyle style) {
  log.push_back(AlertEvent(prompt, style));
}

std::string Show(TextView text) {
  std::string out = "\"";
  for (const char16_t c : text) {
    if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[12];
      std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
      out += hex;
    }
  }
  return out + "\"";
}

std::string Show(const Recorded& event) {
  if (event.kind == Recorded::Kind::Alert) {
    return "Alert(" + Show(event.a) + ", " + std::to_string(static_cast<unsigned>(event.style)) +
           ")";
  }
  return "Message(" + Show(event.a) + ", " + Show(event.b) + ", " + Show(event.c) + ")";
}

}  // namespace vorlen::testing
