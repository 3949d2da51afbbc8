#pragma once
// The command line of vorlen-convert, parsed into the setter calls it asks for
// (in the order given), the two paths and what to do. The native client
// applies the calls to a Vorlen object, the Windows twin to the COM component;
// both take the same options.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "channel/text.h"

namespace vorlen::client {

struct EncryptInfo {
  std::int16_t keyBits = 0;
  Text userPassword, ownerPassword;
  bool disallowPrint = false, disallowModify = false, disallowCopy = false,
       disallowAnnotate = false;
};

// One setter call: which setter, and its argument.
struct SetterCall {
  enum class Setter {
    SetVorlenPath,
    AddStyleSheet,
    ClearStyleSheets,
    SetHTML,
    SetLog,
    SetBaseURL,
    SetXInclude,
    SetEmbedFonts,
    SetCompress,
    SetEncrypt,
    SetEncryptInfo,
  };
  Setter setter;
  Text text;          // for the text setters
  bool flag = false;  // for the flag setters
  EncryptInfo encryption;
};

struct Invocation {
  std::vector<SetterCall> calls;
  Text input, output;
  bool printCommandLine = false;
  bool help = false;
  bool version = false;
  // True when the calls name the converter (--converter).
  bool NamesConverter() const;
};

// Parses the arguments after the program name. On a usage error, returns the
// one-line message instead.
std::variant<Invocation, std::string> ParseArguments(const std::vector<Text>& args);

extern const char kUsage[];
extern const char kVersionLine[];  // "vorlen-convert X.Y.Z\n", the project's version

// Calls the named setter on anything with the Vorlen object's setters; flags
// arrive as the COM boolean (-1 or 0).
template <typename Target>
void Apply(const SetterCall& call, Target& target) {
  using S = SetterCall::Setter;
  const std::int16_t flag = call.flag ? -1 : 0;
  const auto bit = [](bool b) { return static_cast<std::int16_t>(b ? -1 : 0); };
  switch (call.setter) {
    case S::SetVorlenPath:
      target.SetVorlenPath(call.text);
      break;
    case S::AddStyleSheet:
      target.AddStyleSheet(call.text);
      break;
    case S::ClearStyleSheets:
      target.ClearStyleSheets();
      break;
    case S::SetHTML:
      target.SetHTML(flag);
      break;
    case S::SetLog:
      target.SetLog(call.text);
      break;
    case S::SetBaseURL:
      target.SetBaseURL(call.text);
      break;
    case S::SetXInclude:
      target.SetXInclude(flag);
      break;
    case S::SetEmbedFonts:
      target.SetEmbedFonts(flag);
      break;
    case S::SetCompress:
      target.SetCompress(flag);
      break;
    case S::SetEncrypt:
      target.SetEncrypt(flag);
      break;
    case S::SetEncryptInfo: {
      const EncryptInfo& e = call.encryption;
      target.SetEncryptInfo(e.keyBits, e.userPassword, e.ownerPassword, bit(e.disallowPrint),
                            bit(e.disallowModify), bit(e.disallowCopy), bit(e.disallowAnnotate));
      break;
    }
  }
}

}  // namespace vorlen::client
