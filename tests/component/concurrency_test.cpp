// Conversions on several apartment threads of one process at once, as a
// server runs them: each converter holds only its own two pipe ends, and a
// converter that ends without a fin line is not held up by the others. An
// object used from a thread other than its own: directly it is refused,
// through a proxy it serves.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "client_fixture.h"
#include "test_sink.h"

namespace vorlen::test {
namespace {

constexpr int kThreads = 8;
constexpr DISPID kConvert = 0x60030002;
constexpr DISPID kSetHTML = 0x6003000B;

std::string ReadRecord(const std::wstring& path) {
  std::ifstream in{std::filesystem::path(path), std::ios::binary};
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The number after "name=" in a record; -1 when the line is missing.
int Field(const std::string& record, const std::string& name) {
  const std::size_t at = record.find("\n" + name + "=");
  return at == std::string::npos ? -1 : std::atoi(record.c_str() + at + name.size() + 2);
}

// Lets the threads of a test start together. Not std::barrier: this C++
// library waits on atomics, where the system has no futex, by a check and then
// a condition-variable wait that its notify does not synchronise with, so a
// thread can miss its wake-up and wait forever.
class StartGate {
 public:
  explicit StartGate(int threads) : waiting_(threads) {}
  ~StartGate() { CloseHandle(open_); }
  StartGate(const StartGate&) = delete;
  StartGate& operator=(const StartGate&) = delete;

  void ArriveAndWait() {
    if (waiting_.fetch_sub(1) == 1) SetEvent(open_);
    WaitForSingleObject(open_, INFINITE);
  }

 private:
  std::atomic<int> waiting_;
  HANDLE open_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// What one Convert on a worker thread gave.
struct Outcome {
  LONG result = -1;
  std::vector<std::string> alerts;
  double milliseconds = 0;
  bool anyMarker = false;  // some converter of the load had already ended
};

// One thread of a server: its own apartment, alert catcher and object, whose
// converter is the scripted one; it waits at `start`, then converts each
// scenario in turn.
void Serve(StartGate& start, const std::vector<std::wstring>& scenarios,
           const std::vector<std::wstring>& markers, std::vector<Outcome>& outcomes) {
  Apartment apartment;
  AlertCatcher catcher;
  ComPtr<IClassFactory> factory;
  ComPtr<_Vorlen> object;
  if (SUCCEEDED(OwnModule().getClassObject(CLSID_Vorlen, IID_IClassFactory, factory.put_void()))) {
    factory->CreateInstance(nullptr, IID__Vorlen, object.put_void());
  }
  Bstr converter((BinDir() + L"runner_script_converter.exe").c_str());
  if (object) object->SetVorlenPath(converter.get());
  start.ArriveAndWait();
  for (const std::wstring& scenario : scenarios) {
    Outcome outcome;
    Bstr input(scenario.c_str());
    const auto begin = std::chrono::steady_clock::now();
    if (object) object->Convert(input.get(), nullptr, &outcome.result);
    outcome.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    for (const std::wstring& marker : markers) outcome.anyMarker |= FileExists(marker);
    outcome.alerts = catcher.alerts();
    outcomes.push_back(outcome);
  }
}

std::wstring CensusScenario(const std::wstring& file, const std::wstring& after) {
  return L"scenario:r=" + file + L";" + after;
}

using Concurrency = ClientTest;

TEST_F(Concurrency, EachConverterHoldsOnlyItsOwnTwoPipeEnds) {
  // A host's own inheritable handle, such as its standard output when that is
  // a pipe: no converter may receive it.
  HANDLE hostRead = nullptr, hostWrite = nullptr;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  ASSERT_TRUE(CreatePipe(&hostRead, &hostWrite, &inheritable, 0));

  // A converter alone shows what a process holds of its own.
  const std::wstring alone = TempDir() + L"census-alone.txt";
  {
    StartGate start(1);
    std::vector<Outcome> outcomes;
    std::thread(Serve, std::ref(start), std::vector{CensusScenario(alone, L"o=fin|success\\r\\n")},
                std::vector<std::wstring>{}, std::ref(outcomes))
        .join();
  }
  const std::string reference = ReadRecord(alone);

  constexpr int kRounds = 3;
  std::vector<std::vector<std::wstring>> records(kThreads);
  std::vector<std::vector<Outcome>> outcomes(kThreads);
  std::vector<std::thread> threads;
  StartGate start(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    std::vector<std::wstring> scenarios;
    for (int r = 0; r < kRounds; ++r) {
      records[t].push_back(TempDir() + L"census-" + std::to_wstring(t) + L"-" + std::to_wstring(r) +
                           L".txt");
      scenarios.push_back(CensusScenario(records[t].back(), L"o=fin|success\\r\\n"));
    }
    threads.emplace_back(Serve, std::ref(start), scenarios, std::vector<std::wstring>{},
                         std::ref(outcomes[t]));
  }
  for (std::thread& thread : threads) thread.join();
  CloseHandle(hostRead);
  CloseHandle(hostWrite);

  int clean = 0;
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(outcomes[t].size(), static_cast<std::size_t>(kRounds));
    for (int r = 0; r < kRounds; ++r) {
      EXPECT_EQ(outcomes[t][r].result, 1);
      const std::string record = ReadRecord(records[t][r]);
      const bool own = Field(record, "pipes") == 2 && Field(record, "foreign-pipes") == 0 &&
                       Field(record, "processes") == Field(reference, "processes") &&
                       Field(record, "threads") == Field(reference, "threads");
      EXPECT_TRUE(own) << "thread " << t << ", run " << r << ":\n" << record;
      clean += own;
      DeleteFileW(records[t][r].c_str());
    }
  }
  EXPECT_EQ(Field(reference, "pipes"), 2) << reference;
  EXPECT_EQ(Field(reference, "foreign-pipes"), 0) << reference;
  std::printf("census: %d of %d converters held only their own two pipe ends\n", clean,
              kThreads * kRounds);
  DeleteFileW(alone.c_str());
}

TEST_F(Concurrency, AConverterWithoutFinIsNotHeldUpByTheOthers) {
  // Seven threads start converters that report at once and then live on until
  // the test releases them (a minute at most), each leaving a marker when it
  // ends. Meanwhile the eighth runs converters that end without a fin line:
  // each run must be over while every converter of the load still lives,
  // however slowly this machine starts processes.
  constexpr int kLoadRuns = 2;
  const std::wstring release = TempDir() + L"release-the-load.txt";
  std::vector<std::wstring> markers;
  std::vector<std::vector<std::wstring>> scenarios(kThreads);
  for (int t = 1; t < kThreads; ++t) {
    for (int r = 0; r < kLoadRuns; ++r) {
      markers.push_back(TempDir() + L"ended-" + std::to_wstring(t) + L"-" + std::to_wstring(r) +
                        L".txt");
      scenarios[t].push_back(L"scenario:o=fin|success\\r\\n;w=" + release + L";r=" +
                             markers.back());
    }
  }
  scenarios[0].assign(2, L"scenario:o=msg|inf|l|no fin follows\\r\\n;x=0");

  std::vector<std::vector<Outcome>> outcomes(kThreads);
  std::vector<std::thread> threads;
  StartGate start(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back(Serve, std::ref(start), scenarios[t], markers, std::ref(outcomes[t]));
  }
  for (std::thread& thread : threads) thread.join();
  std::ofstream{std::filesystem::path(release)} << "done";

  for (const Outcome& run : outcomes[0]) {
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.anyMarker) << "the run waited for a converter of another thread to end";
    std::printf("no fin under load: %.0f ms\n", run.milliseconds);
  }
  EXPECT_EQ(outcomes[0].empty() ? std::vector<std::string>{} : outcomes[0].back().alerts,
            (std::vector<std::string>{"retV = 0", "retV = 0"}));
  for (int t = 1; t < kThreads; ++t) {
    for (const Outcome& run : outcomes[t]) EXPECT_EQ(run.result, 1);
  }
  // Released, the load's converters end by themselves; their markers are left behind.
  for (const std::wstring& marker : markers) {
    for (int i = 0; i < 100 && !FileExists(marker); ++i) Sleep(100);
    DeleteFileW(marker.c_str());
  }
  DeleteFileW(release.c_str());
}

// Invoke of a method with one argument, which stays the caller's.
HRESULT InvokeWith(IDispatch* dispatch, DISPID id, VARIANTARG argument, VARIANT* result) {
  DISPPARAMS params{&argument, nullptr, 1, 0};
  return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

VARIANTARG True() {
  VARIANTARG flag;
  VariantInit(&flag);
  V_VT(&flag) = VT_BOOL;
  V_BOOL(&flag) = VARIANT_TRUE;
  return flag;
}

// What the calls through a direct pointer gave on a thread of their own.
struct ForeignCalls {
  HRESULT setter = S_OK, convert = S_OK, invoke = S_OK, typeInfoCount = S_OK, query = E_FAIL;
  HRESULT advise = S_OK, unadvise = S_OK;
  DWORD cookie = 7;
};

ForeignCalls CallDirectly(_Vorlen* object, IConnectionPoint* point, DWORD cookie, BSTR input,
                          IDispatch* sink) {
  ForeignCalls calls;
  calls.setter = object->SetHTML(VARIANT_TRUE);
  LONG result = 0;
  calls.convert = object->Convert(input, nullptr, &result);
  ComPtr<IDispatch> dispatch;
  calls.query = object->QueryInterface(IID_IDispatch, dispatch.put_void());
  if (dispatch) calls.invoke = InvokeWith(dispatch.get(), kSetHTML, True(), nullptr);
  UINT count = 0;
  calls.typeInfoCount = object->GetTypeInfoCount(&count);
  calls.advise = point->Advise(sink, &calls.cookie);
  calls.unadvise = point->Unadvise(cookie);
  return calls;
}

TEST_F(Concurrency, ADirectPointerIsRefusedOnAnotherThreadAndAProxyIsServed) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  const ComPtr<IConnectionPoint> point = PointOf(object.get());
  ASSERT_TRUE(point);
  ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(TestSink::Create());
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(sink.get(), &cookie), S_OK);
  const std::wstring lines = L"msg|inf|a|one event\\r\\nfin|success\\r\\n";

