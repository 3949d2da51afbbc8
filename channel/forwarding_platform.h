#pragma once
// A platform that hands every operation to another one, for stand-ins that
// change a few operations and keep the rest (tests, benchmarks).
#include <string>
#include <utility>

#include "channel/platform.h"

namespace vorlen {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& real = SystemPlatform()) : real_(real) {}

  std::unique_lock<std::mutex> StartTurn() override { return real_.StartTurn(); }
  Pipe CreatePipe(PipeDirection direction) override {
    Pipe pipe = real_.CreatePipe(direction);
    return {Adopt(std::move(pipe.read)), Adopt(std::move(pipe.write))};
  }
  Child Start(const Text& program, const Text& commandLine, RawHandle input, RawHandle output,
              Text& asHanded) override {
    return Adopt(real_.Start(program, commandLine, input, output, asHanded));
  }
  void Release(RawHandle process, RawHandle thread) override { real_.Release(process, thread); }
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
  // The real platform's owner made this one's, so that closing and releasing
  // come through here too.
  template <class Traits>
  Owned<Traits> Adopt(Owned<Traits> owned) {
    if (!owned) return {};
    auto value = owned.release();
    value.platform = this;
    return Owned<Traits>(value);
  }

 private:
  Platform& real_;
};

}  // namespace vorlen
