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
#include "job/settings.h"

namespace vorlen::client {

struct EncryptInfo {
  std::int16_t keyBits = 0;
  Text userPassword, ownerPassword;
  Flag disallowPrint = kFalse, disallowModify = kFalse, disallowCopy = kFalse,
       disallowAnnotate = kFalse;
};

// One setter call: which setter of setting_list.h, and its argument.
struct SetterCall {
#define VORLEN_NAME(Setter, ...) Setter,
  enum class Setter { VORLEN_SETTERS(VORLEN_NAME, VORLEN_NAME, VORLEN_NAME, VORLEN_NAME) };
#undef VORLEN_NAME
  Setter setter;
  Text text;           // for the text setters
  Flag flag = kFalse;  // for the flag setters
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

// The parsed arguments, or the exit code once the usage error (2), the help
// or the version (0) is printed.
std::variant<Invocation, int> ReadCommandLine(const std::vector<Text>& args);

// Calls the named setter on anything with the Vorlen object's setters.
template <typename Target>
void Apply(const SetterCall& call, Target& target) {
  using S = SetterCall::Setter;
#define VORLEN_APPLY(Setter, ...) \
  case S::Setter:                 \
    return target.Setter(__VA_ARGS__);
#define VORLEN_APPLY_TEXT(Setter, ...) VORLEN_APPLY(Setter, call.text)
#define VORLEN_APPLY_FLAG(Setter, ...) VORLEN_APPLY(Setter, call.flag)
#define VORLEN_APPLY_NONE(Setter, ...) VORLEN_APPLY(Setter)
#define VORLEN_APPLY_RECORD(Setter, ...) \
  VORLEN_APPLY(Setter, VORLEN_ENCRYPTION(VORLEN_FIELD, VORLEN_FIELD, VORLEN_FIELD))
#define VORLEN_FIELD(name) call.encryption.name
  switch (call.setter) {
    VORLEN_SETTERS(VORLEN_APPLY_TEXT, VORLEN_APPLY_FLAG, VORLEN_APPLY_NONE, VORLEN_APPLY_RECORD)
  }
#undef VORLEN_APPLY
#undef VORLEN_APPLY_TEXT
#undef VORLEN_APPLY_FLAG
#undef VORLEN_APPLY_NONE
#undef VORLEN_APPLY_RECORD
#undef VORLEN_FIELD
}

}  // namespace vorlen::client
