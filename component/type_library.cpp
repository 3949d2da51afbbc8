#include "component/type_library.h"

#include <oleauto.h>

#include "component/boundary.h"
#include "component/last_error.h"
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
    // Not cheap: a library that nobody holds any more is read and parsed
    // again. The objects' copy is therefore loaded once (type_information.h).
    hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
  });
  return FAILED(boundary) ? boundary : hr;
}

}  // namespace vorlen::com
