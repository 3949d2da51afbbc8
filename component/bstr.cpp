#include "component/bstr.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

namespace vorlen::com {
namespace {

constexpr std::size_t kLongestBstr = (std::numeric_limits<UINT>::max() - 32) / sizeof(wchar_t);

}  // namespace

Text ToText(const wchar_t* bstr) {
  if (bstr == nullptr) return Text();
  const UINT length = SysStringLen(const_cast<BSTR>(bstr));
  Text text(length, u'\0');
  std::memcpy(text.data(), bstr, length * sizeof(wchar_t));
  return text;
}

Bstr::Bstr(TextView text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  // A BSTR counts its bytes in 32 bits; a longer text would be cut to its
  // length modulo 2^32 and then copied whole past the end.
  if (text.size() > kLongestBstr) throw std::bad_alloc();
  b_ = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
  if (b_ == nullptr) throw std::bad_alloc();
  std::memcpy(b_, text.data(), text.size() * sizeof(char16_t));
}

Bstr::Bstr(const wchar_t* text) : b_(SysAllocString(text)) {
  if (b_ == nullptr && text != nullptr) throw std::bad_alloc();
}

}  // namespace vorlen::com
