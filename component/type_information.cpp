#include "component/type_information.h"

#include <algorithm>

#include "VorlenCOM.h"
#include "component/boundary.h"
#include "component/type_library.h"

namespace vorlen::com {
namespace {

// Holds a slim reader/writer lock for a scope: shared to read, exclusive to change.
class Locked {
 public:
  enum Mode { kShared, kExclusive };
  Locked(SRWLOCK& lock, Mode mode) : lock_(lock), mode_(mode) {
    if (mode_ == kShared) {
      AcquireSRWLockShared(&lock_);
    } else {
      AcquireSRWLockExclusive(&lock_);
    }
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  ~Locked() {
    if (mode_ == kShared) {
      ReleaseSRWLockShared(&lock_);
    } else {
      ReleaseSRWLockExclusive(&lock_);
    }
  }

 private:
  SRWLOCK& lock_;
  Mode mode_;
};

SRWLOCK lock = SRWLOCK_INIT;

// The cache is never destroyed by the runtime: at process exit, with the
// other threads gone and perhaps holding the system's locks, releasing COM
// objects could hang. Drop lets it go while that is safe.
union Cache {
  Cache() : shared() {}
  ~Cache() {}
  std::shared_ptr<const TypeInformation> shared;
} cache;

}  // namespace

HRESULT TypeInformation::Shared(std::shared_ptr<const TypeInformation>& information) {
  {
    Locked reading(lock, Locked::kShared);
    information = cache.shared;
  }
  if (information) return S_OK;
  Locked writing(lock, Locked::kExclusive);
  if (!cache.shared) {
    std::shared_ptr<TypeInformation> fresh;
    HRESULT hr = AtBoundary([&] { fresh = std::make_shared<TypeInformation>(); });
    if (SUCCEEDED(hr)) hr = fresh->Load();
    if (FAILED(hr)) return hr;
    cache.shared = std::move(fresh);
  }
  information = cache.shared;
  return S_OK;
}

void TypeInformation::Drop() {
  std::shared_ptr<const TypeInformation> gone;
  {
    Locked writing(lock, Locked::kExclusive);
    gone = std::move(cache.shared);
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
