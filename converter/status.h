#pragma once
// The status protocol on standard output: one line per diagnostic,
//   msg|<type>|<location>|<text> CR LF      type: err, wrn or inf
// then exactly one fin|success or fin|failure line. Locations are a file, or
// file:line; a location never holds a bar and no text holds a line break, so
// that every line parses the same way on the reading side.
#include <string>
#include <string_view>

#include "converter/platform.h"

namespace converter {

class StatusReporter {
 public:
  // Also writes every line to `path`, one per line; false when it cannot be opened.
  bool OpenLog(const std::string& path);

  void Error(std::string_view location, std::string_view text) { Message("err", location, text); }
  void Warning(std::string_view location, std::string_view text) { Message("wrn", location, text); }
  void Info(std::string_view location, std::string_view text) { Message("inf", location, text); }

  // Writes the fin line once and gives the process's exit code.
  int Finish(bool success);

 private:
  void Message(std::string_view type, std::string_view location, std::string_view text);
  void Emit(const std::string& line);

  FilePtr log_;
  bool finished_ = false;
};

// `file:line` as a location.
std::string At(std::string_view file, int line);

}  // namespace converter
