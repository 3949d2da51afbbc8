#pragma once
// Random converter output for the differential tests: mostly status lines of
// every kind, with the faults that the protocol must survive or report, cut
// into chunks the way a pipe might cut them.
#include <random>
#include <vector>

#include "channel/text.h"

namespace vorlen::testing {

Text RandomOutput(std::mt19937& rng);

// Cuts the output into reads of up to 256 characters, sometimes empty or
// tiny, and often right between a CR and the character after it.
std::vector<Text> RandomChunks(const Text& output, std::mt19937& rng);

}  // namespace vorlen::testing
