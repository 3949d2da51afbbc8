#include "bench/plain_start.h"

namespace vorlen::bench {

OwnedHandle StartPlain(Platform& platform, const Text& program, const Text& commandLine) {
  const auto turn = platform.StartTurn();
  Pipe output = platform.CreatePipe(PipeDirection::FromChild);
  Pipe input = platform.CreatePipe(PipeDirection::ToChild);
  if (!output || !input) return {};
  Text handed;
  if (!platform.Start(program, commandLine, input.read->handle, output.write->handle, handed)) {
    return {};
  }
  return std::move(output.read);
}

}  // namespace vorlen::bench
