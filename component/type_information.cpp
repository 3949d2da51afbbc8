#include "component/type_information.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "VorlenCOM.h"
#include "component/boundary.h"
#include "component/type_library.h"

namespace vorlen::com {
namespace {

std::shared_mutex lock;  // shared to read the cache, exclusive to change it

// The cache outlives the runtime's destructors on purpose: at process exit,
// with the other threads gone and perhaps holding the system's locks,
// releasing COM objects could hang. Drop lets it go while that is safe.
std::shared_ptr<const TypeInformation>& Cache() {
  static auto* const cache = std::make_unique<std::shared_ptr<const TypeInformation>>().release();
  return *cache;
}

}  // namespace

HRESULT TypeInformation::Shared(std::shared_ptr<const TypeInformation>& information) {
  {
    const std::shared_lock reading(lock);
    information = Cache();
  }
  if (information) return S_OK;
  const std::unique_lock writing(lock);
  if (!Cache()) {
    std::shared_ptr<TypeInformation> fresh;
    HRESULT hr = AtBoundary([&] { fresh = std::make_shared<TypeInformation>(); });
    if (SUCCEEDED(hr)) hr = fresh->Load();
    if (FAILED(hr)) return hr;
    Cache() = std::move(fresh);
  }
  information = Cache();
  return S_OK;
}

void TypeInformation::Drop() {
  std::shared_ptr<const TypeInformation> gone;
  {
    const std::unique_lock writing(lock);
    gone = std::move(Cache());
  }
  // Released here, outside the lock.
}

HRESULT TypeInformation::Load() {
  HRESULT hr = LoadEmbeddedTypeLib(library_);
  if (SUCCEEDED(hr)) hr = library_->GetTypeInfoOfGuid(IID__Vorlen, dispatch_.put());
  if (SUCCEEDED(hr)) hr = library_->GetTypeInfoOfGuid(CLSID_Vorlen, coclass_.put());
  TYPEATTR* attr = nullptr;
  if (SUCCEEDED(hr)) hr = dispatch_->GetTypeAttr(&attr);
  if (FAILED(hr)) return hr;
  const UINT functions = attr->cFuncs;
  dispatch_->ReleaseTypeAttr(attr);
  return AtBoundary([&] {
    for (UINT i = 0; i < functions; ++i) {
      FUNCDESC* func = nullptr;
      if (FAILED(dispatch_->GetFuncDesc(i, &func))) continue;
      const DISPID id = func->memid;
      const bool method = func->invkind == INVOKE_FUNC;
      const UINT count = static_cast<UINT>(func->cParams);
      dispatch_->ReleaseFuncDesc(func);
      // The first method that carries an identifier decides.
      const bool known = std::any_of(parameters_.begin(), parameters_.end(),
                                     [id](const auto& entry) { return entry.first == id; });
      if (method && !known) parameters_.emplace_back(id, count);
    }
  });
}

bool TypeInformation::TooManyArguments(DISPID id, UINT count) const {
  for (const auto& [method, parameters] : parameters_) {
    if (method == id) return count > parameters;
  }
  return false;
}

}  // namespace vorlen::com
