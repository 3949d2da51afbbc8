#include "component/bstr.h"

#include <cstring>
#include <new>

namespace vorlen::com {

Text ToText(const wchar_t* bstr) {
  if (bstr == nullptr) return Text();
  const UINT length = SysStringLen(const_cast<BSTR>(bstr));
  Text text(length, u'\0');
  std::memcpy(text.data(), bstr, length * sizeof(wchar_t));
  return text;
}

Bstr::Bstr(TextView text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  b_ = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
  if (b_ == nullptr) throw std::bad_alloc();
  std::memcpy(b_, text.data(), text.size() * sizeof(char16_t));
}

Bstr::Bstr(const wchar_t* text) : b_(SysAllocString(text)) {
  if (b_ == nullptr && text != nullptr) throw std::bad_alloc();
}

}  // namespace vorlen::com
