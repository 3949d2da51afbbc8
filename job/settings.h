#pragma once
// The options of one Vorlen object. Most are stored as given and only turned
// into command-line text when a conversion builds its command line; style
// sheets and encryption are turned into finished fragments when they are set.
#include <cstdint>

#include "channel/text.h"

namespace vorlen {

// A COM boolean: 16 bits, true -1, false 0; any non-zero value counts as true.
using Flag = std::int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

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

  // The eleven setters. They store flags unchanged and validate nothing.
  void SetVorlenPath(const Text& exePath);
  void AddStyleSheet(const Text& cssPath);
  void ClearStyleSheets();
  void SetHTML(Flag html);
  void SetLog(const Text& logFile);
  void SetBaseURL(const Text& baseurl);
  void SetXInclude(Flag xinclude);
  void SetEmbedFonts(Flag embed);
  void SetCompress(Flag compress);
  void SetEncrypt(Flag encrypt);
  void SetEncryptInfo(std::int16_t keyBits, const Text& userPassword, const Text& ownerPassword,
                      Flag disallowPrint, Flag disallowModify, Flag disallowCopy,
                      Flag disallowAnnotate);
};

}  // namespace vorlen
