#pragma once
// The converter's command line. The component passes, in this order:
//   --server, -s "css"..., --encrypt --key-bits N --user-password="..."
//   --owner-password="..." --disallow-{print,modify,copy,annotate}, -i html,
//   --log="...", --baseurl="...", --no-xinclude, --no-embed-fonts,
//   --no-compress, "input" ["output"]
// and this reader accepts them in any order.
#include <optional>
#include <string>
#include <vector>

namespace converter {

struct Options {
  bool server = false;
  std::vector<std::string> styleSheets;
  bool encrypt = false;
  std::optional<int> keyBits;
  std::string userPassword;
  std::string ownerPassword;
  std::vector<std::string> withheldPermissions;  // "print", "modify", "copy", "annotate"
  bool html = false;
  std::string logFile;
  std::string baseUrl;
  bool xinclude = true;
  bool embedFonts = true;
  bool compress = true;
  std::string input;
  std::string output;  // empty: next to the input
};

struct ParsedOptions {
  Options options;
  std::vector<std::string> errors;  // one message per fault; the run fails when any
};

ParsedOptions ParseOptions(const std::vector<std::string>& arguments);

}  // namespace converter