  const Bstr foreign = Recording(lines);
  for (const bool inApartment : {false, true}) {
    ForeignCalls calls;
    std::thread([&] {
      std::optional<Apartment> apartment;
      if (inApartment) apartment.emplace();
      calls = CallDirectly(object.get(), point.get(), cookie, foreign.get(), sink.get());
    }).join();
    const char* where = inApartment ? "another apartment's thread" : "a thread without COM";
    EXPECT_EQ(calls.setter, RPC_E_WRONG_THREAD) << where;
    EXPECT_EQ(calls.convert, RPC_E_WRONG_THREAD) << where;
    EXPECT_EQ(calls.query, S_OK) << where << ": IUnknown serves every thread";
    EXPECT_EQ(calls.invoke, RPC_E_WRONG_THREAD) << where;
    EXPECT_EQ(calls.typeInfoCount, RPC_E_WRONG_THREAD) << where;
    EXPECT_EQ(calls.advise, RPC_E_WRONG_THREAD) << where;
    EXPECT_EQ(calls.cookie, 0u) << where;
    EXPECT_EQ(calls.unadvise, RPC_E_WRONG_THREAD) << where;
  }
  EXPECT_EQ(RecordedCommandLine(), "(no record)") << "a converter was started";

  // On its own thread the object has its old settings and its connection.
  const Bstr own = Recording(lines);
  LONG result = 0;
  ASSERT_EQ(object->Convert(own.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(RecordedCommandLine(), "--server \"" + Narrow(own.get()) + "\"");
  EXPECT_EQ(sink->calls.size(), 1u);

  // Through a proxy the same calls arrive on the object's thread, which
  // serves them while it waits for the other thread to finish. (IDispatch:
  // its proxy needs no registration.)
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, object.get(), &stream), S_OK);
  const Bstr proxied = Recording(lines);
  HRESULT setter = E_FAIL, convert = E_FAIL;
  VARIANT converted;
  VariantInit(&converted);
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    {
      Apartment apartment;
      ComPtr<IDispatch> proxy;
      if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, proxy.put_void()))) {
        setter = InvokeWith(proxy.get(), kSetHTML, True(), nullptr);
        VARIANTARG input;
        VariantInit(&input);
        V_VT(&input) = VT_BSTR;
        V_BSTR(&input) = proxied.get();
        convert = InvokeWith(proxy.get(), kConvert, input, &converted);
      }
    }
    SetEvent(done);
  });
  DWORD index = 0;
  EXPECT_EQ(CoWaitForMultipleHandles(0, INFINITE, 1, &done, &index), S_OK);
  worker.join();
  CloseHandle(done);
  EXPECT_EQ(setter, S_OK);
  EXPECT_EQ(convert, S_OK);
  EXPECT_EQ(V_VT(&converted), VT_I4);
  EXPECT_EQ(V_I4(&converted), 1);
  EXPECT_EQ(RecordedCommandLine(), "--server -i html \"" + Narrow(proxied.get()) + "\"");
  EXPECT_EQ(sink->calls.size(), 2u);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
}

}  // namespace
}  // namespace vorlen::test
