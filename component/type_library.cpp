#include "component/type_library.h"

#include <oleauto.h>

#include "component/boundary.h"
#include "component/module_state.h"

namespace vorlen::com {

HRESULT LoadEmbeddedTypeLib(ComPtr<ITypeLib>& library) {
  HRESULT hr = E_FAIL;
  const HRESULT boundary = AtBoundary([&] {
    const std::wstring path = ModulePath();
    if (path.empty()) {
      hr = LastError();
      return;
    }
    // The system caches loaded libraries by path, so this is cheap after the first time.
    hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
  });
  return FAILED(boundary) ? boundary : hr;
}

HRESULT LoadEmbeddedTypeInfo(REFGUID guid, ComPtr<ITypeInfo>& info) {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadEmbeddedTypeLib(library);
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(guid, info.put());
}

}  // namespace vorlen::com
