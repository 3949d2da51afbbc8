// The POSIX side of the test support.
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "tests/runner/support.h"

namespace vorlen::test {

std::string ProgramBesideTests(const std::string& name) {
  const auto dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  const auto path = dir / name;
  return std::filesystem::exists(path) ? path.string() : std::string();
}

std::string TempPath(const std::string& name) {
  static std::atomic<int> counter{0};
  return (std::filesystem::temp_directory_path() / ("vorlen-runner-" + std::to_string(getpid()) +
                                                    "-" + std::to_string(++counter) + "-" + name))
      .string();
}

std::string HostPath(const std::string& path) {
  return path;
}

// Descriptors that name started converters belong to the platform, not to a
// run: each goes when its converter has ended and a later start reaps it.
long OpenHandleCount() {
  long count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    count += std::filesystem::read_symlink(entry.path(), error).string() != "anon_inode:[pidfd]";
  }
  return count;
}

InheritablePipe::InheritablePipe() {
  int fds[2] = {-1, -1};
  if (pipe(fds) == 0) ends_[0] = fds[0], ends_[1] = fds[1];
}

InheritablePipe::~InheritablePipe() {
  for (RawHandle end : ends_) {
    if (end > 0) close(static_cast<int>(end));
  }
}

struct AlertCatcher::Hook {};

AlertCatcher::AlertCatcher() = default;
AlertCatcher::~AlertCatcher() = default;

void AlertCatcher::Alert(const Text& prompt, AlertStyle style, const Text&) {
  alerts.push_back({prompt, style});
}

}  // namespace vorlen::test
