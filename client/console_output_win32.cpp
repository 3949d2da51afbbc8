// A Windows console reads the bytes written to it in its own code page, the
// OEM one unless changed ("The console's code page initially defaults to the
// system's OEM code page"), so UTF-8 bytes would show as other letters. Text
// for a console goes as UTF-16 through WriteConsoleW, which "fails if it is
// used with a standard handle that is redirected to a file": whether the
// handle is a console is asked of GetConsoleMode, as the same page advises.
// Redirected, the stream keeps its UTF-8 bytes.
#include <windows.h>

#include <algorithm>
#include <string>

#include "channel/text.h"
#include "client/console_output.h"

namespace vorlen::client {
namespace {

// Pieces of this many UTF-16 units at most: older consoles refuse a write
// larger than their heap allows.
constexpr std::size_t kPiece = 8192;

// The UTF-16 units of `text` that the console took: all of them, or as far as
// it went before a write failed.
std::size_t WriteToConsole(HANDLE console, const Text& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    std::size_t size = std::min(kPiece, text.size() - done);
    // A surrogate pair stays in one piece.
    if (done + size < text.size() && text[done + size - 1] >= 0xD800 &&
        text[done + size - 1] <= 0xDBFF) {
      --size;
    }
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data() + done, static_cast<DWORD>(size), &written, nullptr) ||
        written == 0) {
      return done;
    }
    done += written;
  }
  return done;
}

}  // namespace

void Print(std::FILE* stream, std::string_view utf8) {
  const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  std::string_view out = utf8;
  std::string rest;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    std::fflush(stream);  // whatever the C library still holds comes first
    const Text text = FromUtf8(utf8);
    const std::size_t done = WriteToConsole(handle, text);
    if (done == text.size()) return;
    // What the console did not take goes through the stream, not lost.
    rest = ToUtf8(TextView(text).substr(done));
    out = rest;
  }
  std::fwrite(out.data(), 1, out.size(), stream);
  std::fflush(stream);
}

}  // namespace vorlen::client
