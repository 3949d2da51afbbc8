#include "component/module_state.h"

namespace vorlen::com {
namespace {

HMODULE module_ = nullptr;
// DllCanUnloadNow may be asked from any thread, so the counts are interlocked.
LONG objects_ = 0;
LONG locks_ = 0;

}  // namespace

void SetModuleHandle(HMODULE module) {
  module_ = module;
}
HMODULE ModuleHandle() {
  return module_;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module_, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: long paths exceed MAX_PATH
  }
}

void ObjectCreated() {
  InterlockedIncrement(&objects_);
}
void ObjectDestroyed() {
  InterlockedDecrement(&objects_);
}
void LockModule() {
  InterlockedIncrement(&locks_);
}
void UnlockModule() {
  // An unbalanced unlock must not leave the module pinned for good.
  for (LONG held = locks_; held > 0; held = locks_) {
    if (InterlockedCompareExchange(&locks_, held - 1, held) == held) return;
  }
}
bool ModuleInUse() {
  return InterlockedCompareExchange(&objects_, 0, 0) != 0 ||
         InterlockedCompareExchange(&locks_, 0, 0) != 0;
}

}  // namespace vorlen::com
