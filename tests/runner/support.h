#pragma once
// What the runner's tests share: where the test programs lie, alerts caught
// and dismissed, Message events recorded, and a platform that counts handles
// and fails on request.
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "channel/forwarding_platform.h"
#include "channel/platform.h"
#include "job/vorlen.h"

namespace vorlen::test {

// A program of this build tree (".exe" is added on Windows); empty when absent.
std::string ProgramBesideTests(const std::string& name);
// A fresh path in the temporary folder, as this system's programs spell it.
std::string TempPath(const std::string& name);
// A path of the host's file system as this system's programs spell it.
std::string HostPath(const std::string& path);
std::string ReadAll(const std::string& path);
// Handles (Windows) or descriptors (POSIX) the process holds open, but for
// those that name started converters (POSIX).
long OpenHandleCount();

// A pipe that every child may inherit, as a host's own standard output may be.
class InheritablePipe {
 public:
  InheritablePipe();
  ~InheritablePipe();
  InheritablePipe(const InheritablePipe&) = delete;
  InheritablePipe& operator=(const InheritablePipe&) = delete;

 private:
  RawHandle ends_[2] = {};
};

struct CaughtAlert {
  Text text;
  AlertStyle style;
  bool operator==(const CaughtAlert&) const = default;
};

// Catches every alert shown on this thread while it lives: the Windows boxes
// through a thread-local hook that reads and dismisses them, the POSIX ones
// through the platform's alert handler.
class AlertCatcher {
 public:
  AlertCatcher();
  ~AlertCatcher();
  AlertCatcher(const AlertCatcher&) = delete;
  AlertCatcher& operator=(const AlertCatcher&) = delete;
  std::vector<CaughtAlert> alerts;

 private:
  struct Hook;
  std::unique_ptr<Hook> hook_;
};

struct Event {
  Text type, location, text;
  bool operator==(const Event&) const = default;
};

inline void PrintTo(const CaughtAlert& a, std::ostream* os) {
  *os << "{\"" << ToUtf8(a.text) << "\", " << static_cast<unsigned>(a.style) << "}";
}
inline void PrintTo(const Event& e, std::ostream* os) {
  *os << "{" << ToUtf8(e.type) << " | " << ToUtf8(e.location) << " | " << ToUtf8(e.text) << "}";
}

class RecordingSink : public MessageSink {
 public:
  void Receive(TextView msgType, TextView msgLocation, TextView msg) override {
    events.push_back({Text(msgType), Text(msgLocation), Text(msg)});
  }
  std::vector<Event> events;
};

// The system platform with its handles counted; pipe creation, keeping a
// pipe end private and reads fail on request, and alerts are only recorded.
class CountingPlatform final : public ForwardingPlatform {
 public:
  int failPipeNumber = 0;     // 1: the first CreatePipe of a run fails, 2: the second
  int failPrivateNumber = 0;  // the same for MakePrivate
  bool failRead = false;
  std::vector<CaughtAlert> alerts;
  std::vector<Text> logged;  // alerts' data forms and Log's texts
  std::set<RawHandle> open;
  std::vector<RawHandle> created, closed;
  int started = 0, released = 0;

  bool CreatePipe(RawHandle& readEnd, RawHandle& writeEnd, PipeDirection direction) override;
  bool MakePrivate(RawHandle handle) override {
    return ++privates_ != failPrivateNumber && real().MakePrivate(handle);
  }
  bool Start(const Text& program, const Text& commandLine, RawHandle input, RawHandle output,
             StartedProcess& process, Text& asHanded) override;
  void Release(const StartedProcess& process) override;
  bool Read(RawHandle readEnd, char* buffer, std::uint32_t size, std::uint32_t& bytesRead) override;
  void Close(RawHandle handle) override;
  using Platform::Alert;
  void Alert(const Text& prompt, AlertStyle style, const Text& data) override {
    alerts.push_back({prompt, style});
    logged.push_back(data);
  }
  void Log(const Text& text) override { logged.push_back(text); }

 private:
  int pipes_ = 0, privates_ = 0;
};

// A Vorlen object whose converter is the scripted one.
void UseScriptConverter(Vorlen& job);
// The xmlPath argument that makes the scripted converter play `steps`.
Text Scenario(const std::string& steps);

}  // namespace vorlen::test
