#pragma once
// The platform boundary: everything the runner needs from the operating
// system, behind one narrow interface with one Win32 and one POSIX
// implementation. Handles are opaque numbers here (a HANDLE or a descriptor);
// OwnedHandle closes them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "channel/alert.h"
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

// What a successful start leaves to the caller: the process and, where the
// system has one, its first thread. Neither is ever waited on.
struct StartedProcess {
  RawHandle process = 0;
  RawHandle thread = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // A pipe with the system's default buffer size; both ends can be handed to a
  // child until MakePrivate says otherwise. A child's end is always an
  // ordinary synchronous one.
  virtual bool CreatePipe(RawHandle& readEnd, RawHandle& writeEnd, PipeDirection direction) = 0;
  // Keeps a handle out of every child started from now on; false when the
  // system refused.
  virtual bool MakePrivate(RawHandle handle) = 0;
  // Starts the file `program` with `commandLine`, hidden, with standard input
  // from `input` and standard output and standard error on `output`; the
  // system searches for nothing. An empty `program` starts nothing and fails.
  // `asHanded` receives the command line in the form the system was given
  // (characters its code page lacks replaced), whether or not the start
  // succeeded.
  virtual bool Start(const Text& program, const Text& commandLine, RawHandle input,
                     RawHandle output, StartedProcess& started, Text& asHanded) = 0;
  // Gives up the caller's hold on a started process; it runs on by itself.
  virtual void Release(const StartedProcess& started) = 0;

  // The number of bytes waiting, without taking them; false when the pipe is
  // broken: every writer gone and nothing left.
  virtual bool Peek(RawHandle readEnd, std::uint32_t& available) = 0;
  // Reads at most `size` bytes; call only after Peek reported some (otherwise
  // it blocks until bytes or the end of the output arrive).
  virtual bool Read(RawHandle readEnd, char* buffer, std::uint32_t size,
                    std::uint32_t& bytesRead) = 0;
  virtual void Close(RawHandle handle) = 0;

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
};

// The implementation for the system this build runs on.
Platform& SystemPlatform();

// Whether `path` names an existing file that is not a folder (a path that
// holds U+0000 names none).
bool IsRegularFile(const Text& path);

// Replaces where the system platform's alerts go (for a command-line tool, say)
// and returns the previous handler. With no handler, the Win32 platform shows
// a message box and the POSIX platform writes one line on standard error.
using AlertHandler = std::function<void(const Text& prompt, AlertStyle style)>;
AlertHandler SetAlertHandler(AlertHandler handler);
namespace detail {
// For the implementations: hands the alert to the replaced handler, if any.
bool DeliverToAlertHandler(const Text& prompt, AlertStyle style);
}  // namespace detail

// The length of an incomplete UTF-8 sequence at the end of `bytes`: the bytes
// to keep back until the rest of the character arrives.
std::size_t IncompleteUtf8Tail(std::string_view bytes);

// Owns one handle of a platform and closes it once.
class OwnedHandle {
 public:
  explicit OwnedHandle(Platform& platform) : platform_(&platform) {}
  ~OwnedHandle() { reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  void adopt(RawHandle handle) {
    reset();
    handle_ = handle;
    owned_ = true;
  }
  RawHandle get() const { return handle_; }
  bool owned() const { return owned_; }
  void reset() {
    if (owned_) {
      owned_ = false;
      platform_->Close(handle_);
    }
  }

 private:
  Platform* platform_;
  RawHandle handle_ = 0;
  bool owned_ = false;
};

// Owns the hold on a started process and gives it up once.
class OwnedProcess {
 public:
  explicit OwnedProcess(Platform& platform) : platform_(&platform) {}
  ~OwnedProcess() { reset(); }
  OwnedProcess(const OwnedProcess&) = delete;
  OwnedProcess& operator=(const OwnedProcess&) = delete;

  void adopt(const StartedProcess& started) {
    reset();
    started_ = started;
    owned_ = true;
  }
  void reset() {
    if (owned_) {
      owned_ = false;
      platform_->Release(started_);
    }
  }

 private:
  Platform* platform_;
  StartedProcess started_;
  bool owned_ = false;
};

}  // namespace vorlen
