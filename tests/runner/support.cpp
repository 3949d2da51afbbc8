#include "tests/runner/support.h"

#include <fstream>
#include <sstream>

namespace vorlen::test {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool CountingPlatform::CreatePipe(RawHandle& readEnd, RawHandle& writeEnd,
                                  PipeDirection direction) {
  if (++pipes_ == failPipeNumber) return false;
  if (!real().CreatePipe(readEnd, writeEnd, direction)) return false;
  for (RawHandle h : {readEnd, writeEnd}) {
    open.insert(h);
    created.push_back(h);
  }
  return true;
}

bool CountingPlatform::Start(const Text& program, const Text& commandLine, RawHandle input,
                             RawHandle output, StartedProcess& process, Text& asHanded) {
  if (!real().Start(program, commandLine, input, output, process, asHanded)) return false;
  ++started;
  return true;
}

void CountingPlatform::Release(const StartedProcess& process) {
  ++released;
  real().Release(process);
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
