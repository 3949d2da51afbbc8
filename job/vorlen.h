#pragma once
// One Vorlen object: its settings, its event source, and Convert.
#include <cstdint>

#include "channel/text.h"
#include "job/event_source.h"
#include "job/settings.h"

namespace vorlen {

class Platform;
struct ConverterCommand;

class Vorlen {
 public:
  Vorlen();                             // runs converters through the system's platform
  explicit Vorlen(Platform& platform);  // for tests that substitute the platform

  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  EventSource& events() { return events_; }

  // Runs one conversion: 1 when the converter reported "success", 0 otherwise.
  // Throws VorlenError(5) when a value holds a NUL character (nothing is
  // started then) and when the converter's output breaks the line format.
  std::int32_t Convert(const Text& xmlPath, const Text& pdfPath = Text());

 private:
  Text RunConverter(const ConverterCommand& command);

  Platform& platform_;
  Settings settings_;
  EventSource events_;
};

}  // namespace vorlen
