#include "channel/status_protocol.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "channel/error.h"

namespace vorlen {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr TextView kMessagePrefix = u"msg|";
constexpr TextView kFinPrefix = u"fin|";
// Prefix of four characters plus CR LF: the shortest well-formed line.
constexpr std::size_t kShortestLine = 6;
// Type of three characters plus the separator.
constexpr std::size_t kShortestBody = 4;
// Handled lines stay in the buffer until they outweigh what is left and at
// least this many characters; moving the rest down then costs no more than
// the lines already paid for.
constexpr std::size_t kCompactAfter = 4096;

}  // namespace

static_assert(std::is_trivially_copyable_v<char16_t>);

void StatusStream::Buffer::Free::operator()(char16_t* data) const {
  std::free(data);
}

void StatusStream::Buffer::Append(TextView text) {
  if (text.size() > capacity_ - size_) {
    // A chunk taken from this very buffer (the partial line fed back, say)
    // must survive the reallocation.
    const std::less<const char16_t*> before;
    if (data_ && !before(text.data(), data_.get()) && before(text.data(), data_.get() + size_)) {
      const Text copy(text);
      Append(copy);
      return;
    }
    constexpr std::size_t kMost = std::size_t(-1) / 2 / sizeof(char16_t);
    if (text.size() > kMost - size_) throw std::bad_alloc();
    const std::size_t wanted =
        std::min(std::max({size_ + text.size(), 2 * capacity_, std::size_t{256}}), kMost);
    // realloc may extend the block in place or remap its pages, which keeps
    // one long line from being copied again at every doubling.
    void* grown = std::realloc(data_.get(), wanted * sizeof(char16_t));
    if (!grown) throw std::bad_alloc();
    data_.release();
    data_.reset(static_cast<char16_t*>(grown));
    capacity_ = wanted;
  }
  std::memcpy(data_.get() + size_, text.data(), text.size() * sizeof(char16_t));
  size_ += text.size();
}

void StatusStream::Buffer::DropFront(std::size_t count) {
  std::memmove(data_.get(), data_.get() + count, (size_ - count) * sizeof(char16_t));
  size_ -= count;
}

StatusStream::StatusStream(StatusEvents& events) : events_(events) {}

const Text& StatusStream::finValue() const {
  return finValue_;
}

TextView StatusStream::partialLine() const {
  return buffer_.view().substr(start_);
}

void StatusStream::Feed(TextView chunk) {
  if (feeding_) throw std::logic_error("StatusStream::Feed called from its own event");
  struct Guard {
    bool& flag;
    explicit Guard(bool& f) : flag(f) { flag = true; }
    ~Guard() { flag = false; }
  } guard(feeding_);

  if (chunk.empty()) return;
  const std::size_t oldSize = buffer_.size();
  buffer_.Append(chunk);
  const TextView data = buffer_.view();

  // The partial line holds no CR LF; only its last character may be the CR of
  // a pair that the new chunk completes.
  std::size_t scan = oldSize > start_ ? oldSize - 1 : start_;
  for (;;) {
    const std::size_t cr = data.find(kCr, scan);
    if (cr == TextView::npos || cr + 1 >= data.size()) break;
    if (data[cr + 1] != kLf) {
      scan = cr + 1;
      continue;
    }
    const std::size_t lineStart = start_;
    // Consume before handling: an error at this line leaves a consistent
    // (if spent) stream behind.
    start_ = cr + 2;
    scan = start_;
    HandleLine(data.substr(lineStart, cr + 2 - lineStart));
  }

  if (start_ == buffer_.size()) {
    buffer_.Clear();
    start_ = 0;
  } else if (start_ >= kCompactAfter && start_ >= buffer_.size() - start_) {
    buffer_.DropFront(start_);
    start_ = 0;
  }
}

void StatusStream::HandleLine(TextView line) {
  if (line.size() < kShortestLine) throw VorlenError(kInvalidArgumentError);
  const TextView prefix = line.substr(0, 4);
  const TextView payload = line.substr(4, line.size() - kShortestLine);
  if (prefix == kMessagePrefix) {
    HandleMessage(payload);
  } else if (prefix == kFinPrefix) {
    finValue_.assign(payload);
  }
}

void StatusStream::HandleMessage(TextView body) {
  if (body.size() < kShortestBody) throw VorlenError(kInvalidArgumentError);
  // The fourth character separates type and location; it is not examined.
  const TextView rest = body.substr(kShortestBody);
  const std::size_t bar = rest.find(u'|');
  if (bar == TextView::npos) {
    events_.Alert(Text(kIncorrectErrorFormat), AlertStyle::Critical);
    return;
  }
  // Feed is not re-entrant, so the buffer stays as it is while the event runs.
  events_.Message(body.substr(0, 3), rest.substr(0, bar), rest.substr(bar + 1));
}

}  // namespace vorlen
