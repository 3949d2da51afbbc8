// The module's entry point and its four exports. Each passes straight into the
// component's COM plumbing; the entry point only records the module handle
// and, when the module is unloaded, lets go of the shared type information.
#include <windows.h>

#include <olectl.h>

#include "component/class_factory.h"
#include "component/module_state.h"
#include "component/registration.h"
#include "component/type_cache.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      vorlen::com::SetModuleHandle(instance);
      break;
    case DLL_PROCESS_DETACH:
      // At process exit (reserved set) the system reclaims everything, and
      // releasing COM objects then could wait for a lock of a thread that is gone.
      if (reserved == nullptr) vorlen::com::TypeInformation::Drop();
      vorlen::com::SetModuleHandle(nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() {
  return vorlen::com::CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return vorlen::com::GetClassObject(clsid, iid, object);
}

STDAPI DllRegisterServer() {
  return vorlen::com::RegisterServer();
}

STDAPI DllUnregisterServer() {
  return vorlen::com::UnregisterServer();
}
