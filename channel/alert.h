#pragma once
// An alert: a modal box with a prompt and a style, shown to the interactive
// user. The component passes no caption; the answer is not used.

namespace vorlen {

enum class AlertStyle : unsigned {
  Plain = 0,      // one OK button
  Critical = 16,  // one OK button with the stop icon
};

}  // namespace vorlen
