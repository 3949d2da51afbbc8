#include "tests/runner/support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

namespace vorlen::test {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void RemoveFolder(const std::string& path) {
  std::error_code error;
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::filesystem::remove_all(path, error);
    if (!error) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50 * attempt));
  }
  ADD_FAILURE() << "cannot remove " << path << ": " << error.message();
}

Pipe CountingPlatform::CreatePipe(PipeDirection direction) {
  if (++pipes_ == failPipeNumber) return {};
  Pipe pipe = ForwardingPlatform::CreatePipe(direction);
  if (!pipe) return pipe;
  for (const OwnedHandle* end : {&pipe.read, &pipe.write}) {
    open.insert((*end)->handle);
    created.push_back((*end)->handle);
  }
  return pipe;
}

Child CountingPlatform::Start(const Text& program, const Text& commandLine, RawHandle input,
                              RawHandle output, Text& asHanded) {
  Child child = ForwardingPlatform::Start(program, commandLine, input, output, asHanded);
  started += child ? 1 : 0;
  return child;
}

void CountingPlatform::Release(RawHandle process, RawHandle thread) {
  ++released;
  real().Release(process, thread);
}

bool CountingPlatform::Read(RawHandle readEnd, char* buffer, std::uint32_t size,
                            std::uint32_t& bytesRead) {
  if (failRead) {
    bytesRead = 0;
    return false;
  }
  return real().Read(readEnd, buffer, size, bytesRead);
}

void CountingPlatform::Close(RawHandle handle) {
  open.erase(handle);
  closed.push_back(handle);
  real().Close(handle);
}

void UseScriptConverter(Vorlen& job) {
  job.settings().SetVorlenPath(FromUtf8(ProgramBesideTests("runner_script_converter")));
}

Text Scenario(const std::string& steps) {
  return FromUtf8("scenario:" + steps);
}

}  // namespace vorlen::test
