#include "component/class_factory.h"

#include "VorlenCOM.h"
#include "component/module_state.h"
#include "component/type_information.h"
#include "component/vorlen_object.h"

namespace vorlen::com {

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return VorlenObject::Create(iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    LockModule();
  } else {
    UnlockModule();
  }
  return S_OK;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  static ClassFactory factory;
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_Vorlen)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, object);
}

HRESULT CanUnloadNow() {
  if (ModuleInUse()) return S_FALSE;
  // The cached type information is no object and keeps nothing loaded; COM
  // may unload the module after this answer, so it goes now (the next object
  // loads it again).
  TypeInformation::Drop();
  return S_OK;
}

}  // namespace vorlen::com
