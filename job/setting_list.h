#pragma once
// The setters of a Vorlen object, written once. Each layer expands the list
// into what it needs: the core's setters (settings.h), the COM object's
// methods that forward to them (component/vorlen_object.*), vorlen-convert's
// options, their help and the calls they make (client/). The type library
// declares the same methods by hand for its compiler; a test of the built
// library holds the two together.
//
// VORLEN_SETTERS(TEXT, FLAG, NONE, RECORD) names each setter, in the order of
// the method table, through the macro of its parameter's kind:
//   TEXT(Setter, dispid, parameter, "--option", "VALUE", "help")
//   FLAG(Setter, dispid, parameter, "--on", "--off", "help")
//       --on passes true, --off false; "" where the option does not exist
//   NONE(Setter, dispid, "--option", "help")
//   RECORD(Setter, dispid)
//       the parameters of VORLEN_ENCRYPTION, which vorlen-convert's own
//       options fill
// A help of "|" lists the next setter's options on the same line.
#define VORLEN_SETTERS(TEXT, FLAG, NONE, RECORD)                                                 \
  TEXT(SetVorlenPath, 0x60030008, exePath, "--converter", "PATH",                                \
       "the converter program (SetVorlenPath)")                                                  \
  TEXT(AddStyleSheet, 0x60030009, cssPath, "--style-sheet", "PATH",                              \
       "add a style sheet (repeatable, in order)")                                               \
  NONE(ClearStyleSheets, 0x6003000A, "--clear-style-sheets",                                     \
       "forget the style sheets given so far")                                                   \
  FLAG(SetHTML, 0x6003000B, html, "--html", "", "the input is HTML")                             \
  TEXT(SetLog, 0x6003000C, logFile, "--log", "PATH", "the converter writes its log there")       \
  TEXT(SetBaseURL, 0x6003000D, baseurl, "--base-url", "URL", "base URL for relative references") \
  FLAG(SetXInclude, 0x6003000E, xinclude, "", "--no-xinclude", "|")                              \
  FLAG(SetEmbedFonts, 0x6003000F, embed, "", "--no-embed-fonts", "|")                            \
  FLAG(SetCompress, 0x60030010, compress, "", "--no-compress", "")                               \
  FLAG(SetEncrypt, 0x60030011, encrypt, "--encrypt", "--no-encrypt", "")                         \
  RECORD(SetEncryptInfo, 0x60030012)

// The parameters of the record setter, in order, separated by commas, through
// the macro of each one's kind: a 16-bit number, a text or a flag.
#define VORLEN_ENCRYPTION(NUMBER, TEXT, FLAG)                                    \
  NUMBER(keyBits), TEXT(userPassword), TEXT(ownerPassword), FLAG(disallowPrint), \
      FLAG(disallowModify), FLAG(disallowCopy), FLAG(disallowAnnotate)

// For a kind that a layer leaves out, and for a parameter it passes on as it is.
#define VORLEN_SKIP(...)
#define VORLEN_SAME(name) name
