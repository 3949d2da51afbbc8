// Reads what the converter printed (as UTF-8) through the component's own
// status protocol, in small chunks as a pipe might cut it, and lists the
// events. Exits 0 only when no line gave an alert or an error and the fin
// value is the expected one.
//   converter_protocol_check OUTPUT_FILE EXPECTED_FIN
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "channel/error.h"
#include "channel/status_protocol.h"

namespace {

class Listing : public vorlen::StatusEvents {
 public:
  void Message(vorlen::TextView type, vorlen::TextView location, vorlen::TextView msg) override {
    std::cout << "event: " << vorlen::ToUtf8(type) << " / " << vorlen::ToUtf8(location) << " / "
              << vorlen::ToUtf8(msg) << "\n";
  }
  void Alert(const vorlen::Text& prompt, vorlen::AlertStyle) override {
    std::cout << "alert: " << vorlen::ToUtf8(prompt) << "\n";
    alerts++;
  }
  int alerts = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::ifstream file(argv[1], std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  vorlen::Text text = vorlen::FromUtf8(bytes);
  Listing events;
  vorlen::StatusStream stream(events);
  try {
    for (size_t at = 0; at < text.size() && stream.finValue().empty(); at += 5)
      stream.Feed(vorlen::TextView(text).substr(at, 5));
  } catch (const vorlen::VorlenError& error) {
    std::cout << "error " << error.number() << "\n";
    return 1;
  }
  std::cout << "fin: " << vorlen::ToUtf8(stream.finValue()) << "\n";
  return events.alerts == 0 && vorlen::ToUtf8(stream.finValue()) == argv[2] ? 0 : 1;
}
