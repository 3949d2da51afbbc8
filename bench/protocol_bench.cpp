// Throughput of the status protocol as the runner drives it: decoded output
// fed in reads of 256 characters. Two shapes of output: typical converter
// output (message lines of 80 to 120 characters) and one 16 MiB line, whose
// cost per character must stay close to the typical one (no rescanning of the
// growing partial line).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "channel/status_protocol.h"

namespace vorlen {
namespace {

constexpr std::size_t kRead = 256;

class CountingEvents : public StatusEvents {
 public:
  void Message(TextView msgType, TextView msgLocation, TextView msg) override {
    ++messages;
    characters += msgType.size() + msgLocation.size() + msg.size();
  }
  void Alert(const Text&, AlertStyle) override { ++alerts; }

  std::size_t messages = 0, alerts = 0, characters = 0;
};

// About 8 MiB of message lines of 80 to 120 characters, then the fin line.
const Text& TypicalOutput() {
  static const Text output = [] {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> length(80, 120);
    Text out;
    while (out.size() < (8u << 20)) {
      Text line = u"msg|wrn|chapter-" + Text(u"12.xhtml:") + u"345|";
      const std::size_t total = static_cast<std::size_t>(length(rng));
      while (line.size() + 2 < total) line += u"text of the diagnostic ";
      line.resize(total - 2);
      out += line + u"\r\n";
    }
    return out + u"fin|success\r\n";
  }();
  return output;
}

// One message line of 16 MiB.
const Text& LongLine() {
  static const Text output = u"msg|wrn|" + Text(16u << 20, u'x') + u"|end\r\nfin|success\r\n";
  return output;
}

void FeedOnce(StatusStream& stream, const Text& output) {
  const TextView all(output);
  for (std::size_t at = 0; at < all.size(); at += kRead) stream.Feed(all.substr(at, kRead));
}

// A fresh stream for every run, as the runner has: the long line then also
// pays for the memory it needs (tens of MiB of fresh pages from the kernel).
void FreshStream(benchmark::State& state, const Text& output) {
  for (auto _ : state) {
    CountingEvents events;
    StatusStream stream(events);
    FeedOnce(stream, output);
    if (stream.finValue() != u"success" || events.alerts != 0) state.SkipWithError("bad run");
    benchmark::DoNotOptimize(events.characters);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * output.size()));
}

// One stream fed the same output again and again: its buffers are already
// grown, so only the protocol's own work per character is left.
void WarmStream(benchmark::State& state, const Text& output) {
  CountingEvents events;
  StatusStream stream(events);
  FeedOnce(stream, output);
  for (auto _ : state) {
    FeedOnce(stream, output);
    if (stream.finValue() != u"success" || !stream.partialLine().empty()) {
      state.SkipWithError("bad run");
    }
  }
  benchmark::DoNotOptimize(events.characters);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * output.size()));
}

void BM_TypicalOutput(benchmark::State& state) {
  FreshStream(state, TypicalOutput());
}
void BM_OneLongLine(benchmark::State& state) {
  FreshStream(state, LongLine());
}
void BM_TypicalOutputWarm(benchmark::State& state) {
  WarmStream(state, TypicalOutput());
}
void BM_OneLongLineWarm(benchmark::State& state) {
  WarmStream(state, LongLine());
}

BENCHMARK(BM_TypicalOutput)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OneLongLine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TypicalOutputWarm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OneLongLineWarm)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the usual table and keeps the time per character of each benchmark.
class CostReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      const double characters = run.benchmark_name().find("Typical") != std::string::npos
                                    ? static_cast<double>(TypicalOutput().size())
                                    : static_cast<double>(LongLine().size());
      // Seconds per iteration over characters per iteration.
      secondsPerCharacter[run.benchmark_name()] =
          run.real_accumulated_time / static_cast<double>(run.iterations) / characters;
    }
  }
  std::map<std::string, double> secondsPerCharacter;
};

}  // namespace
}  // namespace vorlen

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  vorlen::CostReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& cost = reporter.secondsPerCharacter;
  for (const auto& [name, seconds] : cost) {
    std::printf("%-32s %8.1f MB/s (1 character = 1 byte of converter output)\n", name.c_str(),
                1e-6 / seconds);
  }
  for (const char* suffix : {"", "Warm"}) {
    const auto typical = cost.find(std::string("BM_TypicalOutput") + suffix + "/real_time");
    const auto longLine = cost.find(std::string("BM_OneLongLine") + suffix + "/real_time");
    if (typical != cost.end() && longLine != cost.end()) {
      std::printf("per-character cost, long line / typical%s: %.2f\n",
                  *suffix ? " (warm stream)" : " (fresh stream)",
                  longLine->second / typical->second);
    }
  }
  return 0;
}
