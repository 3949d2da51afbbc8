// The cost of using Vorlen through COM, side by side with the system's own
// Scripting.Dictionary created through CoCreateInstance and called the same
// way, in one process (run under Wine). Prints figures and ratios with the
// targets they are meant to meet; it is not a test.
//   component_bench [batches]      the three cases, ratios Vorlen / Dictionary
//   component_bench memory [MB]    one status line of MB megabytes (default 50)
//                                  with one sink: peak working set
#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "VorlenCOM.h"
#include "bench/com_registration.h"
#include "component/bstr.h"
#include "component/com_class.h"
#include "component/com_ptr.h"

namespace {

using vorlen::com::Bstr;
using vorlen::com::ComPtr;
using Clock = std::chrono::steady_clock;
using vorlen::bench::BinDir;
using vorlen::bench::Check;
using vorlen::bench::Fail;
using vorlen::bench::Registration;

// A sink that counts what it receives; it lives as long as the program.
class CountingSink final
    : public vorlen::com::ComClass<CountingSink, vorlen::com::StaticLifetime, IDispatch> {
 public:
  CountingSink() = default;
  std::array<vorlen::com::Answer, 3> Interfaces() {
    return {{{&IID_IUnknown, this}, {&IID_IDispatch, this}, {&DIID___Vorlen, this}}};
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    ++events;
    if (params != nullptr && params->cArgs == 3 &&
        V_VT(&params->rgvarg[0]) == (VT_BYREF | VT_BSTR)) {
      characters += SysStringLen(*V_BSTRREF(&params->rgvarg[0]));
    }
    return S_OK;
  }
  long events = 0;
  std::size_t characters = 0;
};

// One side of the comparison: a class, the method called late-bound with one
// string argument, and how a sink is connected and disconnected.
struct Side {
  const wchar_t* progId;
  const wchar_t* method;
  CLSID clsid{};
};

ComPtr<IDispatch> Create(const Side& side) {
  ComPtr<IDispatch> object;
  Check(
      CoCreateInstance(side.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void()),
      "CoCreateInstance");
  return object;
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  Check(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
  return id;
}

void InvokeWithText(IDispatch* object, DISPID id, BSTR text) {
  VARIANTARG arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = text;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  VARIANT result;
  VariantInit(&result);
  Check(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                       nullptr, nullptr),
        "Invoke");
  VariantClear(&result);
}

// Case 3 for Vorlen: the client's whole subscription on an object it keeps.
void AdviseUnadvise(IConnectionPointContainer* container, IDispatch* sink) {
  ComPtr<IConnectionPoint> point;
  Check(container->FindConnectionPoint(DIID___Vorlen, point.put()), "FindConnectionPoint");
  DWORD cookie = 0;
  Check(point->Advise(sink, &cookie), "Advise");
  Check(point->Unadvise(cookie), "Unadvise");
}

// Case 3 for the Dictionary, which has no events: keeping the sink under a
// key and dropping it again (Add and Remove), called through the method table
// as Advise and Unadvise are. The entries come from its type information.
class DictionaryKeeping {
 public:
  explicit DictionaryKeeping(IDispatch* dictionary) {
    ComPtr<ITypeInfo> dispatchInfo, info;
    Check(dictionary->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchInfo.put()), "GetTypeInfo");
    HREFTYPE vtableSide = 0;
    Check(dispatchInfo->GetRefTypeOfImplType(-1, &vtableSide), "GetRefTypeOfImplType");
    Check(dispatchInfo->GetRefTypeInfo(vtableSide, info.put()), "GetRefTypeInfo");
    TYPEATTR* attr = nullptr;
    Check(info->GetTypeAttr(&attr), "GetTypeAttr");
    const IID iid = attr->guid;
    info->ReleaseTypeAttr(attr);
    Check(dictionary->QueryInterface(iid, interface_.put_void()), "QueryInterface");
    add_ = Entry<Add>(info.get(), L"Add");
    remove_ = Entry<Remove>(info.get(), L"Remove");
  }

  void Keep(IDispatch* sink, BSTR key) {
    VARIANT k, item;
    VariantInit(&k);
    V_VT(&k) = VT_BSTR;
    V_BSTR(&k) = key;
    VariantInit(&item);
    V_VT(&item) = VT_DISPATCH;
    V_DISPATCH(&item) = sink;
    Check(add_(interface_.get(), &k, &item), "Dictionary Add");
    Check(remove_(interface_.get(), &k), "Dictionary Remove");
  }

 private:
  using Add = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, VARIANT*, VARIANT*);
  using Remove = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, VARIANT*);

  template <class F>
  F Entry(ITypeInfo* info, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    MEMBERID id = MEMBERID_NIL;
    Check(info->GetIDsOfNames(names, 1, &id), "GetIDsOfNames (vtable)");
    TYPEATTR* attr = nullptr;
    Check(info->GetTypeAttr(&attr), "GetTypeAttr");
    const UINT functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < functions; ++i) {
      FUNCDESC* func = nullptr;
      Check(info->GetFuncDesc(i, &func), "GetFuncDesc");
      const bool match = func->memid == id && func->invkind == INVOKE_FUNC;
      const SHORT offset = func->oVft;
      info->ReleaseFuncDesc(func);
      if (match) {
        void** table = *reinterpret_cast<void***>(interface_.get());
        return reinterpret_cast<F>(table[offset / static_cast<SHORT>(sizeof(void*))]);
      }
    }
    Fail("finding a Dictionary method", E_FAIL);
  }

  ComPtr<IUnknown> interface_;
  Add add_ = nullptr;
  Remove remove_ = nullptr;
};

