// A C++ client's view of the events: the connection point and its
// enumerators, Message as the sinks receive it, sinks that write into their
// arguments, fail, or release the object from inside a handler; the alerts of
// a run; and a real conversion through the stand-in converter.
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "client_fixture.h"
#include "test_sink.h"

// Not in every SDK's headers; takes no arguments, so the convention is moot.
extern "C" void SetOaNoCache();

namespace vorlen::test {
namespace {

// A sink with its connection, undone at the end of the scope.
class Connection {
 public:
  Connection(IUnknown* object, IDispatch* sink) {
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(DIID___Vorlen, point_.put()), S_OK);
    EXPECT_EQ(point_->Advise(sink, &cookie_), S_OK);
    EXPECT_NE(cookie_, 0u);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    if (point_ && cookie_) {
      EXPECT_EQ(point_->Unadvise(cookie_), S_OK);
    }
  }
  DWORD cookie() const { return cookie_; }
  IConnectionPoint* point() const { return point_.get(); }

 private:
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

const wchar_t kTwoMessages[] =
    L"msg|wrn|a.html:3|bad|thing\\r\\nmsg|err||\\r\\nmsg|inf|x.css|done\\r\\nfin|success\\r\\n";

using Events = ClientTest;

TEST_F(Events, ConnectionPointAndItsEnumerators) {
  ComPtr<_Vorlen> object = Create();
  ASSERT_TRUE(object);
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(object.As(IID_IConnectionPointContainer, container), S_OK);
  ComPtr<IConnectionPoint> none;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, none.put()), CONNECT_E_NOCONNECTION);

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
  IConnectionPoint* fetched[2] = {};
  ULONG count = 0;
  ASSERT_EQ(points->Next(2, fetched, &count), S_FALSE);
  ASSERT_EQ(count, 1u);
  ComPtr<IConnectionPoint> point = ComPtr<IConnectionPoint>::Adopt(fetched[0]);
  IID iid{};
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(IsEqualIID(iid, DIID___Vorlen));
  ComPtr<IConnectionPointContainer> back;
  EXPECT_EQ(point->GetConnectionPointContainer(back.put()), S_OK);
  EXPECT_EQ(back.get(), container.get());
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Skip(1), S_OK);
  EXPECT_EQ(points->Skip(1), S_FALSE);
  ComPtr<IEnumConnectionPoints> clone;
  EXPECT_EQ(points->Clone(clone.put()), S_OK);

  ComPtr<TestSink> first = ComPtr<TestSink>::Adopt(TestSink::Create());
  ComPtr<TestSink> second = ComPtr<TestSink>::Adopt(TestSink::Create());
  DWORD cookie1 = 0, cookie2 = 0;
  ASSERT_EQ(point->Advise(first.get(), &cookie1), S_OK);
  ASSERT_EQ(point->Advise(second.get(), &cookie2), S_OK);
  EXPECT_NE(cookie1, cookie2);

  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(connections.put()), S_OK);
  CONNECTDATA data[3] = {};
  ASSERT_EQ(connections->Next(3, data, &count), S_FALSE);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(data[0].dwCookie, cookie1);
  EXPECT_EQ(data[1].dwCookie, cookie2);
  for (ULONG i = 0; i < count; ++i) data[i].pUnk->Release();

  EXPECT_EQ(point->Unadvise(cookie1), S_OK);
  EXPECT_EQ(point->Unadvise(cookie1), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(cookie2), S_OK);

  // Something that is no dispatch sink cannot connect.
  DWORD cookie = 7;
  EXPECT_EQ(point->Advise(point.get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
}

TEST_F(Events, TheConnectionPointIsPartOfItsObject) {
  _Vorlen* object = Create().detach();
  ASSERT_NE(object, nullptr);
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(object->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
  ComPtr<IConnectionPoint> point, again, listed;
  ASSERT_EQ(container->FindConnectionPoint(DIID___Vorlen, point.put()), S_OK);
  ASSERT_EQ(container->FindConnectionPoint(DIID___Vorlen, again.put()), S_OK);
  EXPECT_EQ(point.get(), again.get());
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
  ASSERT_EQ(points->Next(1, listed.put(), nullptr), S_OK);
  EXPECT_EQ(listed.get(), point.get());
  again.Reset();
  listed.Reset();
  points.Reset();

  // A sink connected through the point, which alone holds the object now.
  ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(TestSink::Create());
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(sink.get(), &cookie), S_OK);
  container.Reset();
  object->Release();
  EXPECT_EQ(OwnModule().canUnloadNow(), S_FALSE) << "the point keeps its object";
  ASSERT_EQ(point->GetConnectionPointContainer(container.put()), S_OK);
  ComPtr<IConnectionPoint> found;
  ASSERT_EQ(container->FindConnectionPoint(DIID___Vorlen, found.put()), S_OK);
  EXPECT_EQ(found.get(), point.get());
  found.Reset();
  container.Reset();
  point.Reset();
  EXPECT_EQ(OwnModule().canUnloadNow(), S_OK) << "and goes with it, its sinks released";
  EXPECT_EQ(sink->AddRef(), 2u);
  sink->Release();
}

TEST_F(Events, MessageReachesEverySinkAsInvokeOfIdentifierOne) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  ComPtr<TestSink> first = ComPtr<TestSink>::Adopt(TestSink::Create());
  ComPtr<TestSink> second = ComPtr<TestSink>::Adopt(TestSink::Create());
  Connection one(object.get(), first.get()), two(object.get(), second.get());

  const Bstr input = Scenario(kTwoMessages);
  LONG result = 0;
  ASSERT_EQ(object->Convert(input.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  for (TestSink* sink : {first.get(), second.get()}) {
    ASSERT_EQ(sink->calls.size(), 3u);
    const ReceivedCall& call = sink->calls[0];
    EXPECT_EQ(call.id, 1);
    EXPECT_EQ(call.flags, DISPATCH_METHOD);
    EXPECT_EQ(call.args, 3u);
    EXPECT_EQ(call.namedArgs, 0u);
    EXPECT_EQ(call.types, (std::vector<VARTYPE>(3, VT_BYREF | VT_BSTR)));
    EXPECT_EQ(call.msgType, "wrn");
    EXPECT_EQ(call.msgLocation, "a.html:3");
    EXPECT_EQ(call.msg, "bad|thing");
    EXPECT_EQ(sink->calls[1].msgType, "err");
    EXPECT_EQ(sink->calls[1].msgLocation, "");
    EXPECT_EQ(sink->calls[1].msg, "");
    EXPECT_EQ(sink->calls[2].msgLocation, "x.css");
    EXPECT_EQ(sink->calls[2].msg, "done");
  }
  EXPECT_TRUE(alerts().empty());
}

TEST_F(Events, SinksThatWriteIntoTheirArgumentsOrFailChangeNothing) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  ComPtr<TestSink> writer = ComPtr<TestSink>::Adopt(TestSink::Create());
  ComPtr<TestSink> failing = ComPtr<TestSink>::Adopt(TestSink::Create());
  ComPtr<TestSink> last = ComPtr<TestSink>::Adopt(TestSink::Create());
  writer->overwriteArguments = true;
  failing->answer = E_FAIL;
  Connection a(object.get(), writer.get()), b(object.get(), failing.get()),
      c(object.get(), last.get());

  const Bstr input = Scenario(kTwoMessages);
  LONG result = 0;
  ASSERT_EQ(object->Convert(input.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1) << "a failing sink does not end the conversion";
  ASSERT_EQ(last->calls.size(), 3u) << "nor keep the later sinks from their events";
  EXPECT_EQ(last->calls[0].msgType, "wrn");
  EXPECT_EQ(last->calls[0].msgLocation, "a.html:3");
  EXPECT_EQ(last->calls[0].msg, "bad|thing");
  EXPECT_EQ(writer->calls[1].msgType, "err") << "each event starts from the raiser's own texts";
  EXPECT_EQ(failing->calls.size(), 3u);
}

// Fails the next allocation of the task allocator (through which BSTRs are
// made) once armed; passes everything else through.
class FailingAllocator final : public IMallocSpy {
 public:
  bool armed = false;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMallocSpy)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override {
    return std::exchange(armed, false) ? 0 : size;  // 0 makes the allocation fail
  }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override { return request; }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** next, BOOL) override {
    *next = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

// A sink that claims the event interface and IDispatch but answers both
// with a null pointer.
class NullAnsweringSink final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) *object = this;
    const bool claimed = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, DIID___Vorlen) ||
                         IsEqualIID(iid, IID_IDispatch);
    return claimed ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TEST_F(Events, ASinkThatAnswersWithANullPointerIsRefusedAndTheHostLives) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  const ComPtr<IConnectionPoint> point = PointOf(object.get());
  ASSERT_TRUE(point);
  NullAnsweringSink sink;
  DWORD cookie = 7;
  EXPECT_EQ(point->Advise(&sink, &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(connections.put()), S_OK);
  EXPECT_EQ(connections->Skip(1), S_FALSE) << "nothing was connected";

  const Bstr input = Scenario(kTwoMessages);
  LONG result = 0;
  ASSERT_EQ(object->Convert(input.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
}

// A sink whose event cannot be made for lack of memory misses that event;
// the other sinks and the conversion go on.
TEST_F(Events, ASinkOutOfMemoryMissesItsEventAndNothingElse) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  SetOaNoCache();  // every BSTR from the task allocator
  FailingAllocator allocator;
  ASSERT_EQ(CoRegisterMallocSpy(&allocator), S_OK);
  ComPtr<TestSink> first = ComPtr<TestSink>::Adopt(TestSink::Create());
  ComPtr<TestSink> second = ComPtr<TestSink>::Adopt(TestSink::Create());
  bool once = true;
  first->onMessage = [&] { allocator.armed = std::exchange(once, false); };
  LONG result = 0;
  HRESULT hr = E_FAIL;
  {
    Connection a(object.get(), first.get()), b(object.get(), second.get());
    const Bstr input = Scenario(kTwoMessages);
    hr = object->Convert(input.get(), nullptr, &result);
  }
  CoRevokeMallocSpy();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(first->calls.size(), 3u);
  ASSERT_EQ(second->calls.size(), 2u) << "the second sink misses only the first event";
  EXPECT_EQ(second->calls[0].msgType, "err");
}

TEST_F(Events, ReleasingTheLastReferenceInsideAHandler) {
  _Vorlen* object = CreateScripted().detach();
  ASSERT_NE(object, nullptr);
  ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(TestSink::Create());
  {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(object->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(DIID___Vorlen, point.put()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sink.get(), &cookie), S_OK);
  }
  HRESULT duringHandler = E_FAIL;
  sink->onMessage = [&] {
    if (object == nullptr) return;
    object->Release();  // the client's last reference
    object = nullptr;
    duringHandler = OwnModule().canUnloadNow();
  };
  _Vorlen* caller = object;
  const Bstr input = Scenario(kTwoMessages);
  LONG result = 0;
  EXPECT_EQ(caller->Convert(input.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(duringHandler, S_FALSE) << "the running call keeps the object";
  EXPECT_EQ(sink->calls.size(), 3u) << "the run went on after the release";
  EXPECT_EQ(OwnModule().canUnloadNow(), S_OK) << "and the object went with the call's reference";
}

TEST_F(Events, ASinkThatDisconnectsItselfInsideItsHandler) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  ComPtr<TestSink> leaving = ComPtr<TestSink>::Adopt(TestSink::Create());
  ComPtr<TestSink> staying = ComPtr<TestSink>::Adopt(TestSink::Create());
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(object.As(IID_IConnectionPointContainer, container), S_OK);
  ASSERT_EQ(container->FindConnectionPoint(DIID___Vorlen, point.put()), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(leaving.get(), &cookie), S_OK);
  Connection stays(object.get(), staying.get());
  HRESULT unadvised = E_FAIL;
  leaving->onMessage = [&] {
    if (cookie != 0) unadvised = point->Unadvise(std::exchange(cookie, 0));
  };

  const Bstr input = Scenario(kTwoMessages);
  LONG result = 0;
  ASSERT_EQ(object->Convert(input.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(unadvised, S_OK);
  EXPECT_EQ(leaving->calls.size(), 1u) << "no events after it left";
  EXPECT_EQ(staying->calls.size(), 3u);
}

TEST_F(Events, AQuitPostedFromAHandlerReachesTheHostLoopAfterConvert) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(TestSink::Create());
  Connection connection(object.get(), sink.get());
  sink->onMessage = [&] {
    if (sink->calls.size() == 1) PostQuitMessage(42);
  };
  // The second line is longer than one read: the first Message is raised in
  // a cycle of its own, whose messages are then pumped.
  const Bstr input = Scenario(L"msg|inf|a|first\\r\\nmsg|inf|b|" + std::wstring(300, L'x') +
                              L"\\r\\nfin|success\\r\\n");
  LONG result = 0;
  ASSERT_EQ(object->Convert(input.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(sink->calls.size(), 2u) << "the run goes on to its end";
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was lost";
  EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(Events, AlertsOfARunAndNoSinkConnected) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  LONG result = 0;
  const Bstr badBody = Scenario(L"msg|wrnX\\r\\nfin|success\\r\\n");
  ASSERT_EQ(object->Convert(badBody.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  const Bstr badFin = Scenario(L"fin|Success\\r\\n");
  ASSERT_EQ(object->Convert(badFin.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(alerts(),
            (std::vector<std::string>{"Incorrect Error Format From Vorlen", "unknown Fin value!"}));

  Bstr missing(L"C:\\no\\such\\vorlen.exe");
  ASSERT_EQ(object->SetVorlenPath(missing.get()), S_OK);
  Bstr input(L"in.xml");
  ASSERT_EQ(object->Convert(input.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(alerts().size(), 3u);
  EXPECT_EQ(alerts()[2],
            "Could not start the vorlen.exe program: C:\\no\\such\\vorlen.exe --server \"in.xml\"");
}

TEST_F(Events, TheStandInConverterConvertsTheSample) {
  const std::wstring converter = BinDir() + L"vorlen.exe";
  if (!FileExists(converter)) GTEST_SKIP() << "the stand-in converter is not built";
  ComPtr<_Vorlen> object = Create();
  ASSERT_TRUE(object);
  ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(TestSink::Create());
  Connection connection(object.get(), sink.get());
  Bstr exe(converter.c_str());
  ASSERT_EQ(object->SetVorlenPath(exe.get()), S_OK);
  ASSERT_EQ(object->SetHTML(VARIANT_TRUE), S_OK);
  Bstr input((SourceDir() + L"\\examples\\sample.html").c_str());
  const std::wstring pdf = TempDir() + L"sample.pdf";
  DeleteFileW(pdf.c_str());
  Bstr output(pdf.c_str());
  LONG result = 0;
  ASSERT_EQ(object->Convert(input.get(), output.get(), &result), S_OK);
  EXPECT_EQ(result, 1);
  std::ifstream in(std::filesystem::path(pdf), std::ios::binary);
  std::string head(5, '\0');
  in.read(head.data(), 5);
  EXPECT_EQ(head, "%PDF-");
  EXPECT_TRUE(alerts().empty());
}

}  // namespace
}  // namespace vorlen::test
