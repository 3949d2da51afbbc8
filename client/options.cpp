#include "client/options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "client/console_output.h"
#include "vorlen_version.h"

namespace vorlen::client {

namespace {

using S = SetterCall::Setter;

// The setters' options, from setting_list.h, with their lines of help. A
// help of "|" lists the next option on the same line; "" is no option.
struct SetterOption {
  std::string_view name;
  const char* value;  // " VALUE" when the option takes one
  S setter;
  Flag flag;  // for a flag setter
  std::string_view help;
};
constexpr SetterOption kSetterOptions[] = {
#define VORLEN_OPTION_TEXT(Setter, id, parameter, option, value, help) \
  {option, " " value, S::Setter, kFalse, help},
#define VORLEN_OPTION_FLAG(Setter, id, parameter, on, off, help) \
  {on, "", S::Setter, kTrue, *off ? "|" : help}, {off, "", S::Setter, kFalse, help},
#define VORLEN_OPTION_NONE(Setter, id, option, help) {option, "", S::Setter, kFalse, help},
    VORLEN_SETTERS(VORLEN_OPTION_TEXT, VORLEN_OPTION_FLAG, VORLEN_OPTION_NONE, VORLEN_SKIP)};

const SetterOption* FindSetterOption(const Text& name) {
  for (const SetterOption& option : kSetterOptions) {
    if (!option.name.empty() && std::ranges::equal(option.name, name)) return &option;
  }
  return nullptr;
}

void AddHelp(std::string& usage, std::string options, std::string_view help) {
  if (!usage.ends_with(" | ")) usage += "  ";
  if (help == "|") {
    usage += options + " | ";
    return;
  }
  if (!help.empty()) options.resize(std::max<std::size_t>(options.size() + 1, 24), ' ');
  usage += options + std::string(help) + "\n";
}

std::string Usage() {
  std::string usage = "usage: vorlen-convert [options] INPUT [OUTPUT]\n";
  for (const SetterOption& option : kSetterOptions) {
    if (!option.name.empty()) AddHelp(usage, std::string(option.name) + option.value, option.help);
  }
  usage +=
      "  --key-bits N --user-password P --owner-password P\n"
      "      [--disallow print|modify|copy|annotate]...   one set of encryption settings\n";
  AddHelp(usage, "--print-command-line", "print the converter's command line and exit");
  AddHelp(usage, "--version", "print the version and exit");
  return usage +
         "Options apply in the order given; INPUT and OUTPUT reach the converter as given.\n";
}

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
    const auto call = [&](S setter, Text text = Text(), Flag flag = kFalse) {
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
    } else if (const SetterOption* option = FindSetterOption(name)) {
      if (!*option->value) {
        call(option->setter, Text(), option->flag);
      } else if (auto v = value()) {
        call(option->setter, std::move(*v));
      } else {
        return missing();
      }
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
        e.disallowPrint = kTrue;
      else if (*v == u"modify")
        e.disallowModify = kTrue;
      else if (*v == u"copy")
        e.disallowCopy = kTrue;
      else if (*v == u"annotate")
        e.disallowAnnotate = kTrue;
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

std::variant<Invocation, int> ReadCommandLine(const std::vector<Text>& args) {
  auto parsed = ParseArguments(args);
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    Print(stderr, *error + "\n");
    return 2;
  }
  auto& invocation = std::get<Invocation>(parsed);
  if (invocation.help || invocation.version) {
    Print(stdout, invocation.help ? Usage() : "vorlen-convert " VORLEN_VERSION "\n");
    return 0;
  }
  return std::move(invocation);
}

}  // namespace vorlen::client
