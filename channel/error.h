#pragma once
// The one error that real input can raise inside the component: number 5, the
// invalid-argument error. Nothing in the core catches it; it unwinds to the
// public method, which hands it to the caller (the COM shell maps it to
// 0x800A0005, CTL_E_ILLEGALFUNCTIONCALL).
#include <stdexcept>

namespace vorlen {

inline constexpr int kInvalidArgumentError = 5;

class VorlenError : public std::runtime_error {
 public:
  explicit VorlenError(int number)
      : std::runtime_error("Invalid procedure call or argument"), number_(number) {}
  int number() const noexcept { return number_; }

 private:
  int number_;
};

}  // namespace vorlen
