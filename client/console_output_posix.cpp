// A POSIX terminal takes the locale's bytes, UTF-8 nearly everywhere: every
// stream gets the bytes as they are.
#include "client/console_output.h"

namespace vorlen::client {

void Print(std::FILE* stream, std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

}  // namespace vorlen::client
