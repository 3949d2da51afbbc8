#include "tests/protocol/differential.h"

#include <optional>

#include "channel/error.h"
#include "channel/status_protocol.h"
#include "tests/protocol/recording_events.h"
#include "tests/protocol/reference_model.h"

namespace vorlen::testing {
namespace {

// Runs one read; returns the error number when the read raised one.
template <typename F>
std::optional<int> Catching(F&& read) {
  try {
    read();
  } catch (const VorlenError& error) {
    return error.number();
  }
  return std::nullopt;
}

std::string ShowError(const std::optional<int>& error) {
  return error ? "error " + std::to_string(*error) : "no error";
}

}  // namespace

std::string CompareRuns(const std::vector<Text>& chunks) {
  RecordingEvents streamEvents, modelEvents;
  StatusStream stream(streamEvents);
  reference::Runner model(modelEvents);
  std::size_t compared = 0;

  for (std::size_t read = 0; read < chunks.size(); ++read) {
    const auto streamError = Catching([&] { stream.Feed(chunks[read]); });
    const auto modelError = Catching([&] { model.Read(chunks[read]); });
    const auto where = [&] {
      return "read " + std::to_string(read) + " " + Show(chunks[read]) + ": ";
    };

    if (streamEvents.log.size() != modelEvents.log.size()) {
      return where() + std::to_string(streamEvents.log.size()) + " events from the stream, " +
             std::to_string(modelEvents.log.size()) + " from the model";
    }
    for (; compared < streamEvents.log.size(); ++compared) {
      if (!(streamEvents.log[compared] == modelEvents.log[compared])) {
        return where() + "event " + std::to_string(compared) + ": stream " +
               Show(streamEvents.log[compared]) + ", model " + Show(modelEvents.log[compared]);
      }
    }
    if (streamError != modelError) {
      return where() + "stream " + ShowError(streamError) + ", model " + ShowError(modelError);
    }
    if (stream.finValue() != model.finValue) {
      return where() + "fin value: stream " + Show(stream.finValue()) + ", model " +
             Show(model.finValue);
    }
    if (streamError) return std::string();  // the run ends with the error
    if (stream.partialLine() != model.partialLine) {
      return where() + "partial line: stream " + Show(stream.partialLine()) + ", model " +
             Show(model.partialLine);
    }
  }
  return std::string();
}

}  // namespace vorlen::testing
