#pragma once
// The lifetime of the module's heap objects (the Vorlen object, the
// enumerators): each counts as alive for DllCanUnloadNow until its last
// reference is released, and then deletes itself.
#include <windows.h>

#include <new>

#include "component/com_class.h"
#include "component/module_state.h"

namespace vorlen::com {

class CountedLifetime : public HeapLifetime {
 public:
  CountedLifetime() { ObjectCreated(); }
  ~CountedLifetime() { ObjectDestroyed(); }
};

// Creates a COM object with its first reference, or null when memory is out.
template <class T, class... Args>
T* NewObject(Args&&... args) {
  return new (std::nothrow) T(static_cast<Args&&>(args)...);
}

}  // namespace vorlen::com
