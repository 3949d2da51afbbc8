// The module's entry point and its four exports. Each passes straight into the
// component's COM plumbing; the entry point only records the module handle.
#include <windows.h>

#include <olectl.h>

#include "component/class_factory.h"
#include "component/module_state.h"
#include "component/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      vorlen::com::SetModuleHandle(instance);
      break;
    case DLL_PROCESS_DETACH:
      // Nothing more under the loader lock: releasing the shared type
      // information here would take the cache's lock, which a thread loading
      // the type library (and so waiting for the loader lock) may hold.
      // DllCanUnloadNow lets it go before COM unloads the module; a module
      // freed without asking leaves it to the end of the process.
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
