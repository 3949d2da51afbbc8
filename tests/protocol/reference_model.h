#pragma once
// A literal model of the status protocol, for tests only: the four procedures
// of the object written out step by step with the text operations of the
// original language (positions from 1, a negative count raises error 5), plus
// the runner's use of them for one read. Quadratic on long lines, and meant to
// be obviously right rather than fast.
#include <cstdint>

#include "channel/status_protocol.h"
#include "channel/text.h"

namespace vorlen::reference {

// Text operations: positions count from 1; a negative count raises
// VorlenError(5), as the original string functions do.
Text Left(const Text& text, long count);
Text Right(const Text& text, long count);
Text Mid(const Text& text, long start, long count);
long InStr(const Text& text, const Text& wanted);  // 0 when absent
long Len(const Text& text);

// The four private procedures, raising through the given events.
class Procedures {
 public:
  explicit Procedures(StatusEvents& events) : events_(events) {}

  std::int16_t HasLineBreak(Text text);
  Text ProcessOutput(Text text, Text& finValue);
  void ProcessLine(Text line, Text& finValue);
  void ReportMessage(const Text& body);

 private:
  StatusEvents& events_;
};

// The runner's state of one run and what it does with one read.
struct Runner {
  explicit Runner(StatusEvents& events) : procedures(events) {}

  // data = partial line + chunk; cut its complete lines, keep the rest.
  void Read(const Text& chunk);

  Procedures procedures;
  Text partialLine;
  Text finValue;
};

}  // namespace vorlen::reference
