#pragma once
// Named character references: the five of XML and the common ones of HTML
// (Latin-1, typographic punctuation), which XHTML documents use freely.
#include <optional>
#include <string_view>

namespace converter {

std::optional<char32_t> LookupEntity(std::string_view name);

}  // namespace converter
