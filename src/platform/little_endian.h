// Little-endian field access: every file format of a document is little-endian,
// and these are the only places that assemble or split such fields.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

namespace exqrv {

inline uint16_t ReadLe16(const void* data) {
  const auto* p = static_cast<const uint8_t*>(data);
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLe32(const void* data) {
  const auto* p = static_cast<const uint8_t*>(data);
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void WriteLe16(void* data, uint16_t value) {
  auto* p = static_cast<uint8_t*>(data);
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteLe32(void* data, uint32_t value) {
  auto* p = static_cast<uint8_t*>(data);
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// Whole 64-bit words for the codec's bit readers and writers: one unaligned
// load or store, where the others assemble byte by byte. The formats' bit
// order is that of a little-endian word.
inline uint64_t LoadLe64(const void* data) {
  uint64_t value;
  std::memcpy(&value, data, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
  return value;
}

inline void StoreLe64(void* data, uint64_t value) {
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
  std::memcpy(data, &value, sizeof value);
}

// Appenders for code that assembles file images in memory.
inline void AppendLe16(std::string& out, uint16_t value) {
  char bytes[2];
  WriteLe16(bytes, value);
  out.append(bytes, sizeof bytes);
}

inline void AppendLe32(std::string& out, uint32_t value) {
  char bytes[4];
  WriteLe32(bytes, value);
  out.append(bytes, sizeof bytes);
}

}  // namespace exqrv
