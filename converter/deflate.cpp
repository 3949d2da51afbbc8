#include "converter/deflate.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace converter {
namespace {

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                         4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                         9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kShortestMatch = 3;
constexpr std::size_t kLongestMatch = 258;
constexpr int kChainSteps = 64;  // enough for text; bounds the time on repetitive input
constexpr std::size_t kHashSize = 1 << 15;

// Deflate packs bits from the least significant end of each byte; Huffman
// codes are the exception and go most significant bit first.
class BitWriter {
 public:
  void Bits(std::uint32_t value, int count) {
    buffer_ |= value << bitCount_;
    bitCount_ += count;
    while (bitCount_ >= 8) {
      out_ += static_cast<char>(buffer_ & 0xFF);
      buffer_ >>= 8;
      bitCount_ -= 8;
    }
  }

  void Code(std::uint32_t code, int length) {
    std::uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1U) << (length - 1 - i);
    Bits(reversed, length);
  }

  std::string Finish() {
    if (bitCount_ > 0) out_ += static_cast<char>(buffer_ & 0xFF);
    return std::move(out_);
  }

 private:
  std::string out_;
  std::uint32_t buffer_ = 0;
  int bitCount_ = 0;
};

// The fixed literal/length code of RFC 1951, 3.2.6.
void Symbol(BitWriter& bits, std::uint32_t symbol) {
  if (symbol < 144)
    bits.Code(0x30 + symbol, 8);
  else if (symbol < 256)
    bits.Code(0x190 + symbol - 144, 9);
  else if (symbol < 280)
    bits.Code(symbol - 256, 7);
  else
    bits.Code(0xC0 + symbol - 280, 8);
}

template <typename Bases>
std::size_t Slot(const Bases& bases, std::size_t value) {
  std::size_t slot = bases.size() - 1;
  while (bases[slot] > value) --slot;
  return slot;
}

void Match(BitWriter& bits, std::size_t length, std::size_t distance) {
  const std::size_t l = Slot(kLengthBase, length);
  Symbol(bits, static_cast<std::uint32_t>(257 + l));
  bits.Bits(static_cast<std::uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
  const std::size_t d = Slot(kDistanceBase, distance);
  bits.Code(static_cast<std::uint32_t>(d), 5);
  bits.Bits(static_cast<std::uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

std::uint32_t Adler32(std::string_view data) {
  std::uint32_t a = 1, b = 0;
  for (char c : data) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// Earlier positions that start with the same three bytes, newest first.
class MatchFinder {
 public:
  explicit MatchFinder(std::string_view data)
      : data_(data), head_(kHashSize, kNone), previous_(data.size(), kNone) {}

  void Insert(std::size_t at) {
    if (at + kShortestMatch > data_.size()) return;
    std::size_t& head = head_[Hash(at)];
    previous_[at] = head;
    head = at;
  }

  // The longest match for the bytes at `at` within the window: {length, distance}.
  std::pair<std::size_t, std::size_t> Longest(std::size_t at) const {
    std::size_t bestLength = 0, bestDistance = 0;
    if (at + kShortestMatch > data_.size()) return {0, 0};
    const std::size_t limit = std::min(kLongestMatch, data_.size() - at);
    std::size_t candidate = head_[Hash(at)];
    for (int step = 0; candidate != kNone && at - candidate <= kWindow && step < kChainSteps;
         ++step, candidate = previous_[candidate]) {
      std::size_t length = 0;
      while (length < limit && data_[candidate + length] == data_[at + length]) ++length;
      if (length > bestLength) {
        bestLength = length;
        bestDistance = at - candidate;
        if (length == limit) break;
      }
    }
    return {bestLength, bestDistance};
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::size_t Hash(std::size_t at) const {
    auto byte = [&](std::size_t i) {
      return static_cast<std::size_t>(static_cast<unsigned char>(data_[at + i]));
    };
    return ((byte(0) << 10) ^ (byte(1) << 5) ^ byte(2)) & (kHashSize - 1);
  }

  std::string_view data_;
  std::vector<std::size_t> head_;
  std::vector<std::size_t> previous_;
};

}  // namespace

std::string ZlibCompress(std::string_view data) {
  BitWriter bits;
  bits.Bits(1, 1);  // the final block
  bits.Bits(1, 2);  // with the fixed codes
  MatchFinder finder(data);
  for (std::size_t at = 0; at < data.size();) {
    const auto [length, distance] = finder.Longest(at);
    if (length >= kShortestMatch) {
      Match(bits, length, distance);
      for (std::size_t i = 0; i < length; ++i) finder.Insert(at + i);
      at += length;
    } else {
      Symbol(bits, static_cast<unsigned char>(data[at]));
      finder.Insert(at);
      ++at;
    }
  }
  Symbol(bits, 256);  // end of block

  // CMF 0x78: deflate with a 32 KiB window; FLG 0x01 makes CMF·256+FLG a multiple of 31.
  std::string out = "\x78\x01";
  out += bits.Finish();
  const std::uint32_t check = Adler32(data);
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((check >> shift) & 0xFF);
  return out;
}

}  // namespace converter
