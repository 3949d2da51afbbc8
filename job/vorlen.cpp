#include "job/vorlen.h"

#include "channel/platform.h"
#include "channel/runner.h"
#include "channel/status_protocol.h"
#include "job/command_line.h"

namespace vorlen {
namespace {

// A converter that writes thousands of malformed lines would otherwise hold
// the caller in as many modal boxes: a run shows the first few, and the rest
// go only where alerts leave the process as data.
constexpr int kBoxesPerRun = 3;
// And only so many of the rest: debug output (where alerts go in session 0)
// and standard error would otherwise take every one of millions, each a
// write that the whole session can read. One line says that more were left.
constexpr int kLoggedPerRun = 100;
constexpr char16_t kMoreNotLogged[] = u"(further alerts of this conversion are not logged)";

// Where one run's status lines go: Message events to the object's event
// source, the protocol's alerts to the platform.
class RunEvents final : public StatusEvents {
 public:
  RunEvents(EventSource& source, Platform& platform) : source_(source), platform_(platform) {}
  void Message(TextView msgType, TextView msgLocation, TextView msg) override {
    source_.RaiseMessage(msgType, msgLocation, msg);
  }
  void Alert(const Text& prompt, AlertStyle style) override {
    if (boxes_ < kBoxesPerRun) {
      ++boxes_;
      platform_.Alert(prompt, style);
    } else if (logged_ < kLoggedPerRun) {
      ++logged_;
      platform_.Log(prompt);
    } else if (logged_ == kLoggedPerRun) {
      ++logged_;
      platform_.Log(kMoreNotLogged);
    }
  }

 private:
  EventSource& source_;
  Platform& platform_;
  int boxes_ = 0;
  int logged_ = 0;
};

}  // namespace

Vorlen::Vorlen() : Vorlen(SystemPlatform()) {}
Vorlen::Vorlen(Platform& platform) : platform_(platform) {}

std::int32_t Vorlen::Convert(const Text& xmlPath, const Text& pdfPath) {
  std::int32_t result = 0;
  CheckForNul(settings_, xmlPath, pdfPath);  // before any pipe exists
  // Complete before the run starts: setters called from an event handler
  // affect only later conversions.
  const Text fin = RunConverter(BuildCommand(settings_, xmlPath, pdfPath));
  if (fin == u"success") result = 1;
  return result;
}

Text Vorlen::RunConverter(const ConverterCommand& command) {
  RunEvents events(events_, platform_);
  return vorlen::RunConverter(platform_, events, command);
}

}  // namespace vorlen
