#pragma once
// The class object of Vorlen. There is one, static, for the module's life:
// references to it do not keep the module loaded, locks (LockServer) do.
#include <windows.h>

#include <unknwn.h>

#include <array>

#include "component/com_class.h"

namespace vorlen::com {

class ClassFactory final : public ComClass<ClassFactory, StaticLifetime, IClassFactory> {
 public:
  ClassFactory() = default;
  std::array<Answer, 2> Interfaces() {
    return {{{&IID_IUnknown, this}, {&IID_IClassFactory, this}}};
  }

  // The class is not aggregatable: a request with an outer object fails
  // with CLASS_E_NOAGGREGATION.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

// DllGetClassObject's body.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);
// DllCanUnloadNow's body: S_OK when no object is alive and no lock is held,
// and then the shared type information is let go as well.
HRESULT CanUnloadNow();

}  // namespace vorlen::com
