#pragma once
// Runs the status stream and the literal reference model side by side on the
// same chunks and reports the first read after which they disagree.
#include <string>
#include <vector>

#include "channel/text.h"

namespace vorlen::testing {

// Empty when both agree after every read on every event, alert, fin value,
// partial line and error; otherwise a description of the first divergence.
// Both go on past a non-empty fin value (where the runner would stop), since
// their rules stay defined there; a run ends at the first error.
std::string CompareRuns(const std::vector<Text>& chunks);

}  // namespace vorlen::testing
