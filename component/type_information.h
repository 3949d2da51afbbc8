#pragma once
// The type information that every Vorlen object serves: the embedded type
// library, the type information of _Vorlen and of the class Vorlen, and how
// many arguments each method of _Vorlen takes. Loaded once per process on the
// first request, shared by the objects of every thread, and let go when the
// module may unload (DllCanUnloadNow; a module freed without asking leaves it
// to the end of the process); objects keep what they were given, so letting
// go never pulls it from under one.
#include <windows.h>

#include <oaidl.h>

#include <memory>
#include <utility>
#include <vector>

#include "component/com_ptr.h"

namespace vorlen::com {

class TypeInformation {
 public:
  // The shared information, loaded now if nobody has yet; a failure HRESULT
  // when the module's type library cannot be read.
  static HRESULT Shared(std::shared_ptr<const TypeInformation>& information);
  // Lets go of the shared information; the next request loads it again.
  static void Drop();

  ITypeInfo* dispatch() const { return dispatch_.get(); }
  ITypeInfo* coclass() const { return coclass_.get(); }

  // More arguments than the method has must fail with DISP_E_BADPARAMCOUNT;
  // not every system's ITypeInfo::Invoke checks that, some drop the surplus.
  // Unknown identifiers pass: Invoke itself reports them.
  bool TooManyArguments(DISPID id, UINT count) const;

 private:
  HRESULT Load();

  ComPtr<ITypeLib> library_;
  ComPtr<ITypeInfo> dispatch_, coclass_;
  std::vector<std::pair<DISPID, UINT>> parameters_;  // per method: its parameter count
};

}  // namespace vorlen::com
