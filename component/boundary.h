#pragma once
// The COM boundary: every method body runs inside AtBoundary, so that no C++
// exception leaves the module; a body returns nothing (S_OK) or its HRESULT.
// The core's error number becomes an HRESULT of the control facility
// (5 -> 0x800A0005, CTL_E_ILLEGALFUNCTIONCALL) with an IErrorInfo that
// late-bound callers receive as the exception's description.
#include <windows.h>

#include <exception>
#include <new>
#include <type_traits>

#include "channel/error.h"

namespace vorlen::com {

inline constexpr wchar_t kProgId[] = L"VorlenCOM.Vorlen";

// Neither throws: they run inside AtBoundary's handlers, where an exception
// would end the host process.
HRESULT HresultOfError(int number) noexcept;
HRESULT ReportError(const VorlenError& error) noexcept;  // sets the thread's error info
HRESULT ReportFailure(HRESULT hr) noexcept;              // clears stale error info

template <class Body>
HRESULT AtBoundary(Body&& body) noexcept {
  try {
    if constexpr (std::is_void_v<decltype(body())>) {
      body();
      return S_OK;
    } else {
      return body();
    }
  } catch (const VorlenError& error) {
    return ReportError(error);
  } catch (const std::bad_alloc&) {
    return ReportFailure(E_OUTOFMEMORY);
  } catch (...) {
    return ReportFailure(E_FAIL);
  }
}

}  // namespace vorlen::com
