#pragma once
// The platform boundary: everything the runner needs from the operating
// system, behind one narrow interface with one Win32 and one POSIX
// implementation. Handles are opaque numbers here (a HANDLE or a descriptor),
// handed out in owners that give them back to the platform that made them.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "channel/alert.h"
#include "channel/owned.h"
#include "channel/text.h"

namespace vorlen {

using RawHandle = std::intptr_t;

// Which way bytes flow through a pipe, seen from this process.
enum class PipeDirection {
  ToChild,    // a child reads the read end
  FromChild,  // a child writes the write end; this process reads and waits
};

// How IdleWait learns that bytes, or the end of the output, have arrived on a
// read end.
enum class WaitRoute {
  Timed,         // it cannot: only a message or the time ends the wait
  ZeroByteRead,  // an overlapped read of no bytes kept pending (Windows)
  Poll,          // poll on the descriptor (POSIX)
};

class Platform;

// A handle of a platform, closed through that platform.
struct PlatformHandle {
  struct Value {
    Platform* platform;
    RawHandle handle;
  };
  static void Free(const Value& value);
};
using OwnedHandle = Owned<PlatformHandle>;

// Both ends of a pipe; empty when the system could not create it.
struct Pipe {
  OwnedHandle read, write;
  explicit operator bool() const { return read && write; }
};

// A started child: its process and, where the system has one, its first
// thread, neither ever waited on. Freed, the caller's hold goes and the child
// runs on by itself.
struct StartedChild {
  struct Value {
    Platform* platform;
    RawHandle process, thread;
  };
  static void Free(const Value& value);
};
using Child = Owned<StartedChild>;

class Platform {
 public:
  virtual ~Platform() = default;

  // Held by a run from its first pipe until the child's ends are closed. Where
  // starts must take turns for a child to inherit no other run's pipe ends
  // (the system cannot list what a child inherits), it holds the turn;
  // elsewhere nothing.
  virtual std::unique_lock<std::mutex> StartTurn() { return {}; }
  // A pipe with the system's default buffer size. Neither end reaches any
  // child by itself: only Start hands a child its two ends. A child's end is
  // always an ordinary synchronous one.
  virtual Pipe CreatePipe(PipeDirection direction) = 0;
  // Starts the file `program` with `commandLine`, hidden, with standard input
  // from `input` and standard output and standard error on `output`, and
  // nothing else of this process; the system searches for nothing. An empty
  // `program`, or a line that the system or the program cannot take whole,
  // starts nothing and fails (an empty child); a failure of the system's
  // start goes to Log with the system's reason. `asHanded` receives the
  // command line in the form the system was given (characters its code page
  // lacks replaced), whether or not the start succeeded.
  virtual Child Start(const Text& program, const Text& commandLine, RawHandle input,
                      RawHandle output, Text& asHanded) = 0;

  // The number of bytes waiting, without taking them; false when the pipe is
  // broken: every writer gone and nothing left.
  virtual bool Peek(RawHandle readEnd, std::uint32_t& available) = 0;
  // Reads at most `size` bytes; call only after Peek reported some (otherwise
  // it blocks until bytes or the end of the output arrive).
  virtual bool Read(RawHandle readEnd, char* buffer, std::uint32_t size,
                    std::uint32_t& bytesRead) = 0;

  // A modal box with `prompt` and `style`, no caption; returns when dismissed.
  // Where the alert leaves the process as data instead (debug output, standard
  // error), it shows `logged`: the prompt without the secrets it may hold.
  virtual void Alert(const Text& prompt, AlertStyle style, const Text& logged) = 0;
  void Alert(const Text& prompt, AlertStyle style) { Alert(prompt, style, prompt); }
  // `text` only where alerts leave the process as data, never in a box: for
  // the alerts of a run beyond the few it shows.
  virtual void Log(const Text& text) = 0;
  // Handles every window message waiting for the calling thread.
  virtual void PumpMessages() = 0;
  // Returns when a message arrives for the calling thread, when bytes or the
  // end of the output arrive on `readEnd` (on every route but Timed), or after
  // about `milliseconds`, whichever is first.
  virtual void IdleWait(RawHandle readEnd, std::uint32_t milliseconds) = 0;
  // The route IdleWait takes on `readEnd`; it stays the same for the life of
  // the handle.
  virtual WaitRoute OutputWaitRoute(RawHandle readEnd) = 0;

  // Decodes `bytes` from the system's code page and removes what it decoded;
  // an incomplete multi-byte character at the end stays in `bytes` for the
  // next call.
  virtual Text Decode(std::string& bytes) = 0;

  // What the owners call when they go.
  virtual void Close(RawHandle handle) = 0;
  virtual void Release(RawHandle process, RawHandle thread) = 0;

 protected:
  OwnedHandle Own(RawHandle handle) { return OwnedHandle({this, handle}); }
};

inline void PlatformHandle::Free(const Value& value) {
  value.platform->Close(value.handle);
}
inline void StartedChild::Free(const Value& value) {
  value.platform->Release(value.process, value.thread);
}

// The implementation for the system this build runs on.
Platform& SystemPlatform();

// Whether `path` names an existing file that is not a folder (a path that
// holds U+0000 names none).
bool IsRegularFile(const Text& path);

// The length of an incomplete UTF-8 sequence at the end of `bytes`: the bytes
// to keep back until the rest of the character arrives.
std::size_t IncompleteUtf8Tail(std::string_view bytes);

}  // namespace vorlen
