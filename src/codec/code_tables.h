// The fixed prefix codes of the implode format, shared by the decoder and the
// encoder. No table is ever transmitted: every code follows from a list of
// code lengths by one rule (a canonical code with every bit inverted), and
// everything here is computed at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace exqrv::codec::tables {

// A code as it goes on the wire: bit 0 of value is the first bit sent.
struct Code {
  uint16_t value = 0;
  uint8_t bits = 0;
};

inline constexpr int kLengthCodeCount = 16;
inline constexpr int kDistanceCodeCount = 64;
inline constexpr int kLiteralCount = 256;
inline constexpr uint32_t kMinMatch = 2;
inline constexpr uint32_t kEndMarkerLength = 519;  // length code 15 with all extra bits set
inline constexpr int kEndMarkerCode = 15;
inline constexpr uint32_t kShortMatchLowBits = 2;  // the low distance part of a length-2 match
inline constexpr int kMaxLiteralCodeBits = 13;

inline constexpr uint8_t kLengthCodeBits[kLengthCodeCount] = {3, 2, 3, 3, 4, 4, 4, 5,
                                                              5, 5, 5, 6, 6, 6, 7, 7};
inline constexpr uint8_t kLengthExtraBits[kLengthCodeCount] = {0, 0, 0, 0, 0, 0, 0, 0,
                                                               1, 2, 3, 4, 5, 6, 7, 8};
inline constexpr uint16_t kLengthBase[kLengthCodeCount] = {2,  3,  4,  5,  6,  7,  8,   9,
                                                           10, 12, 16, 24, 40, 72, 136, 264};

inline constexpr std::array<uint8_t, kDistanceCodeCount> kDistanceCodeBits = [] {
  std::array<uint8_t, kDistanceCodeCount> bits{};
  for (int h = 0; h < kDistanceCodeCount; ++h) {
    bits[h] = h == 0 ? 2 : h <= 2 ? 4 : h <= 6 ? 5 : h <= 21 ? 6 : h <= 47 ? 7 : 8;
  }
  return bits;
}();

// Tuned for text: short codes for lower-case letters and the space.
inline constexpr std::array<uint8_t, kLiteralCount> kLiteralCodeBits = [] {
  constexpr uint8_t kRows[8][16] = {
      {11, 12, 12, 12, 12, 12, 12, 12, 12, 8, 7, 12, 12, 7, 12, 12},
      {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 13, 12, 12, 12, 12, 12},
      {4, 10, 8, 12, 10, 12, 10, 8, 7, 7, 8, 9, 7, 6, 7, 8},
      {7, 6, 7, 7, 7, 7, 8, 7, 7, 8, 8, 12, 11, 7, 9, 11},
      {12, 6, 7, 6, 6, 5, 7, 8, 8, 6, 11, 9, 6, 7, 6, 6},
      {7, 11, 6, 6, 6, 7, 9, 8, 9, 9, 11, 8, 11, 9, 12, 8},
      {12, 5, 6, 6, 6, 5, 6, 6, 6, 5, 11, 7, 5, 6, 5, 5},
      {6, 10, 5, 5, 5, 5, 8, 7, 8, 8, 10, 11, 11, 12, 12, 12},
  };
  constexpr uint8_t kRowE[16] = {13, 12, 13, 13, 13, 12, 13, 13, 13, 12, 13, 13, 13, 13, 12, 13};
  constexpr uint8_t kRowF[16] = {13, 13, 12, 12, 12, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13};
  std::array<uint8_t, kLiteralCount> bits{};
  for (int b = 0; b < kLiteralCount; ++b) {
    const int row = b >> 4;
    const int column = b & 0x0F;
    if (row < 8) bits[b] = kRows[row][column];
    else if (row < 0xB) bits[b] = 13;
    else if (row < 0xE) bits[b] = 12;
    else bits[b] = row == 0xE ? kRowE[column] : kRowF[column];
  }
  return bits;
}();

constexpr uint16_t ReverseBits(uint32_t value, int bits) {
  uint32_t reversed = 0;
  for (int i = 0; i < bits; ++i) reversed |= ((value >> i) & 1u) << (bits - 1 - i);
  return static_cast<uint16_t>(reversed);
}

// Symbols in order of increasing length (and symbol within a length) get
// consecutive canonical codes; every bit is then inverted, and since codes go
// out most significant bit first, the wire value is the bit-reversed code.
template <size_t N>
constexpr std::array<Code, N> BuildCodes(const uint8_t* lengths) {
  std::array<Code, N> codes{};
  uint32_t code = 0;
  int previousBits = 0;
  bool first = true;
  for (int bits = 1; bits <= 16; ++bits) {
    for (size_t symbol = 0; symbol < N; ++symbol) {
      if (lengths[symbol] != bits) continue;
      code = first ? 0 : (code + 1) << (bits - previousBits);
      first = false;
      previousBits = bits;
      const uint32_t inverted = ~code & ((1u << bits) - 1);
      codes[symbol] = Code{ReverseBits(inverted, bits), static_cast<uint8_t>(bits)};
    }
  }
  return codes;
}

inline constexpr std::array<Code, kLengthCodeCount> kLengthCodes =
    BuildCodes<kLengthCodeCount>(kLengthCodeBits);
inline constexpr std::array<Code, kDistanceCodeCount> kDistanceCodes =
    BuildCodes<kDistanceCodeCount>(kDistanceCodeBits.data());
inline constexpr std::array<Code, kLiteralCount> kLiteralCodes =
    BuildCodes<kLiteralCount>(kLiteralCodeBits.data());

static_assert(kLengthCodes[1].value == 0x3 && kLengthCodes[1].bits == 2);
static_assert(kLengthCodes[15].value == 0 && kLengthCodes[15].bits == 7);
static_assert(kDistanceCodes[1].value == 0x0D && kDistanceCodes[63].value == 0);

}  // namespace exqrv::codec::tables
