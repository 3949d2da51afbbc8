// The platform boundary on POSIX systems: pipes, posix_spawn, poll. The
// converter receives the arguments that the Windows rules give for the same
// command line, and its output is taken as UTF-8.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "channel/masking.h"
#include "channel/platform.h"
#include "channel/windows_arguments.h"

extern char** environ;

namespace vorlen {
namespace {

class SpawnActions {
 public:
  SpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  ~SpawnActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  bool Dup(int from, int to) {
    return ok_ && posix_spawn_file_actions_adddup2(&actions_, from, to) == 0;
  }
  // Closes every descriptor from `lowest` on in the child (glibc 2.34 and
  // later): the host's own descriptors that lack close-on-exec stay out.
  bool CloseFrom(int lowest) {
    return ok_ && posix_spawn_file_actions_addclosefrom_np(&actions_, lowest) == 0;
  }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool ok_ = false;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { ok_ = posix_spawnattr_init(&attributes_) == 0; }
  ~SpawnAttributes() {
    if (ok_) posix_spawnattr_destroy(&attributes_);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  // The converter starts with the default signal dispositions, so that a
  // caller that ignores SIGPIPE does not make it write into a closed pipe
  // forever.
  bool DefaultSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return ok_ && posix_spawnattr_setsigdefault(&attributes_, &set) == 0 &&
           posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF) == 0;
  }
  const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
  bool ok_ = false;
};

// Converters are never waited for by the runner; without a parent that reaps
// them, each ended one would stay as a zombie for the life of the process.
// Released processes are reaped here, without blocking, at every later start
// and release.
class Reaper {
 public:
  void Add(pid_t pid) {
    std::lock_guard lock(mutex_);
    pending_.push_back(pid);
    ReapLocked();
  }
  void Reap() {
    std::lock_guard lock(mutex_);
    ReapLocked();
  }

 private:
  void ReapLocked() {
    std::erase_if(pending_, [](pid_t pid) {
      const pid_t r = waitpid(pid, nullptr, WNOHANG);
      return r == pid || (r < 0 && errno == ECHILD);
    });
  }
  std::mutex mutex_;
  std::vector<pid_t> pending_;
};

class PosixPlatform final : public Platform {
 public:
  bool CreatePipe(RawHandle& readEnd, RawHandle& writeEnd, PipeDirection) override {
    // Close-on-exec from the start: a descriptor reaches a child only through
    // the start's own file actions, never by accident.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
  }

  void MakePrivate(RawHandle) override {}  // already close-on-exec

  bool Start(const Text& commandLine, RawHandle input, RawHandle output, StartedProcess& started,
             Text& asHanded) override {
    reaper_.Reap();
    const std::string handed = ToUtf8(commandLine);
    asHanded = FromUtf8(handed);
    std::vector<std::string> arguments;
    for (const Text& argument : SplitCommandLine(asHanded)) arguments.push_back(ToUtf8(argument));
    if (arguments.empty() || arguments.front().empty()) return false;
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    SpawnActions actions;
    SpawnAttributes attributes;
    if (!actions.Dup(static_cast<int>(input), 0) || !actions.Dup(static_cast<int>(output), 1) ||
        !actions.Dup(static_cast<int>(output), 2) || !actions.CloseFrom(3) ||
        !attributes.DefaultSignals()) {
      return false;
    }
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ) != 0) {
      return false;
    }
    started.process = pid;
    started.thread = 0;
    return true;
  }

  void Release(const StartedProcess& started) override {
    reaper_.Add(static_cast<pid_t>(started.process));
  }

  bool Peek(RawHandle readEnd, std::uint32_t& available) override {
    const int fd = static_cast<int>(readEnd);
    int count = 0;
    if (ioctl(fd, FIONREAD, &count) != 0) return false;
    available = static_cast<std::uint32_t>(std::max(count, 0));
    if (available > 0) return true;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) return errno == EINTR;
    if ((p.revents & POLLNVAL) != 0) return false;
    if ((p.revents & (POLLHUP | POLLERR)) == 0) return true;
    // Hung up: every writer is gone, so no byte can follow what is left.
    if (ioctl(fd, FIONREAD, &count) != 0) return false;
    available = static_cast<std::uint32_t>(std::max(count, 0));
    return available > 0;
  }

  bool Read(RawHandle readEnd, char* buffer, std::uint32_t size,
            std::uint32_t& bytesRead) override {
    ssize_t n;
    do {
      n = read(static_cast<int>(readEnd), buffer, size);
    } while (n < 0 && errno == EINTR);
    bytesRead = n > 0 ? static_cast<std::uint32_t>(n) : 0;
    return n > 0;
  }

  void Close(RawHandle handle) override { close(static_cast<int>(handle)); }

  void Alert(const Text& prompt, AlertStyle style) override {
    if (detail::DeliverToAlertHandler(prompt, style)) return;
    // Standard error tends to end up in logs.
    std::fprintf(stderr, "%s\n", ToUtf8(MaskPasswords(prompt)).c_str());
  }

  void PumpMessages() override {}  // no window messages here

  // A pipe wakes poll when bytes arrive and when the last writer goes.
  void IdleWait(RawHandle readEnd, std::uint32_t milliseconds) override {
    pollfd p{static_cast<int>(readEnd), POLLIN, 0};
    poll(&p, 1, static_cast<int>(milliseconds));
  }

  WaitRoute OutputWaitRoute(RawHandle) override { return WaitRoute::Poll; }

  Text Decode(std::string& bytes) override {
    const std::size_t complete = bytes.size() - IncompleteUtf8Tail(bytes);
    const std::string_view whole = std::string_view(bytes).substr(0, complete);
    // Status lines are nearly always ASCII, which widens byte by byte.
    const bool ascii = std::all_of(whole.begin(), whole.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    Text text = ascii ? Text(whole.begin(), whole.end()) : FromUtf8(whole);
    bytes.erase(0, complete);
    return text;
  }

 private:
  Reaper reaper_;
};

}  // namespace

Platform& SystemPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace vorlen
