#include "component/type_information.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <shared_mutex>  // std::shared_lock

#include "VorlenCOM.h"
#include "component/boundary.h"
#include "component/type_library.h"

namespace vorlen::com {
namespace {

// The system's slim reader/writer lock, for the standard guards: shared to
// read the cache, exclusive to change it. It needs no setting up, so two
// threads that first meet it at once (as the first objects of two apartments
// do) share one lock. The MinGW runtime's std::shared_mutex is set up on its
// first use: under load, two such threads were seen each loading their own
// information.
class SlimLock {
 public:
  void lock() { AcquireSRWLockExclusive(&srw_); }
  void unlock() { ReleaseSRWLockExclusive(&srw_); }
  void lock_shared() { AcquireSRWLockShared(&srw_); }
  void unlock_shared() { ReleaseSRWLockShared(&srw_); }

 private:
  SRWLOCK srw_ = SRWLOCK_INIT;
};
SlimLock lock;

// Made when the module loads, before any thread can ask, and never destroyed:
// at process exit, with the other threads gone and perhaps holding the
// system's locks, releasing COM objects could hang. Drop lets it go while that
// is safe.
std::shared_ptr<const TypeInformation>& cache =
    *std::make_unique<std::shared_ptr<const TypeInformation>>().release();

}  // namespace

HRESULT TypeInformation::Shared(std::shared_ptr<const TypeInformation>& information) {
  {
    const std::shared_lock reading(lock);
    information = cache;
  }
  if (information) return S_OK;
  const std::unique_lock writing(lock);
  if (!cache) {
    std::shared_ptr<TypeInformation> fresh;
    HRESULT hr = AtBoundary([&] { fresh = std::make_shared<TypeInformation>(); });
    if (SUCCEEDED(hr)) hr = fresh->Load();
    if (FAILED(hr)) return hr;
    cache = std::move(fresh);
  }
  information = cache;
  return S_OK;
}

void TypeInformation::Drop() {
  std::shared_ptr<const TypeInformation> gone;
  {
    const std::unique_lock writing(lock);
    gone = std::move(cache);
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
