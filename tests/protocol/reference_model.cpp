#include "tests/protocol/reference_model.h"

#include "channel/error.h"

namespace vorlen::reference {
namespace {

const Text kCrLf = u"\r\n";

}  // namespace

long Len(const Text& text) {
  return static_cast<long>(text.size());
}

Text Left(const Text& text, long count) {
  if (count < 0) throw VorlenError(kInvalidArgumentError);
  return count >= Len(text) ? text : text.substr(0, static_cast<size_t>(count));
}

Text Right(const Text& text, long count) {
  if (count < 0) throw VorlenError(kInvalidArgumentError);
  return count >= Len(text) ? text : text.substr(static_cast<size_t>(Len(text) - count));
}

Text Mid(const Text& text, long start, long count) {
  if (start < 1 || count < 0) throw VorlenError(kInvalidArgumentError);
  if (start > Len(text)) return Text();
  return text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
}

long InStr(const Text& text, const Text& wanted) {
  for (long i = 1; i + Len(wanted) - 1 <= Len(text); ++i) {
    if (Mid(text, i, Len(wanted)) == wanted) return i;
  }
  return 0;
}

std::int16_t Procedures::HasLineBreak(Text text) {
  for (long i = Len(text); i >= 1; --i) {
    if (Mid(text, i, 2) == kCrLf) return -1;
  }
  return 0;
}

Text Procedures::ProcessOutput(Text text, Text& finValue) {
  Text rest = text;
  for (;;) {
    const long p = InStr(rest, kCrLf);
    if (p == 0) break;
    const Text line = Left(rest, p + 1);
    ProcessLine(line, finValue);
    rest = Right(rest, Len(rest) - p - 1);
  }
  if (Right(text, 2) == kCrLf) return Text();
  for (long i = Len(text); i >= 1; --i) {
    if (Mid(text, i, 2) == kCrLf) return Right(text, Len(text) - i - 1);
  }
  return text;  // not reached: only called for a text that holds CR LF
}

void Procedures::ProcessLine(Text line, Text& finValue) {
  const Text prefix = Left(line, 4);
  const Text payload = Mid(line, 5, Len(line) - 6);
  if (prefix == u"msg|") {
    ReportMessage(payload);
  } else if (prefix == u"fin|") {
    finValue = payload;
  }
}

void Procedures::ReportMessage(const Text& body) {
  const Text type = Left(body, 3);
  const Text rest = Right(body, Len(body) - 4);
  const long p = InStr(rest, u"|");
  if (p == 0) {
    events_.Alert(u"Incorrect Error Format From Vorlen", AlertStyle::Critical);
    return;
  }
  const Text location = Left(rest, p - 1);
  const Text msg = Right(rest, Len(rest) - p);
  events_.Message(type, location, msg);
}

void Runner::Read(const Text& chunk) {
  const Text data = partialLine + chunk;
  if (procedures.HasLineBreak(data) != 0) {
    partialLine = procedures.ProcessOutput(data, finValue);
  } else {
    partialLine = data;
  }
}

}  // namespace vorlen::reference
