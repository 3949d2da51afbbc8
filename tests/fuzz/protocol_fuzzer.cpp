// libFuzzer target: the status stream against the literal reference model.
// The input is read as a sequence of reads, each a length byte followed by up
// to that many characters; bytes above 0x7F become characters beyond Latin-1
// so that decoded non-ASCII text takes part too.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "channel/text.h"
#include "tests/protocol/differential.h"

namespace {

char16_t ToCharacter(std::uint8_t byte) {
  return byte < 0x80 ? static_cast<char16_t>(byte) : static_cast<char16_t>(0x0100 + byte);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<vorlen::Text> chunks;
  while (input.remaining_bytes() > 0) {
    const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 256);
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(length);
    vorlen::Text chunk;
    chunk.reserve(bytes.size());
    for (const std::uint8_t byte : bytes) chunk.push_back(ToCharacter(byte));
    chunks.push_back(std::move(chunk));
  }
  const std::string divergence = vorlen::testing::CompareRuns(chunks);
  if (!divergence.empty()) {
    std::fprintf(stderr, "divergence: %s\n", divergence.c_str());
    std::abort();
  }
  return 0;
}
