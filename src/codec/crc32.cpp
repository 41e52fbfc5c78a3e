// CRC-32 of the uncompressed data of a block (reflected polynomial 0xEDB88320).
// Eight tables let the loop take eight bytes per step, still one table lookup
// per byte.
#include <array>

#include "codec/codec.h"
#include "platform/little_endian.h"

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

}  // namespace

uint32_t Crc32Update(const uint8_t* data, size_t count, uint32_t running) {
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

}  // namespace exqrv::codec
