// Timing of the conversion run against the plainest way of running the same
// converter, natively and under Wine (so no benchmark library). Prints figures
// and the targets they are meant to meet; it is not a test.
//   runner_bench [rounds [parts [lines]]]   e.g. runner_bench 20 abc 200000
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#endif

#include "bench/plain_start.h"
#include "channel/platform.h"
#include "job/vorlen.h"

namespace {

using Clock = std::chrono::steady_clock;
using vorlen::Text;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// CPU time of this process, user and system, in seconds.
double CpuSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto value = [](FILETIME f) {
    return (static_cast<double>(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) * 1e-7;
  };
  return value(kernel) + value(user);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
#endif
}

std::string ScriptConverter() {
#ifdef _WIN32
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path = self;
  return path.substr(0, path.find_last_of('\\')) + "\\runner_script_converter.exe";
#else
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "runner_script_converter")
      .string();
#endif
}

class CountingSink final : public vorlen::MessageSink {
 public:
  void Receive(vorlen::TextView, vorlen::TextView, vorlen::TextView msg) override {
    ++events;
    length += msg.size();
  }
  long events = 0;
  std::size_t length = 0;
};

// The plain way: start the converter on the same pipes and read with blocking
// reads of `chunk` bytes until the output ends. Returns the bytes read.
std::size_t SpawnAndRead(const Text& program, const Text& commandLine, std::uint32_t chunk) {
  vorlen::Platform& p = vorlen::SystemPlatform();
  const vorlen::OwnedHandle outRead = vorlen::bench::StartPlain(p, program, commandLine);
  if (!outRead) return 0;
  std::string buffer(chunk, '\0');
  std::size_t total = 0;
  std::uint32_t got = 0;
  while (p.Read(outRead->handle, buffer.data(), chunk, got) && got > 0) total += got;
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  const std::string parts = argc > 2 ? argv[2] : "abc";
  const std::string lines = argc > 3 ? argv[3] : "200000";
  vorlen::Vorlen job;
  job.settings().SetVorlenPath(vorlen::FromUtf8(ScriptConverter()));
  auto sink = std::make_shared<CountingSink>();
  job.events().Connect(sink);
  const auto line = [&](const std::string& scenario) {
    return job.settings().exePath + u" --server \"scenario:" + vorlen::FromUtf8(scenario) + u"\"";
  };

  // (a) A converter that stays silent for two seconds.
  if (parts.find('a') != std::string::npos) {
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    const int r = job.Convert(vorlen::FromUtf8("scenario:s=2000;o=fin|success\\r\\n"));
    const double wall = Seconds(Clock::now() - t0);
    const double cpu = CpuSeconds() - cpu0;
    std::printf(
        "(a) silent 2 s: result %d, wall %.3f s, runner CPU %.4f s = %.2f%% (target <= 2%%)\n", r,
        wall, cpu, 100.0 * cpu / wall);
  }

  // (b) A chatty converter: 60 bytes a line, 200000 lines by default.
  if (parts.find('b') != std::string::npos) {
    const std::string chatter =
        "n=" + lines +
        "*msg|inf|bench.html:1|a status line of ordinary length for the bench\\r\\n;"
        "o=fin|success\\r\\n";
    const auto t0 = Clock::now();
    const int r = job.Convert(vorlen::FromUtf8("scenario:" + chatter));
    const double convert = Seconds(Clock::now() - t0);
    const auto t1 = Clock::now();
    const std::size_t plain256 = SpawnAndRead(job.settings().exePath, line(chatter), 256);
    const double megabytes = static_cast<double>(plain256) / 1e6;  // the same output
    const double read256 = Seconds(Clock::now() - t1);
    const auto t2 = Clock::now();
    const std::size_t plain64k = SpawnAndRead(job.settings().exePath, line(chatter), 65536);
    const double read64k = Seconds(Clock::now() - t2);
    std::printf(
        "(b) chatty: Convert result %d, %ld events, %.1f MB/s; blocking 256-byte reads "
        "%.1f MB/s (ratio %.2f, target >= 0.9); blocking 64 KiB reads %.1f MB/s (ratio %.2f)\n",
        r, sink->events, megabytes / convert, static_cast<double>(plain256) / 1e6 / read256,
        (megabytes / convert) / (static_cast<double>(plain256) / 1e6 / read256),
        static_cast<double>(plain64k) / 1e6 / read64k,
        (megabytes / convert) / (static_cast<double>(plain64k) / 1e6 / read64k));
  }

  // (c) One fin line: a whole Convert against a bare spawn-and-read.
  if (parts.find('c') != std::string::npos) {
    const std::string once = "o=fin|success\\r\\n";
    double convert = 0, bare = 0;
    for (int i = 0; i < rounds; ++i) {
      auto t0 = Clock::now();
      job.Convert(vorlen::FromUtf8("scenario:" + once));
      convert += Seconds(Clock::now() - t0);
      t0 = Clock::now();
      SpawnAndRead(job.settings().exePath, line(once), 256);
      bare += Seconds(Clock::now() - t0);
    }
    std::printf(
        "(c) one fin line, %d rounds: Convert %.2f ms, spawn-and-read %.2f ms, ratio %.3f "
        "(target <= 1.1)\n",
        rounds, 1e3 * convert / rounds, 1e3 * bare / rounds, convert / bare);
  }
  return 0;
}
