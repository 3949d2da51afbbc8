#pragma once
// What the runner's tests share: where the test programs lie, alerts caught
// and dismissed, Message events recorded, and a platform that counts handles
// and fails on request.
#include <gtest/gtest.h>

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
// Removes a test's folder. A converter is never waited for, so the one that
// ran from it may still be ending and holding its file (Windows refuses the
// removal until then): a few tries, a second apart at most.
void RemoveFolder(const std::string& path);
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

// The system platform, catching alerts while it lives: on Windows every box
// shown on this thread, through a thread-local hook that reads and dismisses
// it; on POSIX the alerts of the jobs that run on it.
class AlertCatcher final : public ForwardingPlatform {
 public:
  AlertCatcher();
  ~AlertCatcher() override;
  using Platform::Alert;
  void Alert(const Text& prompt, AlertStyle style, const Text& logged) override;
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

// The system platform with its handles counted; pipe creation and reads fail
// on request, and alerts are only recorded.
class CountingPlatform final : public ForwardingPlatform {
 public:
  int failPipeNumber = 0;  // 1: the first CreatePipe of a run fails, 2: the second
  bool failRead = false;
  std::vector<CaughtAlert> alerts;
  std::vector<Text> logged;  // alerts' data forms and Log's texts
  std::set<RawHandle> open;
  std::vector<RawHandle> created, closed;
  int started = 0, released = 0;

  Pipe CreatePipe(PipeDirection direction) override;
  Child Start(const Text& program, const Text& commandLine, RawHandle input, RawHandle output,
              Text& asHanded) override;
  void Release(RawHandle process, RawHandle thread) override;
  bool Read(RawHandle readEnd, char* buffer, std::uint32_t size, std::uint32_t& bytesRead) override;
  void Close(RawHandle handle) override;
  using Platform::Alert;
  void Alert(const Text& prompt, AlertStyle style, const Text& data) override {
    alerts.push_back({prompt, style});
    logged.push_back(data);
  }
  void Log(const Text& text) override { logged.push_back(text); }

 private:
  int pipes_ = 0;
};

// A Vorlen object whose converter is the scripted one.
void UseScriptConverter(Vorlen& job);
// The xmlPath argument that makes the scripted converter play `steps`.
Text Scenario(const std::string& steps);

// A job on a `P` (a platform that catches alerts) whose converter is the
// scripted one, with its Message events recorded; skipped without that
// converter.
template <class P>
class ScriptedJob : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ProgramBesideTests("runner_script_converter").empty()) GTEST_SKIP() << "no test converter";
    UseScriptConverter(job);
    job.events().Connect(sink);
  }
  std::int32_t Play(const std::string& steps) { return job.Convert(Scenario(steps)); }

  P platform;
  Vorlen job{platform};
  std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
};

}  // namespace vorlen::test