// Seconds per operation: the median over batches, the two sides taking turns
// batch by batch so that both see the same load.
struct Pair {
  double vorlen, dictionary;
};
Pair Measure(int batches, int perBatch, const std::function<void()>& ours,
             const std::function<void()>& theirs) {
  std::vector<double> a, b;
  const auto batch = [&](const std::function<void()>& op) {
    const auto t0 = Clock::now();
    for (int i = 0; i < perBatch; ++i) op();
    return std::chrono::duration<double>(Clock::now() - t0).count() / perBatch;
  };
  ours();  // warm both paths before timing
  theirs();
  for (int i = 0; i < batches; ++i) {
    a.push_back(batch(ours));
    b.push_back(batch(theirs));
  }
  const auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  return {median(a), median(b)};
}

void Print(const char* name, Pair p) {
  std::printf("%-44s Vorlen %9.2f us  Dictionary %9.2f us  ratio %.2f (target <= 1.2)\n", name,
              p.vorlen * 1e6, p.dictionary * 1e6, p.vorlen / p.dictionary);
}

void Speed(int batches) {
  Side vorlen{L"VorlenCOM.Vorlen", L"SetVorlenPath"};
  Side dictionary{L"Scripting.Dictionary", L"Exists"};
  Check(CLSIDFromProgID(vorlen.progId, &vorlen.clsid), "CLSIDFromProgID (Vorlen)");
  Check(CLSIDFromProgID(dictionary.progId, &dictionary.clsid), "CLSIDFromProgID (Dictionary)");
  const Bstr text(L"C:\\Program Files\\Vorlen\\vorlen.exe");

  const auto createCall = [&](const Side& side) {
    return [&] {
      ComPtr<IDispatch> object = Create(side);
      InvokeWithText(object.get(), IdOf(object.get(), side.method), text.get());
    };
  };
  Print("(1) create + GetIDsOfNames + Invoke + Release",
        Measure(batches, 20, createCall(vorlen), createCall(dictionary)));

  ComPtr<IDispatch> ours = Create(vorlen), theirs = Create(dictionary);
  const DISPID ourId = IdOf(ours.get(), vorlen.method);
  const DISPID theirId = IdOf(theirs.get(), dictionary.method);
  const auto ourCall = [&] { InvokeWithText(ours.get(), ourId, text.get()); };
  const auto theirCall = [&] { InvokeWithText(theirs.get(), theirId, text.get()); };
  Print("(2) Invoke on a kept object", Measure(batches, 20000, ourCall, theirCall));

  CountingSink sink;
  ComPtr<IConnectionPointContainer> container;
  Check(ours.As(IID_IConnectionPointContainer, container), "IConnectionPointContainer");
  DictionaryKeeping keeping(theirs.get());
  const Bstr key(L"sink");
  const auto ourAdvise = [&] { AdviseUnadvise(container.get(), &sink); };
  const auto theirKeeping = [&] { keeping.Keep(&sink, key.get()); };
  Print("(3) Advise + Unadvise (Dictionary: Add + Remove)",
        Measure(batches, 20000, ourAdvise, theirKeeping));
}

double WorkingSetMB(bool peak) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / 1e6;
}

// One message line of `megabytes` MB (one byte a character) from the runner's
// scripted converter, delivered to one sink.
void Memory(int megabytes) {
  CLSID clsid{};
  Check(CLSIDFromProgID(L"VorlenCOM.Vorlen", &clsid), "CLSIDFromProgID");
  ComPtr<_Vorlen> object;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Vorlen, object.put_void()),
        "CoCreateInstance");
  const Bstr exe((BinDir() + L"runner_script_converter.exe").c_str());
  Check(object->SetVorlenPath(exe.get()), "SetVorlenPath");
  CountingSink sink;
  ComPtr<IConnectionPointContainer> container;
  Check(object.As(IID_IConnectionPointContainer, container), "IConnectionPointContainer");
  ComPtr<IConnectionPoint> point;
  Check(container->FindConnectionPoint(DIID___Vorlen, point.put()), "FindConnectionPoint");
  DWORD cookie = 0;
  Check(point->Advise(&sink, &cookie), "Advise");

  const long pieces = static_cast<long>(megabytes) * 1000;  // of 1000 characters
  const std::wstring scenario = L"scenario:o=msg|inf|long.html:1|;n=" + std::to_wstring(pieces) +
                                L"*" + std::wstring(1000, L'x') + L";o=\\r\\nfin|success\\r\\n";
  const Bstr input(scenario.c_str());
  const double before = WorkingSetMB(false), peakBefore = WorkingSetMB(true);
  LONG result = 0;
  const auto t0 = Clock::now();
  Check(object->Convert(input.get(), nullptr, &result), "Convert");
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  const double peak = WorkingSetMB(true);
  point->Unadvise(cookie);
  std::printf(
      "memory: one %d MB line, result %ld, %ld event(s) of %zu characters, %.2f s (%.1f MB/s)\n"
      "        working set before %.1f MB (peak so far %.1f MB), peak %.1f MB: "
      "%.1f MB above the start = %.2fx the line (aim <= 5x)\n",
      megabytes, static_cast<long>(result), sink.events, sink.characters, seconds,
      megabytes / seconds, before, peakBefore, peak, peak - before, (peak - before) / megabytes);
}

}  // namespace

int main(int argc, char** argv) {
  const bool memory = argc > 1 && std::string(argv[1]) == "memory";
  Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
  {
    Registration registration;
    if (memory) {
      Memory(argc > 2 ? std::atoi(argv[2]) : 50);
    } else {
      Speed(argc > 1 ? std::atoi(argv[1]) : 31);
    }
  }
  CoUninitialize();
  return 0;
}
