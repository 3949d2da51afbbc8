#pragma once
// Character encodings the converter meets: UTF-8 inside, the document's own
// encoding on the way in, WinAnsi (code page 1252) for the PDF's standard fonts
// and UTF-16BE for PDF text strings.
#include <string>
#include <string_view>

namespace converter {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// ASCII letters in lower case; other bytes as they are (the converter keeps
// the "C" locale). Names, schemes and encodings compare this way.
std::string Lower(std::string_view text);

// Reads the code point at `pos` and advances past it; a malformed sequence
// yields U+FFFD and advances by one byte.
char32_t NextCodePoint(std::string_view utf8, size_t& pos);
void AppendUtf8(std::string& out, char32_t codePoint);

// The document's bytes as UTF-8: a byte-order mark (UTF-8 or UTF-16) or an
// encoding named in the XML declaration or an HTML meta tag decides; Latin-1
// and Windows-1252 are converted, anything else is read as UTF-8.
std::string DecodeDocument(std::string_view bytes);

// The WinAnsi byte for a code point, or 0 when the standard fonts cannot show it.
unsigned char ToWinAnsi(char32_t codePoint);

// A PDF text string that holds any text: UTF-16BE with its byte-order mark,
// written in hexadecimal, e.g. <FEFF0041>.
std::string PdfTextString(std::string_view utf8);

}  // namespace converter
