#pragma once
// Text as the component sees it: UTF-16 code units, as in a COM string. A null
// COM string arrives here as the empty text. Conversion to the system's code
// page happens only at the platform boundary.
#include <string>
#include <string_view>

namespace vorlen {

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16 for tools and tests. Invalid input becomes U+FFFD.
Text FromUtf8(std::string_view utf8);
std::string ToUtf8(TextView text);

}  // namespace vorlen
