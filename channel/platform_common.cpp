// What both platform implementations share: the rule for an incomplete UTF-8
// character.
#include "channel/platform.h"

namespace vorlen {

std::size_t IncompleteUtf8Tail(std::string_view bytes) {
  // Look back at most three bytes for the lead byte of the last character.
  const std::size_t n = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
    const auto c = static_cast<unsigned char>(bytes[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: keep looking
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;  // no lead byte close enough: whatever stands there is invalid anyway
}

}  // namespace vorlen
