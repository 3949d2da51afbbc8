#pragma once
// A platform that hands every operation to another one, for stand-ins that
// change a few operations and keep the rest (tests, benchmarks).
#include <string>

#include "channel/platform.h"

namespace vorlen {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& real = SystemPlatform()) : real_(real) {}

  bool CreatePipe(RawHandle& readEnd, RawHandle& writeEnd, PipeDirection direction) override {
    return real_.CreatePipe(readEnd, writeEnd, direction);
  }
  bool MakePrivate(RawHandle handle) override { return real_.MakePrivate(handle); }
  bool Start(const Text& program, const Text& commandLine, RawHandle input, RawHandle output,
             StartedProcess& started, Text& asHanded) override {
    return real_.Start(program, commandLine, input, output, started, asHanded);
  }
  void Release(const StartedProcess& started) override { real_.Release(started); }
  bool Peek(RawHandle readEnd, std::uint32_t& available) override {
    return real_.Peek(readEnd, available);
  }
  bool Read(RawHandle readEnd, char* buffer, std::uint32_t size,
            std::uint32_t& bytesRead) override {
    return real_.Read(readEnd, buffer, size, bytesRead);
  }
  void Close(RawHandle handle) override { real_.Close(handle); }
  using Platform::Alert;
  void Alert(const Text& prompt, AlertStyle style, const Text& logged) override {
    real_.Alert(prompt, style, logged);
  }
  void Log(const Text& text) override { real_.Log(text); }
  void PumpMessages() override { real_.PumpMessages(); }
  void IdleWait(RawHandle readEnd, std::uint32_t milliseconds) override {
    real_.IdleWait(readEnd, milliseconds);
  }
  WaitRoute OutputWaitRoute(RawHandle readEnd) override { return real_.OutputWaitRoute(readEnd); }
  Text Decode(std::string& bytes) override { return real_.Decode(bytes); }

 protected:
  Platform& real() { return real_; }

 private:
  Platform& real_;
};

}  // namespace vorlen
