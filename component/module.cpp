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
      vorlen::com::SetModuleHandle(nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() {
  return vorlen::com::ModuleInUse() ? S_FALSE : S_OK;
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
