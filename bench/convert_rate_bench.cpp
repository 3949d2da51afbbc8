// One conversion after another, as a macro or a script runs them: Convert
// through VORLEN.dll from STA threads with their message queues, against the
// plainest loop that starts the same converter on the same kind of pipes and
// reads with blocking reads until the fin line; the same for the timed route,
// the runner as it was before it could wait on its pipe, run in this process
// on an anonymous pipe; on 1, 8 and 32 threads. Then the CPU that a run takes
// while its converter stays silent. The sides take turns round by round, so
// that both see the same load. Windows trees, run under Wine by hand; it
// prints figures and targets, it is not a test.
//   convert_rate_bench [rounds [conversions]]   conversions per thread and round
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VorlenCOM.h"
#include "bench/com_registration.h"
#include "bench/plain_start.h"
#include "channel/forwarding_platform.h"
#include "channel/platform.h"
#include "component/bstr.h"
#include "component/com_ptr.h"
#include "job/command_line.h"
#include "job/vorlen.h"

namespace {

using vorlen::PipeDirection;
using vorlen::Platform;
using vorlen::Text;
using vorlen::WaitRoute;
using vorlen::bench::BinDir;
using vorlen::bench::Check;
using vorlen::com::Bstr;
using vorlen::com::ComPtr;
using Clock = std::chrono::steady_clock;

// Three message lines and a fin line, each its own write.
constexpr const char* kChatty =
    "scenario:o=msg|inf|bench.html:1|first line\\r\\n;o=msg|inf|bench.html:2|second line\\r\\n;"
    "o=msg|inf|bench.html:3|third line\\r\\n;o=fin|success\\r\\n";
constexpr const char* kSilent = "scenario:s=2000;o=fin|success\\r\\n";

const char* RouteName(WaitRoute route) {
  switch (route) {
    case WaitRoute::ZeroByteRead:
      return "zero-byte read (a named pipe's overlapped read end)";
    case WaitRoute::Poll:
      return "poll";
    case WaitRoute::Timed:
      break;
  }
  return "timed (the pipe cannot be waited on)";
}

// The route this process's own channel code takes on a converter's output.
WaitRoute SystemRoute() {
  const vorlen::Pipe pipe = vorlen::SystemPlatform().CreatePipe(PipeDirection::FromChild);
  return pipe ? vorlen::SystemPlatform().OutputWaitRoute(pipe.read->handle) : WaitRoute::Timed;
}

// The system's platform with the converter's output on an anonymous pipe,
// which cannot be waited on: the runner takes the timed route.
class TimedRoutePlatform final : public vorlen::ForwardingPlatform {
 public:
  vorlen::Pipe CreatePipe(PipeDirection) override {
    return ForwardingPlatform::CreatePipe(PipeDirection::ToChild);
  }
};

Text ConverterPath() {
  const std::wstring path = BinDir() + L"runner_script_converter.exe";
  return Text(path.begin(), path.end());
}

// The plain loop's one conversion: true when the fin line said "success".
bool PlainUntilFin(const Text& program, const Text& commandLine) {
  Platform& p = vorlen::SystemPlatform();
  const vorlen::OwnedHandle outRead = vorlen::bench::StartPlain(p, program, commandLine);
  if (!outRead) return false;
  std::string seen;
  char buffer[256];
  std::uint32_t got = 0;
  while (p.Read(outRead->handle, buffer, sizeof buffer, got) && got > 0) {
    seen.append(buffer, got);
    const std::size_t fin = seen.rfind("fin|");
    if (fin == std::string::npos || (fin > 0 && seen[fin - 1] != '\n')) continue;
    const std::size_t end = seen.find("\r\n", fin);
    if (end != std::string::npos) return seen.compare(fin, end - fin, "fin|success") == 0;
  }
  return false;
}

// One conversion on the calling thread, made ready before the clock starts.
using Operation = std::function<bool()>;
using Prepare = std::function<Operation()>;

Operation ThroughDll(const Text& xml) {
  CLSID clsid{};
  Check(CLSIDFromProgID(L"VorlenCOM.Vorlen", &clsid), "CLSIDFromProgID");
  auto object = std::make_shared<ComPtr<_Vorlen>>();
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Vorlen, object->put_void()),
        "CoCreateInstance");
  const Bstr exe(ConverterPath());
  Check((*object)->SetVorlenPath(exe.get()), "SetVorlenPath");
  auto input = std::make_shared<Bstr>(xml);
  return [object, input] {
    LONG result = 0;
    return SUCCEEDED((*object)->Convert(input->get(), nullptr, &result)) && result == 1;
  };
}

Operation InProcess(Platform& platform, const Text& xml) {
  auto job = std::make_shared<vorlen::Vorlen>(platform);
  job->settings().SetVorlenPath(ConverterPath());
  return [job, xml] { return job->Convert(xml) == 1; };
}

