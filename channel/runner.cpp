#include "channel/runner.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace vorlen {
namespace {

constexpr std::uint32_t kReadSize = 256;
// An empty pipe is peeked again after a wait; window messages end any wait at
// once.
// Where the wait also ends when output arrives or ends (every route but the
// timed one), its time is only a safety net: Wine 8 at times leaves the pending
// read unfinished when the converter ends without writing more, and the next
// peek then finds the broken pipe. The net is a tenth of the time the converter
// has been silent, 32 ms to 1 s, so a silent converter costs about one wake-up
// a second.
// On the timed route the wait is one millisecond for the first 50 ms of a run,
// while a quick converter starts and often already ends, so that its lines are
// seen at once. After that it is a tenth of the silence so far, 1 to 32 ms:
// output is seen within about a tenth of the time the converter took to write
// it, and a converter that stays silent costs a few dozen wake-ups a second.
using IdleClock = std::chrono::steady_clock;
constexpr auto kQuickStart = std::chrono::milliseconds(50);
struct WaitBounds {
  std::int64_t shortest, longest;
};
constexpr WaitBounds kTimedWait{1, 32};
constexpr WaitBounds kSafetyNet{32, 1000};

class IdleSchedule {
 public:
  explicit IdleSchedule(WaitRoute route) : woken_(route != WaitRoute::Timed) {}
  std::uint32_t Next() {
    const IdleClock::time_point now = IdleClock::now();
    if (output_) {
      // The output came after the previous wait: near enough to now.
      output_ = false;
      silentSince_ = now;
    }
    const WaitBounds bounds = woken_ ? kSafetyNet : kTimedWait;
    if (!woken_ && now - start_ < kQuickStart) return 1;
    const auto silence =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - silentSince_).count();
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(silence / 10, bounds.shortest, bounds.longest));
  }
  void Output() { output_ = true; }

 private:
  bool woken_;
  IdleClock::time_point start_ = IdleClock::now();
  IdleClock::time_point silentSince_ = start_;
  bool output_ = false;
};

bool Known(const Text& fin) {
  return fin == u"success" || fin == u"failure";
}

// How a start ended.
enum class StartResult { Started, NoOutputPipe, NoInputPipe, NotStarted };

// Creates both pipes and starts the converter; only a start hands back a
// handle, the output pipe's read end in `outputRead`. Everything else the
// start made closes as it returns, the child's ends among it: from the first
// pipe to then, the run holds the platform's start turn.
StartResult StartConverter(Platform& platform, const ConverterCommand& command,
                           OwnedHandle& outputRead, Text& asHanded) {
  const auto turn = platform.StartTurn();
  // The runner's own ends never reach the converter (the platform hands a
  // child only the two ends that Start names): a converter holding the read
  // end of its own output would never see a broken pipe, and one holding the
  // write end of its input would never see the end of it.
  Pipe output = platform.CreatePipe(PipeDirection::FromChild);
  if (!output) return StartResult::NoOutputPipe;
  Pipe input = platform.CreatePipe(PipeDirection::ToChild);
  if (!input) return StartResult::NoInputPipe;
  if (!platform.Start(command.program, command.line, input.read->handle, output.write->handle,
                      asHanded)) {
    return StartResult::NotStarted;
  }
  outputRead = std::move(output.read);
  return StartResult::Started;
}

// How reading a converter's output ended.
enum class ReadResult { KnownFin, UnknownFin, BrokenPipe, ReadFailed };

// Feeds what the converter writes to `stream` until a fin value arrives or the
// output ends. The read end closes as this returns, before any alert.
ReadResult ReadOutput(Platform& platform, StatusStream& stream, const OwnedHandle outputRead) {
  const RawHandle handle = outputRead->handle;
  std::string pending;  // bytes read but not yet decoded: a split character
  char buffer[kReadSize];
  bool lastResult = true;
  IdleSchedule idle(platform.OutputWaitRoute(handle));
  do {
    std::uint32_t available = 0;
    if (!platform.Peek(handle, available)) return ReadResult::BrokenPipe;
    if (available > 0) {
      idle.Output();
      std::uint32_t bytesRead = 0;
      lastResult = platform.Read(handle, buffer, kReadSize, bytesRead);
      pending.append(buffer, bytesRead);
      stream.Feed(platform.Decode(pending));
      // Looked at only now, after every line of this cycle's data.
      const Text& fin = stream.finValue();
      if (Known(fin)) return ReadResult::KnownFin;
      if (!fin.empty()) return ReadResult::UnknownFin;
    } else {
      platform.IdleWait(handle, idle.Next());
    }
    platform.PumpMessages();
  } while (lastResult);
  return ReadResult::ReadFailed;
}

}  // namespace

Text RunConverter(Platform& platform, StatusEvents& events, const ConverterCommand& command) {
  // Alerts come after the start's turn is over: a box lets the thread's
  // messages, and so a nested run, through.
  OwnedHandle outputRead;
  Text asHanded;
  switch (StartConverter(platform, command, outputRead, asHanded)) {
    case StartResult::NoOutputPipe:
      platform.Alert(u"Could not create pipe!", AlertStyle::Critical);
      return Text();
    case StartResult::NoInputPipe:
      platform.Alert(u"Could not create pipe for vorlen!", AlertStyle::Critical);
      return Text();
    case StartResult::NotStarted:
      platform.Alert(Shortened(kStartFailurePrompt + asHanded), AlertStyle::Critical,
                     Shortened(kStartFailurePrompt + command.masked));
      return Text();
    case StartResult::Started:
      break;
  }

  StatusStream stream(events);
  switch (ReadOutput(platform, stream, std::move(outputRead))) {
    case ReadResult::KnownFin:
      return stream.finValue();
    case ReadResult::UnknownFin:
      platform.Alert(u"unknown Fin value!", AlertStyle::Critical);
      break;
    case ReadResult::BrokenPipe:
      platform.Alert(u"retV = 0", AlertStyle::Plain);
      break;
    case ReadResult::ReadFailed:
      break;
  }
  return Text();
}

}  // namespace vorlen
