// The COM boundary when memory runs out inside its own error handling: the
// caller still gets an HRESULT, never the end of its process. The allocation
// failure is injected through this program's operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <utility>

#include "component/boundary.h"
#include "support.h"

namespace {
std::atomic<bool> gOutOfMemory{false};
}  // namespace

void* operator new(std::size_t size) {
  void* p = gOutOfMemory ? nullptr : std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace vorlen::test {
namespace {

TEST(Boundary, OutOfMemoryWhileReportingAnErrorStillReturnsIt) {
  Apartment apartment;
  const HRESULT hr = com::AtBoundary([] {
    VorlenError error(kInvalidArgumentError, "xmlPath holds a NUL character");
    gOutOfMemory = true;  // from here on no allocation succeeds
    throw std::move(error);
  });
  gOutOfMemory = false;
  EXPECT_EQ(hr, static_cast<HRESULT>(0x800A0005));
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BSTR description = nullptr;
  info->GetDescription(&description);
  EXPECT_EQ(Narrow(description), "Invalid procedure call or argument") << "without its detail";
  SysFreeString(description);
}

}  // namespace
}  // namespace vorlen::test
