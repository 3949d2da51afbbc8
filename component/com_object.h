#pragma once
// The reference count shared by the module's COM objects. Every object that
// the module hands out (except the static class object) counts as alive for
// DllCanUnloadNow until its last reference is released.
#include <windows.h>

#include <new>

#include "component/module_state.h"

namespace vorlen::com {

class RefCount {
 public:
  RefCount() { ObjectCreated(); }
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;
  ~RefCount() { ObjectDestroyed(); }

  ULONG Increment() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
  ULONG Decrement() { return static_cast<ULONG>(InterlockedDecrement(&count_)); }

 private:
  LONG count_ = 1;
};

// Creates a COM object with its first reference, or null when memory is out.
// Objects end themselves when their count reaches zero (ReleaseObject).
template <class T, class... Args>
T* NewObject(Args&&... args) {
  return new (std::nothrow) T(static_cast<Args&&>(args)...);
}

template <class T>
ULONG ReleaseObject(T* object, RefCount& count) {
  const ULONG remaining = count.Decrement();
  if (remaining == 0) delete object;
  return remaining;
}

}  // namespace vorlen::com
