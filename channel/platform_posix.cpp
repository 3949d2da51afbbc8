// The platform boundary on POSIX systems: pipes, posix_spawn, poll. The
// converter receives the arguments that the Windows rules give for the same
// command line, and its output is taken as UTF-8.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "channel/platform.h"
#include "channel/windows_arguments.h"

extern char** environ;

namespace vorlen {
namespace {

// A spawn object of the C library: set up in place, destroyed once, never
// copied or moved (the library may point into it). Null when set-up failed.
template <class T, int (*Init)(T*), int (*Destroy)(T*)>
class SpawnObject {
 public:
  SpawnObject() : ok_(Init(&object_) == 0) {}
  ~SpawnObject() {
    if (ok_) Destroy(&object_);
  }
  SpawnObject(const SpawnObject&) = delete;
  SpawnObject& operator=(const SpawnObject&) = delete;
  T* get() { return ok_ ? &object_ : nullptr; }

 private:
  T object_;
  bool ok_;
};
using SpawnActions = SpawnObject<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                                 posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnObject<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;

// The converter's standard handles, and nothing else of this process: every
// descriptor from 3 on is closed in the child, so that the host's own
// descriptors that lack close-on-exec stay out. False where the C library
// cannot close them (before glibc 2.34, other C libraries).
bool OnlyStandardHandles(posix_spawn_file_actions_t* actions, int input, int output) {
  return actions != nullptr && posix_spawn_file_actions_adddup2(actions, input, 0) == 0 &&
         posix_spawn_file_actions_adddup2(actions, output, 1) == 0 &&
         posix_spawn_file_actions_adddup2(actions, output, 2) == 0 &&
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
         posix_spawn_file_actions_addclosefrom_np(actions, 3) == 0;
#else
         false;
#endif
}

// The converter starts with the default signal dispositions, so that a caller
// that ignores SIGPIPE does not make it write into a closed pipe forever.
bool DefaultSignals(posix_spawnattr_t* attributes) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return attributes != nullptr && posix_spawnattr_setsigdefault(attributes, &set) == 0 &&
         posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSIGDEF) == 0;
}

// Converters are never waited for by the runner; without a parent that reaps
// them, each ended one would stay as a zombie for the life of the process.
// Started processes are reaped here, without blocking, at every later start
// and release. On Linux each is reaped through a descriptor opened right after
// its start, which names that process and no other: once a host that reaps
// any child has taken the converter, its process id may already name a child
// of the host's own, whose exit a wait by id would steal. Elsewhere the id
// serves.
class Reaper {
 public:
  void Add(pid_t pid) {
    std::lock_guard lock(mutex_);
    pending_.push_back({pid, OpenDescriptor(pid)});
    ReapLocked();
  }
  void Reap() {
    std::lock_guard lock(mutex_);
    ReapLocked();
  }

 private:
  struct Pending {
    pid_t pid;
    int descriptor;  // -1: none
  };
  static int OpenDescriptor([[maybe_unused]] pid_t pid) {
#if defined(__linux__) && defined(SYS_pidfd_open)
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    return -1;
#endif
  }
  // True when the child is gone: reaped now, or earlier by someone else.
  static bool Reaped(const Pending& child) {
#ifdef __linux__
    if (child.descriptor >= 0) {
      constexpr auto kByDescriptor = static_cast<idtype_t>(3);  // P_PIDFD, Linux 5.4
      siginfo_t info{};
      const int r =
          waitid(kByDescriptor, static_cast<id_t>(child.descriptor), &info, WEXITED | WNOHANG);
      if ((r == 0 && info.si_pid == 0) || (r < 0 && errno == EINTR)) return false;
      if (r == 0 || errno == ECHILD) {
        close(child.descriptor);
        return true;
      }
      // A kernel without waits by descriptor: the id, still held by this
      // descriptor's process while it is unreaped, serves.
    }
#endif
    const pid_t r = waitpid(child.pid, nullptr, WNOHANG);
    if (r != child.pid && !(r < 0 && errno == ECHILD)) return false;
    if (child.descriptor >= 0) close(child.descriptor);
    return true;
  }
  void ReapLocked() {
    std::erase_if(pending_, Reaped);
  }

  std::mutex mutex_;
  std::vector<Pending> pending_;
};

// The start where the C library cannot close the child's other descriptors
// in posix_spawn: fork, and in the child (which may call only what is safe
// after a fork in a threaded process) set up the standard handles, close the
// rest, reset SIGPIPE and run `file`. A pipe that closes on exec brings back
// the errno of a failed exec.
bool ForkAndExec(const char* file, char* const argv[], int input, int output, pid_t& pid) {
  const long limit = sysconf(_SC_OPEN_MAX);
  const int highest = limit > 0 && limit < (1L << 20) ? static_cast<int>(limit) : 1 << 20;
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid = fork();
  if (pid < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (pid == 0) {
    int error = 0;
    if (dup2(input, 0) < 0 || dup2(output, 1) < 0 || dup2(output, 2) < 0) error = errno;
    if (error == 0) {
      const int keep = report[1];
      for (int fd = 3; fd < highest; ++fd) {
        if (fd != keep) close(fd);
      }
      signal(SIGPIPE, SIG_DFL);
      execve(file, argv, environ);
      error = errno;
    }
    while (write(report[1], &error, sizeof error) < 0 && errno == EINTR) {
    }
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  ssize_t n;
  do {
    n = read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  if (n <= 0) return true;  // closed by the exec: the program runs
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  return false;
}

class PosixPlatform final : public Platform {
 public:
  // Close-on-exec from the start: a descriptor reaches a child only through
  // the start's own file actions, never by accident. So starts need not take
  // turns here.
  Pipe CreatePipe(PipeDirection) override {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    return {Own(fds[0]), Own(fds[1])};
  }

  Child Start(const Text& program, const Text& commandLine, RawHandle input, RawHandle output,
              Text& asHanded) override {
    reaper_.Reap();
    const std::string handed = ToUtf8(commandLine);
    asHanded = FromUtf8(handed);
    if (program.empty()) return {};
    const std::string file = ToUtf8(program);
    std::vector<std::string> arguments;
    for (const Text& argument : SplitCommandLine(asHanded)) arguments.push_back(ToUtf8(argument));
    if (arguments.empty() || arguments.front().empty()) return {};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const int in = static_cast<int>(input), out = static_cast<int>(output);
    SpawnActions actions;
    SpawnAttributes attributes;
    if (!DefaultSignals(attributes.get())) return {};
    pid_t pid = 0;
    // The file as named: no search along PATH.
    if (OnlyStandardHandles(actions.get(), in, out)) {
      if (posix_spawn(&pid, file.c_str(), actions.get(), attributes.get(), argv.data(), environ) !=
          0) {
        return {};
      }
    } else if (!ForkAndExec(file.c_str(), argv.data(), in, out, pid)) {
      return {};
    }
    reaper_.Add(pid);
    return Child({this, pid, 0});
  }

  void Release(RawHandle, RawHandle) override { reaper_.Reap(); }

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

  void Alert(const Text&, AlertStyle, const Text& logged) override {
    Log(logged);  // standard error tends to end up in logs
  }

  void Log(const Text& text) override { std::fprintf(stderr, "%s\n", ToUtf8(text).c_str()); }

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

bool IsRegularFile(const Text& path) {
  if (path.find(u'\0') != Text::npos) return false;
  struct stat status {};
  return stat(ToUtf8(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace vorlen
