#pragma once
// The options of one Vorlen object. Most are stored as given and only turned
// into command-line text when a conversion builds its command line; style
// sheets and encryption are turned into finished fragments when they are set.
#include <cstdint>

#include "channel/text.h"
#include "job/setting_list.h"

namespace vorlen {

// A COM boolean: 16 bits, true -1, false 0; any non-zero value counts as true.
using Flag = std::int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

// The record setter's parameters, in any namespace.
#define VORLEN_NUMBER_PARAMETER(name) std::int16_t name
#define VORLEN_TEXT_PARAMETER(name) const ::vorlen::Text& name
#define VORLEN_FLAG_PARAMETER(name) ::vorlen::Flag name
#define VORLEN_ENCRYPTION_PARAMETERS \
  VORLEN_ENCRYPTION(VORLEN_NUMBER_PARAMETER, VORLEN_TEXT_PARAMETER, VORLEN_FLAG_PARAMETER)

struct Settings {
  // The ten members, in their order, with their initial values.
  Text exePath;
  Text styleSheets;  // one finished "-s" fragment per style sheet, in the order added
  Flag html = kFalse;
  Text logFile;
  Text baseURL;
  Flag xinclude = kTrue;
  Flag embedFonts = kTrue;
  Flag compress = kTrue;
  Flag encrypt = kFalse;
  Text encryptArgs;  // finished encryption fragment; never cleared

  // The setters of setting_list.h. They store flags unchanged and validate
  // nothing.
#define VORLEN_DECLARE_TEXT(Setter, id, parameter, ...) void Setter(const Text& parameter);
#define VORLEN_DECLARE_FLAG(Setter, id, parameter, ...) void Setter(Flag parameter);
#define VORLEN_DECLARE_NONE(Setter, ...) void Setter();
#define VORLEN_DECLARE_RECORD(Setter, ...) void Setter(VORLEN_ENCRYPTION_PARAMETERS);
  VORLEN_SETTERS(VORLEN_DECLARE_TEXT, VORLEN_DECLARE_FLAG, VORLEN_DECLARE_NONE,
                 VORLEN_DECLARE_RECORD)
#undef VORLEN_DECLARE_TEXT
#undef VORLEN_DECLARE_FLAG
#undef VORLEN_DECLARE_NONE
#undef VORLEN_DECLARE_RECORD
};

}  // namespace vorlen
