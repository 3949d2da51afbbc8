#pragma once
// The one error that real input can raise inside the component: number 5, the
// invalid-argument error. Nothing in the core catches it; it unwinds to the
// public method, which hands it to the caller (the COM shell maps it to
// 0x800A0005, CTL_E_ILLEGALFUNCTIONCALL).
#include <stdexcept>
#include <string>

namespace vorlen {

inline constexpr int kInvalidArgumentError = 5;

class VorlenError : public std::runtime_error {
 public:
  // `detail`, when given, says which value was wrong and follows the standard
  // description after a colon.
  explicit VorlenError(int number, const std::string& detail = std::string())
      : std::runtime_error(detail.empty() ? "Invalid procedure call or argument"
                                          : "Invalid procedure call or argument: " + detail),
        number_(number),
        detail_(detail) {}
  int number() const noexcept { return number_; }
  const std::string& detail() const noexcept { return detail_; }

 private:
  int number_;
  std::string detail_;
};

}  // namespace vorlen
