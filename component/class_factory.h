#pragma once
// The class object of Vorlen. There is one, static, for the module's life:
// references to it do not keep the module loaded, locks (LockServer) do.
#include <windows.h>

#include <unknwn.h>

namespace vorlen::com {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // The class is not aggregatable: a request with an outer object fails
  // with CLASS_E_NOAGGREGATION.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

// DllGetClassObject's body.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);

}  // namespace vorlen::com
