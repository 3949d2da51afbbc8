#include "tests/protocol/random_output.h"

#include <array>

namespace vorlen::testing {
namespace {

int Roll(std::mt19937& rng, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(rng);
}

bool Chance(std::mt19937& rng, int percent) {
  return Roll(rng, 1, 100) <= percent;
}

// Characters that matter to the protocol, and a few that must pass untouched.
constexpr std::array<char16_t, 16> kAlphabet = {u'\r', u'\n',   u'|',      u'm',     u's', u'g',
                                                u'f',  u'i',    u'n',      u'a',     u'M', u'F',
                                                u'\0', u'\x7F', u'\u00E9', u'\u20AC'};

Text Noise(std::mt19937& rng, int maxLength, bool bars) {
  Text out;
  const int length = Roll(rng, 0, maxLength);
  for (int i = 0; i < length; ++i) {
    char16_t c = kAlphabet[Roll(rng, 0, kAlphabet.size() - 1)];
    if (!bars && c == u'|') c = u'x';
    // Line ends are added on purpose below; inside a field they are rarer.
    if ((c == u'\r' || c == u'\n') && !Chance(rng, 20)) c = u'w';
    out.push_back(c);
  }
  return out;
}

// Pads or cuts the text to the given length.
Text Exactly(Text text, std::size_t length) {
  text.resize(length, u'w');
  return text;
}

Text LineEnd(std::mt19937& rng) {
  switch (Roll(rng, 0, 19)) {
    case 0:
      return u"\r\r\n";
    case 1:
      return u"\n";
    case 2:
      return u"\r";
    case 3:
      return u"\n\r";
    default:
      return u"\r\n";
  }
}

Text FinValue(std::mt19937& rng) {
  static const std::array<Text, 7> values = {u"success",  u"failure",   u"",       u"Success",
                                             u"success ", u"success\r", u"unknown"};
  return values[Roll(rng, 0, values.size() - 1)];
}

// One piece of output; `faults` allows the lines that raise error 5, which
// end a run and so are kept rare.
Text Piece(std::mt19937& rng, bool faults) {
  const int kind = Roll(rng, 0, 99);
  if (kind < 45) {  // a well-formed message line: type, separator, location, bar, text
    return u"msg|" + Exactly(Noise(rng, 3, true), 3) + Exactly(Noise(rng, 1, true), 1) +
           Noise(rng, 30, false) + u"|" + Noise(rng, 40, true) + LineEnd(rng);
  }
  if (kind < 55) return u"fin|" + FinValue(rng) + LineEnd(rng);
  if (kind < 62) return u"msg|" + Exactly(Noise(rng, 12, false), Roll(rng, 4, 12)) + LineEnd(rng);
  if (kind < 70) {  // an ignored prefix
    static const std::array<Text, 5> prefixes = {u"MSG|", u"Fin|", u"msg:", u"FIN|", u"log|"};
    return prefixes[Roll(rng, 0, prefixes.size() - 1)] + Noise(rng, 20, true) + LineEnd(rng);
  }
  if (kind < 72 && faults) return Noise(rng, 4, true) + u"\r\n";            // likely too short
  if (kind < 74 && faults) return u"msg|" + Noise(rng, 3, true) + u"\r\n";  // likely a short body
  if (kind < 76) {  // one long line, assembled over many reads
    return u"msg|wrn|" + Text(Roll(rng, 300, 3000), u'z') + u"|long" + LineEnd(rng);
  }
  // Noise; with line ends only where they cannot make a line too short.
  return faults ? Noise(rng, 16, true) : u"fin|" + Noise(rng, 16, true);
}

}  // namespace

Text RandomOutput(std::mt19937& rng) {
  Text out;
  const int pieces = Roll(rng, 0, Chance(rng, 10) ? 400 : 30);
  const bool faults = Chance(rng, 30);
  for (int i = 0; i < pieces; ++i) out += Piece(rng, faults);
  return out;
}

std::vector<Text> RandomChunks(const Text& output, std::mt19937& rng) {
  std::vector<Text> chunks;
  std::size_t at = 0;
  while (at < output.size()) {
    std::size_t size = Chance(rng, 5) ? 0 : Chance(rng, 20) ? Roll(rng, 1, 3) : Roll(rng, 1, 256);
    size = std::min(size, output.size() - at);
    if (Chance(rng, 40)) {  // end the read right after a CR, before its LF
      const std::size_t cr = output.find(u'\r', at);
      if (cr != Text::npos && cr - at < 256) size = cr - at + 1;
    }
    chunks.push_back(output.substr(at, size));
    at += size;
  }
  return chunks;
}

}  // namespace vorlen::testing
