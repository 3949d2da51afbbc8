#include "client/options.h"

#include <charconv>
#include <string_view>

#include "vorlen_version.h"

namespace vorlen::client {

const char kVersionLine[] = "vorlen-convert " VORLEN_VERSION "\n";

const char kUsage[] =
    "usage: vorlen-convert [options] INPUT [OUTPUT]\n"
    "  --converter PATH        the converter program (SetVorlenPath)\n"
    "  --style-sheet PATH      add a style sheet (repeatable, in order)\n"
    "  --clear-style-sheets    forget the style sheets given so far\n"
    "  --html                  the input is HTML\n"
    "  --log PATH              the converter writes its log there\n"
    "  --base-url URL          base URL for relative references\n"
    "  --no-xinclude | --no-embed-fonts | --no-compress\n"
    "  --encrypt | --no-encrypt\n"
    "  --key-bits N --user-password P --owner-password P\n"
    "      [--disallow print|modify|copy|annotate]...   one set of encryption settings\n"
    "  --print-command-line    print the converter's command line and exit\n"
    "  --version               print the version and exit\n"
    "Options apply in the order given; INPUT and OUTPUT reach the converter as given.\n";

namespace {

using S = SetterCall::Setter;

std::string Narrow(const Text& text) {
  return ToUtf8(text);
}

std::optional<std::int16_t> ParseKeyBits(const Text& text) {
  const std::string digits = Narrow(text);
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value < -32768 ||
      value > 32767)
    return std::nullopt;
  return static_cast<std::int16_t>(value);
}

}  // namespace

bool Invocation::NamesConverter() const {
  for (const auto& call : calls) {
    if (call.setter == S::SetVorlenPath) return true;
  }
  return false;
}

std::variant<Invocation, std::string> ParseArguments(const std::vector<Text>& args) {
  Invocation result;
  std::vector<Text> paths;
  std::optional<size_t> encryption;  // index of the call that the encryption options fill

  for (size_t i = 0; i < args.size(); ++i) {
    Text name = args[i];
    std::optional<Text> attached;  // --name=value
    if (name.starts_with(u"--")) {
      if (const size_t eq = name.find(u'='); eq != Text::npos) {
        attached = name.substr(eq + 1);
        name.resize(eq);
      }
    }
    const auto value = [&]() -> std::optional<Text> {
      if (attached) return attached;
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };
    const auto call = [&](S setter, Text text = Text(), bool flag = false) {
      result.calls.push_back(SetterCall{setter, std::move(text), flag, {}});
    };
    const auto missing = [&] { return "vorlen-convert: " + Narrow(name) + " needs a value"; };
    const auto needsEncryption = [&] {
      return "vorlen-convert: " + Narrow(name) + " must follow --key-bits";
    };

    if (name == u"--help" || name == u"-h") {
      result.help = true;
    } else if (name == u"--version") {
      result.version = true;
    } else if (name == u"--print-command-line") {
      result.printCommandLine = true;
    } else if (name == u"--converter" || name == u"--style-sheet" || name == u"--log" ||
               name == u"--base-url") {
      auto v = value();
      if (!v) return missing();
      const S setter = name == u"--converter"     ? S::SetVorlenPath
                       : name == u"--style-sheet" ? S::AddStyleSheet
                       : name == u"--log"         ? S::SetLog
                                                  : S::SetBaseURL;
      call(setter, std::move(*v));
    } else if (name == u"--clear-style-sheets") {
      call(S::ClearStyleSheets);
    } else if (name == u"--html") {
      call(S::SetHTML, Text(), true);
    } else if (name == u"--no-xinclude") {
      call(S::SetXInclude, Text(), false);
    } else if (name == u"--no-embed-fonts") {
      call(S::SetEmbedFonts, Text(), false);
    } else if (name == u"--no-compress") {
      call(S::SetCompress, Text(), false);
    } else if (name == u"--encrypt" || name == u"--no-encrypt") {
      call(S::SetEncrypt, Text(), name == u"--encrypt");
    } else if (name == u"--key-bits") {
      auto v = value();
      if (!v) return missing();
      const auto bits = ParseKeyBits(*v);
      if (!bits) return "vorlen-convert: --key-bits takes a whole number from -32768 to 32767";
      call(S::SetEncryptInfo);
      result.calls.back().encryption.keyBits = *bits;
      encryption = result.calls.size() - 1;
    } else if (name == u"--user-password" || name == u"--owner-password") {
      auto v = value();
      if (!v) return missing();
      if (!encryption) return needsEncryption();
      EncryptInfo& e = result.calls[*encryption].encryption;
      (name == u"--user-password" ? e.userPassword : e.ownerPassword) = std::move(*v);
    } else if (name == u"--disallow") {
      auto v = value();
      if (!v) return missing();
      if (!encryption) return needsEncryption();
      EncryptInfo& e = result.calls[*encryption].encryption;
      if (*v == u"print")
        e.disallowPrint = true;
      else if (*v == u"modify")
        e.disallowModify = true;
      else if (*v == u"copy")
        e.disallowCopy = true;
      else if (*v == u"annotate")
        e.disallowAnnotate = true;
      else
        return "vorlen-convert: --disallow takes print, modify, copy or annotate";
    } else if (name.starts_with(u"--") && name.size() > 2) {
      return "vorlen-convert: unknown option " + Narrow(args[i]) + " (see --help)";
    } else {
      // A path; a lone "--" ends the options.
      if (name == u"--") {
        paths.insert(paths.end(), args.begin() + static_cast<long>(i) + 1, args.end());
        break;
      }
      paths.push_back(args[i]);
    }
  }

  if (result.help || result.version) return result;
  if (paths.empty()) return std::string("vorlen-convert: no INPUT given (see --help)");
  if (paths.size() > 2) return std::string("vorlen-convert: more than INPUT and OUTPUT given");
  result.input = paths[0];
  if (paths.size() == 2) result.output = paths[1];
  return result;
}

}  // namespace vorlen::client