Operation Plain(const Text& xml) {
  vorlen::Settings settings;
  settings.SetVorlenPath(ConverterPath());
  const Text commandLine = vorlen::BuildCommandLine(settings, xml, Text());
  return [commandLine] { return PlainUntilFin(ConverterPath(), commandLine); };
}

// The count of what is still to happen, and a wait for none. (GCC 12's
// std::latch can miss its wake-up where the system lacks a futex.)
class Countdown {
 public:
  explicit Countdown(int count) : count_(count) {}
  void CountDown() {
    const std::lock_guard lock(mutex_);
    if (--count_ == 0) zero_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    zero_.wait(lock, [this] { return count_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable zero_;
  int count_;
};

struct Batch {
  double seconds = 0;
  long failures = 0;
};

// `perThread` conversions on each of `threads` STA threads with their message
// queues, all started together: the time from that start to the last end.
Batch RunBatch(int threads, int perThread, const Prepare& prepare) {
  Countdown ready(threads), start(1), finished(threads);
  std::atomic<long> failures{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&] {
      Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the thread's queue
      {
        const Operation op = prepare();
        ready.CountDown();
        start.Wait();
        for (int i = 0; i < perThread; ++i) {
          if (!op()) ++failures;
        }
        finished.CountDown();
      }
      CoUninitialize();
    });
  }
  ready.Wait();
  const auto t0 = Clock::now();
  start.CountDown();
  finished.Wait();
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  for (std::thread& thread : pool) thread.join();
  return {seconds, failures.load()};
}

struct Side {
  const char* name;
  Prepare prepare;
  Batch total;
};

void Rates(int threads, int rounds, int perThread, std::vector<Side>& sides) {
  for (Side& side : sides) side.total = Batch{};
  RunBatch(threads, 1, sides.front().prepare);  // warms the paths before timing
  for (int round = 0; round < rounds; ++round) {
    for (Side& side : sides) {
      const Batch batch = RunBatch(threads, perThread, side.prepare);
      side.total.seconds += batch.seconds;
      side.total.failures += batch.failures;
    }
  }
  const double conversions = static_cast<double>(threads) * perThread * rounds;
  const double plain = conversions / sides.back().total.seconds;
  for (const Side& side : sides) {
    const double rate = conversions / side.total.seconds;
    std::printf("  %2d thread%s  %-44s %7.1f /s", threads, threads == 1 ? " " : "s", side.name,
                rate);
    if (&side != &sides.back()) std::printf("  ratio %.2f", rate / plain);
    if (side.total.failures != 0) std::printf("  (%ld failed)", side.total.failures);
    std::printf("\n");
  }
}

// The converting thread's own CPU: a run waits on the thread that called it.
// (Wine's process times drop the threads that have ended, so they can fall;
// its thread times come in 10 ms steps and can read a hair lower later.)
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto value = [](FILETIME f) {
    return (static_cast<double>(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) * 1e-7;
  };
  return value(kernel) + value(user);
}

void SilentCpu(const char* name, const Operation& op) {
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  const bool ok = op();
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = std::max(0.0, CpuSeconds() - cpu0);
  std::printf("  %-46s %s, wall %.2f s, CPU %.4f s = %.2f%% of one core\n", name,
              ok ? "success" : "FAILED", wall, cpu, 100.0 * cpu / wall);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const int conversions = argc > 2 ? std::atoi(argv[2]) : 10;
  Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
  {
    vorlen::bench::Registration registration;
    TimedRoutePlatform timed;
    const Text chatty = vorlen::FromUtf8(kChatty);
    std::printf("convert_rate_bench, %d-bit: route %s\n", static_cast<int>(sizeof(void*) * 8),
                RouteName(SystemRoute()));
    std::printf(
        "one conversion after another (three message lines and a fin line), %d rounds; "
        "ratio against the plain loop, target >= 0.9 on one thread for VORLEN.dll\n",
        rounds);
    std::vector<Side> sides{
        {"Convert through VORLEN.dll", [&] { return ThroughDll(chatty); }, {}},
        {"Convert in process on the timed route", [&] { return InProcess(timed, chatty); }, {}},
        {"plain loop, blocking reads until the fin line", [&] { return Plain(chatty); }, {}},
    };
    Rates(1, rounds, conversions, sides);
    Rates(8, rounds, std::max(1, conversions / 2), sides);
    Rates(32, rounds, std::max(1, conversions / 8), sides);

    std::printf("(a) a converter silent for 2 s, one run; the CPU should fall toward zero\n");
    const Text silent = vorlen::FromUtf8(kSilent);
    SilentCpu("Convert through VORLEN.dll", ThroughDll(silent));
    SilentCpu("Convert in process on the timed route", InProcess(timed, silent));
  }
  CoUninitialize();
  return 0;
}
