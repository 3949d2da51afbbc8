#pragma once
// What the Windows benchmarks that go through COM share: the folder of the
// running program, failing loudly, and this tree's VORLEN.dll registered for
// the length of a run.
#include <windows.h>

#include <string>

namespace vorlen::bench {

// The folder of the running program, with its trailing backslash.
std::wstring BinDir();

[[noreturn]] void Fail(const char* what, HRESULT hr);
void Check(HRESULT hr, const char* what);

// Registers this tree's VORLEN.dll, so that CoCreateInstance reaches the
// build being measured; undone at the end when it was not registered before.
class Registration {
 public:
  Registration();
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  ~Registration();

 private:
  using Entry = HRESULT(STDAPICALLTYPE*)();
  Entry Export(const char* name);
  HMODULE module_ = nullptr;
  bool wasRegistered_ = false;
};

}  // namespace vorlen::bench
