#pragma once
// An alert: a modal box with a prompt and a style, shown to the interactive
// user. The component passes no caption; the answer is not used.

namespace vorlen {

// The alert of a failed start: this text followed directly by the command line
// as it was handed to the system.
inline constexpr char16_t kStartFailurePrompt[] = u"Could not start the vorlen.exe program: ";

enum class AlertStyle : unsigned {
  Plain = 0,      // one OK button
  Critical = 16,  // one OK button with the stop icon
};

}  // namespace vorlen
