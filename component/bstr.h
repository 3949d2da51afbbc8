#pragma once
// An owned BSTR, and the crossing between COM strings and the core's Text.
#include <windows.h>

#include <oleauto.h>

#include <utility>

#include "channel/text.h"

namespace vorlen::com {

// A null BSTR counts as the empty text.
Text ToText(const wchar_t* bstr);

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(TextView text);  // throws std::bad_alloc when the system has no memory
  explicit Bstr(const wchar_t* text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    std::swap(b_, other.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  // Takes ownership of a BSTR that the caller received.
  static Bstr Adopt(BSTR b) {
    Bstr result;
    result.b_ = b;
    return result;
  }

  BSTR get() const { return b_; }
  // The variable itself, for by-reference arguments: whatever the callee
  // leaves in it is freed by this object.
  BSTR* slot() { return &b_; }
  BSTR detach() { return std::exchange(b_, nullptr); }
  Text text() const { return ToText(b_); }

 private:
  BSTR b_ = nullptr;
};

}  // namespace vorlen::com
