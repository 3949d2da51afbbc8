#include "channel/runner.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

namespace vorlen {
namespace {

constexpr std::uint32_t kReadSize = 256;
// An empty pipe is polled again after a wait. For the first tens of
// milliseconds of a run, while a quick converter starts and often already
// ends, the wait is one millisecond, so that its lines are seen at once.
// After that, and after any output, the wait starts at one millisecond and
// doubles up to kLongestIdleWait while the converter stays silent. Window
// messages end any wait at once. Polling every millisecond throughout costs
// a silent run a few percent of a core.
constexpr auto kQuickStart = std::chrono::milliseconds(50);
constexpr std::uint32_t kLongestIdleWait = 8;

class IdleSchedule {
 public:
  std::uint32_t Next() {
    const std::uint32_t wait = wait_;
    if (!quick_ || std::chrono::steady_clock::now() - start_ >= kQuickStart) {
      quick_ = false;
      wait_ = std::min(wait_ * 2, kLongestIdleWait);
    }
    return wait;
  }
  void Output() {
    quick_ = false;
    wait_ = 1;
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  bool quick_ = true;
  std::uint32_t wait_ = 1;
};

bool Known(const Text& fin) {
  return fin == u"success" || fin == u"failure";
}

}  // namespace

Text RunConverter(Platform& platform, StatusEvents& events, const Text& commandLine) {
  OwnedHandle outputRead(platform), outputWrite(platform);
  OwnedHandle inputRead(platform), inputWrite(platform);

  RawHandle r = 0, w = 0;
  if (!platform.CreatePipe(r, w)) {
    platform.Alert(u"Could not create pipe!", AlertStyle::Critical);
    return Text();
  }
  outputRead.adopt(r);
  outputWrite.adopt(w);
  // The runner's own ends stay out of the converter: a converter holding the
  // read end of its own output would never see a broken pipe, and one holding
  // the write end of its input would never see the end of it.
  platform.MakePrivate(outputRead.get());

  if (!platform.CreatePipe(r, w)) {
    outputRead.reset();
    outputWrite.reset();
    platform.Alert(u"Could not create pipe for vorlen!", AlertStyle::Critical);
    return Text();
  }
  inputRead.adopt(r);
  inputWrite.adopt(w);
  platform.MakePrivate(inputWrite.get());

  StartedProcess started;
  Text asHanded;
  if (!platform.Start(commandLine, inputRead.get(), outputWrite.get(), started, asHanded)) {
    outputRead.reset();
    outputWrite.reset();
    inputRead.reset();
    inputWrite.reset();
    platform.Alert(u"Could not start the vorlen.exe program: " + asHanded, AlertStyle::Critical);
    return Text();
  }
  OwnedProcess process(platform);
  process.adopt(started);
  outputWrite.reset();
  inputRead.reset();
  inputWrite.reset();
  process.reset();

  // From here on only the output pipe's read end is held; OwnedHandle closes
  // it also when the protocol throws.
  StatusStream stream(events);
  std::string pending;  // bytes read but not yet decoded: a split character
  char buffer[kReadSize];
  bool lastResult = true;
  IdleSchedule idle;
  do {
    std::uint32_t available = 0;
    if (!platform.Peek(outputRead.get(), available)) {
      platform.Alert(u"retV = 0", AlertStyle::Plain);
      break;
    }
    if (available > 0) {
      idle.Output();
      std::uint32_t bytesRead = 0;
      lastResult = platform.Read(outputRead.get(), buffer, kReadSize, bytesRead);
      pending.append(buffer, bytesRead);
      stream.Feed(platform.Decode(pending));
      // Looked at only now, after every line of this cycle's data.
      const Text& fin = stream.finValue();
      if (Known(fin)) break;
      if (!fin.empty()) {
        outputRead.reset();
        platform.Alert(u"unknown Fin value!", AlertStyle::Critical);
        return Text();
      }
    } else {
      platform.IdleWait(outputRead.get(), idle.Next());
    }
    platform.PumpMessages();
  } while (stream.finValue().empty() && lastResult);

  outputRead.reset();
  return stream.finValue();
}

}  // namespace vorlen
