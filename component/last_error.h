#pragma once
// The calling thread's last system error as a failure HRESULT: a call that
// failed without setting one still reports a failure, never S_OK.
#include <windows.h>

namespace vorlen::com {

inline HRESULT LastError() {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

}  // namespace vorlen::com
