#pragma once
// A pipe whose read end this process can wait on. An anonymous pipe cannot be
// waited on, so the pipe is a named one, under a random name, open to its
// creator and SYSTEM only: its read end is opened for overlapped reads, its
// write end is an ordinary synchronous handle for the child, checked to lead
// into this process's own read end. A read of no bytes is kept pending on the
// read end; it finishes, taking nothing, when bytes arrive or the last writer
// goes, and sets an event that a wait for the thread's messages includes.
// Where such a read finishes at once on an empty pipe, the pipe cannot be
// waited on this way (Wakes() is false) and the caller waits on a timer as
// before.
#include <windows.h>

#include <memory>

namespace vorlen::win32 {

class WatchedPipe {
 public:
  // Why a pipe was not made: the step that failed and the system's code for
  // it (0 where the system reported none).
  struct Failure {
    const char16_t* step = nullptr;  // null: the pipe was made
    DWORD error = 0;
  };
  // Creates the pipe with the system's default buffer size; both ends are
  // inheritable when `attributes` says so (its security descriptor is not
  // used). Fails when the system cannot, or when the write end does not lead
  // into this process's own read end: another process holds the name.
  static Failure Create(const SECURITY_ATTRIBUTES& attributes, HANDLE& readEnd, HANDLE& writeEnd);
  // The watch of `readEnd`, or null when it is no watched pipe's read end.
  // Only the thread that created the pipe uses the watch.
  static WatchedPipe* Find(HANDLE readEnd);
  // Closes a watched pipe's read end with its watch; false when `readEnd` has
  // none (and is left alone).
  static bool Close(HANDLE readEnd);

  // Takes over `readEnd`: closed, with everything else the watch holds, when
  // the watch goes.
  explicit WatchedPipe(HANDLE readEnd);
  ~WatchedPipe();
  WatchedPipe(const WatchedPipe&) = delete;
  WatchedPipe& operator=(const WatchedPipe&) = delete;

  bool Wakes() const { return wakes_; }
  // Reads like ReadFile on a synchronous handle: at most `size` bytes, and
  // blocks only when none are waiting.
  bool Read(char* buffer, DWORD size, DWORD& bytesRead);
  // Returns when bytes or the end of the output arrive, when a message arrives
  // for the calling thread (only with `messages`), or after `milliseconds`.
  void Wait(DWORD milliseconds, bool messages);

 private:
  enum class Armed { Pending, Ready, Failed };
  bool Open(HANDLE writeEnd);
  bool Receives(HANDLE writeEnd);
  Armed Arm();
  bool EndWaitingRead();

  HANDLE pipe_;
  HANDLE wake_ = nullptr;     // set when the waiting read finishes
  HANDLE reading_ = nullptr;  // for Read's own overlapped reads
  // On its own, so that it can outlive the watch (see EndWaitingRead).
  std::unique_ptr<OVERLAPPED> waiting_;
  char scratch_ = 0;
  bool pending_ = false;
  bool wakes_ = false;
};

}  // namespace vorlen::win32
