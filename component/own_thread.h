#pragma once
// The thread a Vorlen object belongs to: the one that created it (the class
// factory makes the object on the caller's thread). The class is
// apartment-threaded, and in a single-threaded apartment all calls to an
// object must be made on its thread; another apartment calls it through a
// proxy, whose calls COM delivers there. A direct pointer carried to another
// thread is an error that COM cannot catch, so the object refuses it itself,
// with the HRESULT a proxy gives a caller outside its apartment
// (RPC_E_WRONG_THREAD): its state is never entered by two threads at once.
// IUnknown stays open to every thread (COM and the global interface table
// release from others); its counts are interlocked. A thread's identifier
// names it alone until the thread ends, and the apartment ends with it.
#include <windows.h>

#include <utility>

#include "component/boundary.h"

namespace vorlen::com {

class OwnThread {
 public:
  OwnThread() noexcept : id_(GetCurrentThreadId()) {}
  OwnThread(const OwnThread&) = delete;
  OwnThread& operator=(const OwnThread&) = delete;

  // Runs a method's body at the boundary when called on this thread. On any
  // other thread nothing runs and the caller gets RPC_E_WRONG_THREAD; a method
  // clears its out-parameters first, as on every failure.
  template <class Body>
  HRESULT Enter(Body&& body) const noexcept {
    if (GetCurrentThreadId() != id_) return RPC_E_WRONG_THREAD;
    return AtBoundary(std::forward<Body>(body));
  }

 private:
  const DWORD id_;
};

}  // namespace vorlen::com
