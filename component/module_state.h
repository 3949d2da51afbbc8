#pragma once
// What the module knows about itself: its handle, and the counts of live
// objects and class-object locks that decide whether COM may unload it.
#include <windows.h>

#include <string>

namespace vorlen::com {

void SetModuleHandle(HMODULE module);
HMODULE ModuleHandle();
std::wstring ModulePath();  // empty when the system cannot tell

void ObjectCreated();
void ObjectDestroyed();
void LockModule();
void UnlockModule();
bool ModuleInUse();

}  // namespace vorlen::com
