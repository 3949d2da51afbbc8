#pragma once
// The plainest way to start a converter, for the benchmarks' baselines: the
// same kind of pipes as a conversion run, the child's ends closed right after
// the start, the process released and never waited for.
#include "channel/platform.h"

namespace vorlen::bench {

// Starts the file `program` with `commandLine`, its output on a pipe from the
// child; returns that pipe's read end, empty when nothing was started.
OwnedHandle StartPlain(Platform& platform, const Text& program, const Text& commandLine);

}  // namespace vorlen::bench
