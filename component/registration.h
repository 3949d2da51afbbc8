#pragma once
// Self-registration: the class under CLSID, the ProgID both ways, the type
// library and, through it, both interfaces. Unregistering removes exactly what
// registering wrote.
#include <windows.h>

namespace vorlen::com {

HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace vorlen::com
