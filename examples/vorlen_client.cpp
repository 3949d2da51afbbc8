// A C++ client of VORLEN.dll: early-bound through the header that widl makes
// from component/VorlenCOM.idl, with a sink for the Message event.
//   vorlen_client.exe C:\path\to\vorlen.exe input.html output.pdf
#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <cstdio>
#include <memory>

#include "VorlenCOM.h"

// The sink receives Message as IDispatch::Invoke(1) with three BSTR*
// arguments in reverse order: text, location, type.
class Sink : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___Vorlen) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on main's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id == 1 && params->cArgs == 3) {
      std::printf("%ls %ls: %ls\n", *V_BSTRREF(&params->rgvarg[2]), *V_BSTRREF(&params->rgvarg[1]),
                  *V_BSTRREF(&params->rgvarg[0]));
    }
    return S_OK;
  }
};

// Strings that free themselves.
using Bstr = std::unique_ptr<OLECHAR, decltype(&SysFreeString)>;
Bstr MakeBstr(const wchar_t* text) {
  return Bstr(SysAllocString(text), &SysFreeString);
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 4;
  int exitCode = 4;
  {
    Microsoft::WRL::ComPtr<_Vorlen> vorlen;
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    Microsoft::WRL::ComPtr<IConnectionPoint> point;
    Sink sink;
    DWORD cookie = 0;
    if (SUCCEEDED(
            CoCreateInstance(CLSID_Vorlen, nullptr, CLSCTX_INPROC_SERVER, IID__Vorlen, &vorlen)) &&
        SUCCEEDED(vorlen.As(&container)) &&
        SUCCEEDED(container->FindConnectionPoint(DIID___Vorlen, &point)) &&
        SUCCEEDED(point->Advise(&sink, &cookie))) {
      const Bstr exe = MakeBstr(argv[1]), in = MakeBstr(argv[2]), out = MakeBstr(argv[3]);
      vorlen->SetVorlenPath(exe.get());
      vorlen->SetHTML(VARIANT_TRUE);
      LONG result = 0;
      const HRESULT hr = vorlen->Convert(in.get(), out.get(), &result);
      if (FAILED(hr)) {
        // 0x800A0005: the converter's output broke the status-line format.
        std::printf("error 0x%08lX\n", static_cast<unsigned long>(hr));
        exitCode = 3;
      } else {
        std::printf(result == 1 ? "converted\n" : "not converted\n");
        exitCode = result == 1 ? 0 : 1;
      }
      point->Unadvise(cookie);
    }
  }
  CoUninitialize();
  return exitCode;
}
