// The notices of one component, taken from the copyright file of the Debian
// package that provided it (/usr/share/doc/<package>/copyright): verbatim
// text, never a summary, with the SPDX expression that the text adds up to.
// Each reader throws std::runtime_error where the file lacks a text it needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorlen::notices {

struct Notice {
  std::string text;
  std::string spdx;
};

// From a file in Debian's machine-readable format (copyright-format 1.0):
// each Files paragraph with a pattern in one of `folders` ("*" is the
// paragraph of the whole source) and in none of `excluded`, then the
// stand-alone License paragraph of every license that those name without
// giving its text.
Notice MachineReadableNotice(std::string_view copyright, const std::vector<std::string>& folders,
                             const std::vector<std::string>& excluded);

// From GCC's copyright file: GCC's copyright and license, the list of the
// runtime libraries under the GCC Runtime Library Exception, which must name
// `library`, and the exception's text.
Notice GccRuntimeNotice(std::string_view copyright, std::string_view library);

}  // namespace vorlen::notices
