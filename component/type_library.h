#pragma once
// The type library VorlenCOM that the module carries as resource TYPELIB 1.
#include <windows.h>

#include <oaidl.h>

#include "component/com_ptr.h"

namespace vorlen::com {

HRESULT LoadEmbeddedTypeLib(ComPtr<ITypeLib>& library);

}  // namespace vorlen::com
