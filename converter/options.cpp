#include "converter/options.h"

#include <array>
#include <charconv>
#include <string_view>

namespace converter {
namespace {

constexpr std::array<std::string_view, 4> kPermissions = {"print", "modify", "copy", "annotate"};

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  ParsedOptions Run() {
    bool optionsEnded = false;
    for (index_ = 0; index_ < arguments_.size(); ++index_) {
      const std::string& argument = arguments_[index_];
      if (!optionsEnded && argument == "--") {
        optionsEnded = true;
      } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
        Option(argument);
      } else if (!inputSeen_) {
        parsed_.options.input = argument;
        inputSeen_ = true;
      } else if (!outputSeen_) {
        parsed_.options.output = argument;
        outputSeen_ = true;
      } else {
        parsed_.errors.push_back("unexpected argument \"" + argument + "\"");
      }
    }
    if (parsed_.options.input.empty()) parsed_.errors.push_back("no input document given");
    return std::move(parsed_);
  }

 private:
  void Option(const std::string& argument) {
    Options& o = parsed_.options;
    std::string_view name = argument;
    std::optional<std::string> inlineValue;
    if (size_t equals = argument.find('=');
        argument.starts_with("--") && equals != std::string::npos) {
      name = std::string_view(argument).substr(0, equals);
      inlineValue = argument.substr(equals + 1);
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (index_ + 1 < arguments_.size()) return arguments_[++index_];
      parsed_.errors.push_back(std::string(name) + " needs a value");
      return std::nullopt;
    };
    auto flag = [&](bool& target, bool setting) {
      if (inlineValue) parsed_.errors.push_back(std::string(name) + " takes no value");
      target = setting;
    };

    if (name == "--server") {
      flag(o.server, true);
    } else if (name == "-s") {
      if (auto path = value()) o.styleSheets.push_back(*path);
    } else if (name == "-i") {
      if (auto format = value()) {
        if (*format == "html" || *format == "xml")
          o.html = *format == "html";
        else
          parsed_.errors.push_back("-i takes html or xml, not \"" + *format + "\"");
      }
    } else if (name == "--encrypt") {
      flag(o.encrypt, true);
    } else if (name == "--key-bits") {
      if (auto bits = value()) KeyBits(*bits);
    } else if (name == "--user-password") {
      if (auto password = value()) o.userPassword = *password;
    } else if (name == "--owner-password") {
      if (auto password = value()) o.ownerPassword = *password;
    } else if (name.starts_with("--disallow-") && IsPermission(name.substr(11))) {
      bool unused = false;
      flag(unused, true);
      o.withheldPermissions.emplace_back(name.substr(11));
    } else if (name == "--log") {
      if (auto path = value()) o.logFile = *path;
    } else if (name == "--baseurl") {
      if (auto url = value()) o.baseUrl = *url;
    } else if (name == "--no-xinclude") {
      flag(o.xinclude, false);
    } else if (name == "--no-embed-fonts") {
      flag(o.embedFonts, false);
    } else if (name == "--no-compress") {
      flag(o.compress, false);
    } else {
      parsed_.errors.push_back("unknown option " + argument);
    }
  }

  static bool IsPermission(std::string_view permission) {
    for (std::string_view known : kPermissions)
      if (known == permission) return true;
    return false;
  }

  void KeyBits(const std::string& text) {
    int bits = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), bits);
    if (error != std::errc() || end != text.data() + text.size() || (bits != 40 && bits != 128)) {
      parsed_.errors.push_back("--key-bits takes 40 or 128, not \"" + text + "\"");
      return;
    }
    parsed_.options.keyBits = bits;
  }

  const std::vector<std::string>& arguments_;
  size_t index_ = 0;
  bool inputSeen_ = false;
  bool outputSeen_ = false;
  ParsedOptions parsed_;
};

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
  return Parser(arguments).Run();
}

}  // namespace converter
