#pragma once
// A kernel handle of this process's own use (a token, a thread, a pipe end
// kept here), closed when its owner goes.
#include <windows.h>

#include <memory>

namespace vorlen::win32 {

struct HandleCloser {
  using pointer = HANDLE;
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace vorlen::win32
