#include "converter/encoding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace converter {
namespace {

// Code points of the WinAnsi bytes 0x80..0x9F (0 where the code page has none).
constexpr std::array<char32_t, 32> kWinAnsiHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string WinAnsiToUtf8(std::string_view bytes) {
  std::string out;
  for (unsigned char byte : bytes) {
    char32_t cp = byte;
    if (byte >= 0x80 && byte < 0xA0)
      cp = kWinAnsiHigh[byte - 0x80] ? kWinAnsiHigh[byte - 0x80] : byte;
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  auto unit = [&](size_t i) -> char32_t {
    auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t cp = unit(i);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, cp >= 0xD800 && cp < 0xE000 ? kReplacementCharacter : cp);
  }
  return out;
}

// The encoding a document names for itself near its start, lower case, or "".
std::string DeclaredEncoding(std::string_view bytes) {
  std::string head = Lower(bytes.substr(0, 1024));
  for (std::string_view key : {"encoding=", "charset="}) {
    size_t at = head.find(key);
    if (at == std::string::npos) continue;
    size_t pos = at + key.size();
    while (pos < head.size() && (head[pos] == '"' || head[pos] == '\'' || head[pos] == ' ')) ++pos;
    size_t end = pos;
    while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) ||
                                 head[end] == '-' || head[end] == '_'))
      ++end;
    return head.substr(pos, end - pos);
  }
  return {};
}

}  // namespace

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

char32_t NextCodePoint(std::string_view s, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int extra = lead >= 0xC2 && lead < 0xE0   ? 1
              : lead >= 0xE0 && lead < 0xF0 ? 2
              : lead >= 0xF0 && lead < 0xF5 ? 3
                                            : 0;
  if (extra == 0 || pos + static_cast<size_t>(extra) >= s.size()) {
    ++pos;
    return kReplacementCharacter;
  }
  char32_t cp = lead & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    unsigned char next = byte(pos + static_cast<size_t>(i));
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacementCharacter;
    }
    cp = cp << 6 | (next & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
    ++pos;
    return kReplacementCharacter;
  }
  pos += static_cast<size_t>(extra) + 1;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = kReplacementCharacter;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string DecodeDocument(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFE\xFF")) return Utf16ToUtf8(bytes.substr(2), true);
  if (bytes.starts_with("\xFF\xFE")) return Utf16ToUtf8(bytes.substr(2), false);
  std::string declared = DeclaredEncoding(bytes);
  if (declared == "iso-8859-1" || declared == "latin1" || declared == "latin-1" ||
      declared == "windows-1252" || declared == "cp1252" || declared == "iso-8859-15")
    return WinAnsiToUtf8(bytes);
  // UTF-8, with every malformed sequence replaced.
  std::string text;
  text.reserve(bytes.size());
  for (size_t pos = 0; pos < bytes.size();) AppendUtf8(text, NextCodePoint(bytes, pos));
  return text;
}

unsigned char ToWinAnsi(char32_t cp) {
  if ((cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF))
    return static_cast<unsigned char>(cp);
  for (size_t i = 0; i < kWinAnsiHigh.size(); ++i)
    if (kWinAnsiHigh[i] != 0 && kWinAnsiHigh[i] == cp) return static_cast<unsigned char>(0x80 + i);
  return 0;
}

std::string PdfTextString(std::string_view utf8) {
  std::string out = "<FEFF";
  char hex[8];
  auto unit = [&](unsigned value) {
    std::snprintf(hex, sizeof hex, "%04X", value);
    out += hex;
  };
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t cp = NextCodePoint(utf8, pos);
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out + ">";
}

}  // namespace converter
