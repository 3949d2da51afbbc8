#pragma once
// The converter's status protocol: decoded output is cut into status lines,
// each ended by CR LF. "msg|" lines become Message events, "fin|" lines set the
// fin value, every other line is ignored.
//
// Input is text that the runner has already decoded from the converter's
// bytes (ANSI code page to UTF-16). A multi-byte character split between two
// pipe reads is the runner's to carry: it decodes only complete characters and
// keeps an incomplete tail for the next read, so a chunk fed here never ends
// or starts in the middle of a character. Characters of value zero are
// ordinary characters and are kept.
#include <cstddef>
#include <memory>

#include "channel/alert.h"
#include "channel/text.h"

namespace vorlen {

// Where the protocol reports what the lines mean.
class StatusEvents {
 public:
  virtual ~StatusEvents() = default;
  // One diagnostic line: three texts, raised synchronously. They are views
  // into the stream's own buffer, valid for the length of the call, so that a
  // long line is not copied on its way to the sinks.
  virtual void Message(TextView msgType, TextView msgLocation, TextView msg) = 0;
  // A malformed message line ("Incorrect Error Format From Vorlen", style 16).
  virtual void Alert(const Text& prompt, AlertStyle style) = 0;
};

// The prompt of the alert for a message body without its location bar.
inline constexpr char16_t kIncorrectErrorFormat[] = u"Incorrect Error Format From Vorlen";

// The protocol state of one run: the partial line and the fin value.
// Feeding costs time in proportion to the chunk, however long the partial
// line has grown: only the new characters (and one carried CR) are scanned,
// the buffer grows amortized, and handled lines are dropped by moving an
// offset, with an occasional compaction.
//
// One stream serves one run. Feed is not re-entrant on the same stream: an
// event handler that starts a nested run gets a stream of its own.
class StatusStream {
 public:
  explicit StatusStream(StatusEvents& events);

  // Appends one decoded chunk and handles every status line it completes, in
  // order, also after a fin line (a later fin line replaces the fin value,
  // also with an empty payload).
  // Throws VorlenError(5) at a line too short for the format (under six
  // characters with its CR LF, or a message body under four characters),
  // after the events of the lines before it; the lines behind it are not
  // handled, and the stream is spent: the run ends with the error.
  // An exception thrown by an event handler propagates the same way.
  void Feed(TextView chunk);

  // The payload of the last fin line handled so far; empty until one arrives.
  const Text& finValue() const;
  // The text after the last CR LF fed so far.
  TextView partialLine() const;

 private:
  // Contiguous characters that grow by reallocation: a long partial line is
  // then usually extended in place (or its pages moved) rather than copied
  // into fresh memory at every doubling.
  class Buffer {
   public:
    void Append(TextView text);
    void DropFront(std::size_t count);
    void Clear() { size_ = 0; }
    std::size_t size() const { return size_; }
    TextView view() const { return TextView(data_.get(), size_); }

   private:
    struct Free {
      void operator()(char16_t* data) const;
    };
    std::unique_ptr<char16_t[], Free> data_;
    std::size_t size_ = 0, capacity_ = 0;
  };

  void HandleLine(TextView line);
  void HandleMessage(TextView body);

  StatusEvents& events_;
  Buffer buffer_;          // unprocessed output: the partial line and the new chunk
  std::size_t start_ = 0;  // where the partial line begins in buffer_
  Text finValue_;
  bool feeding_ = false;
};

}  // namespace vorlen
