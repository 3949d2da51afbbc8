#pragma once
// An alert: a modal box with a prompt and a style, shown to the interactive
// user. The component passes no caption; the answer is not used.
#include <cstddef>

#include "channel/text.h"

namespace vorlen {

// The alert of a failed start: this text followed directly by the command line
// as it was handed to the system.
inline constexpr char16_t kStartFailurePrompt[] = u"Could not start the vorlen.exe program: ";

enum class AlertStyle : unsigned {
  Plain = 0,      // one OK button
  Critical = 16,  // one OK button with the stop icon
};

// An alert shows at most this many characters of a long text (a command line
// can hold tens of millions), and "…" in place of the rest.
inline constexpr std::size_t kLongestAlertText = 1024;

inline Text Shortened(Text text) {
  if (text.size() <= kLongestAlertText) return text;
  std::size_t end = kLongestAlertText;
  if (text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;  // a pair stays whole
  text.resize(end);
  return text + u"\u2026";
}

}  // namespace vorlen
