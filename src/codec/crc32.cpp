// CRC-32 of the uncompressed data of a block (reflected polynomial 0xEDB88320).
//
// Where the processor multiplies without carries (x86-64 with PCLMULQDQ), the
// bulk of the data is folded 64 bytes per step: the CRC is the remainder of
// the data as a polynomial, and multiplying a 128-bit lane by x^k mod P moves
// it k bits further along without changing that remainder, so four lanes run
// in parallel and are reduced to 32 bits once at the end. Elsewhere, and for
// the short ends, eight tables take eight bytes per step, one lookup a byte.
#include <array>

#include "codec/codec.h"
#include "platform/little_endian.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define EXQRV_FOLDING_CRC 1
#endif

namespace exqrv::codec {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;
constexpr int kSlices = 8;

using CrcTables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr CrcTables BuildTables() {
  CrcTables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? kPolynomial : 0);
    tables[0][byte] = crc;
  }
  for (int slice = 1; slice < kSlices; ++slice) {
    for (uint32_t byte = 0; byte < 256; ++byte) {
      const uint32_t previous = tables[slice - 1][byte];
      tables[slice][byte] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr CrcTables kTables = BuildTables();

uint32_t TableCrc(const uint8_t* data, size_t count, uint32_t running) {
  while (count >= kSlices) {
    const uint32_t low = running ^ ReadLe32(data);
    running = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
              kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][data[4]] ^
              kTables[2][data[5]] ^ kTables[1][data[6]] ^ kTables[0][data[7]];
    data += kSlices;
    count -= kSlices;
  }
  while (count-- > 0) running = kTables[0][(running ^ *data++) & 0xFF] ^ (running >> 8);
  return running;
}

#ifdef EXQRV_FOLDING_CRC

constexpr size_t kFoldBlock = 64;  // four 16-byte lanes
constexpr size_t kLane = 16;

// x^k mod P for the distances folded over (bit-reflected, shifted by one as
// the reflected multiplication needs): 4 lanes (k = 512 + 32, 512 - 32), one
// lane (k = 128 + 32, 128 - 32), 64 bits (k = 64); then P and the Barrett
// constant floor(x^64 / P), both reflected.
constexpr uint64_t kFold4Low = 0x154442BD4, kFold4High = 0x1C6E41596;
constexpr uint64_t kFold1Low = 0x1751997D0, kFold1High = 0x0CCAA009E;
constexpr uint64_t kFold64 = 0x163CD6124;
constexpr uint64_t kReflectedPolynomial = 0x1DB710641, kBarrett = 0x1F7011641;

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i lane, __m128i constants,
                                                             __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const uint8_t* data) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}

// Takes a whole number of 16-byte lanes, at least four.
__attribute__((target("pclmul,sse4.1"))) uint32_t FoldingCrc(const uint8_t* data, size_t count,
                                                             uint32_t running) {
  __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(running)));
  __m128i x2 = Load(data + 16);
  __m128i x3 = Load(data + 32);
  __m128i x4 = Load(data + 48);
  data += kFoldBlock;
  count -= kFoldBlock;

  const __m128i fold4 =
      _mm_set_epi64x(static_cast<long long>(kFold4High), static_cast<long long>(kFold4Low));
  while (count >= kFoldBlock) {
    x1 = Fold(x1, fold4, Load(data));
    x2 = Fold(x2, fold4, Load(data + 16));
    x3 = Fold(x3, fold4, Load(data + 32));
    x4 = Fold(x4, fold4, Load(data + 48));
    data += kFoldBlock;
    count -= kFoldBlock;
  }

  const __m128i fold1 =
      _mm_set_epi64x(static_cast<long long>(kFold1High), static_cast<long long>(kFold1Low));
  x1 = Fold(x1, fold1, x2);
  x1 = Fold(x1, fold1, x3);
  x1 = Fold(x1, fold1, x4);
  while (count >= kLane) {
    x1 = Fold(x1, fold1, Load(data));
    data += kLane;
    count -= kLane;
  }

  // 128 bits to 64, then to 32 with a Barrett reduction.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, fold1, 0x10));
  const __m128i fold64 = _mm_set_epi64x(0, static_cast<long long>(kFold64));
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                     _mm_clmulepi64_si128(_mm_and_si128(x1, low32), fold64, 0x00));
  const __m128i barrett = _mm_set_epi64x(static_cast<long long>(kBarrett),
                                         static_cast<long long>(kReflectedPolynomial));
  __m128i quotient =
      _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10), low32);
  x1 = _mm_xor_si128(x1, _mm_clmulepi64_si128(quotient, barrett, 0x00));
  return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

bool CanFold() {
  static const bool can = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  }();
  return can;
}

#endif

}  // namespace

uint32_t Crc32Update(const uint8_t* data, size_t count, uint32_t running) {
#ifdef EXQRV_FOLDING_CRC
  if (count >= kFoldBlock && CanFold()) {
    const size_t folded = count & ~(kLane - 1);
    running = FoldingCrc(data, folded, running);
    data += folded;
    count -= folded;
  }
#endif
  return TableCrc(data, count, running);
}

}  // namespace exqrv::codec
