#include "converter/status.h"

namespace converter {
namespace {

// Control characters (CR and LF among them) become blanks; in a location a
// bar becomes a broken bar, since the first bar ends the location.
std::string Clean(std::string_view text, bool location) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      out += ' ';
    else if (location && c == '|')
      out += "\xC2\xA6";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string At(std::string_view file, int line) {
  return std::string(file) + ":" + std::to_string(line);
}

bool StatusReporter::OpenLog(const std::string& path) {
  log_ = OpenFile(path, "wb");
  return log_ != nullptr;
}

void StatusReporter::Message(std::string_view type, std::string_view location,
                             std::string_view text) {
  if (finished_) return;
  Emit("msg|" + std::string(type) + "|" + Clean(location, true) + "|" + Clean(text, false));
}

int StatusReporter::Finish(bool success) {
  if (!finished_) Emit(success ? "fin|success" : "fin|failure");
  finished_ = true;
  return success ? 0 : 1;
}

void StatusReporter::Emit(const std::string& line) {
  std::string terminated = line + "\r\n";
  WriteStatusLine(terminated);
  if (log_) {
    std::fwrite(terminated.data(), 1, terminated.size(), log_.get());
    std::fflush(log_.get());
  }
}

}  // namespace converter
