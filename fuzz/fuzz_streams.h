// Memory source and sink for the fuzz targets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace exqrv::fuzz {

struct Streams {
  Streams(const uint8_t* data, size_t length) : input(data), size(length) {}

  const uint8_t* input = nullptr;
  size_t size = 0;
  size_t at = 0;
  uint32_t laterDelivery = UINT32_MAX;  // limit for every read after the first
  size_t reads = 0;
  std::vector<uint8_t> output;

  static uint32_t Read(uint8_t* buffer, uint32_t requested, void* context) {
    auto& self = *static_cast<Streams*>(context);
    const uint32_t limit = self.reads++ == 0 ? requested : std::min(requested, self.laterDelivery);
    const size_t count = std::min<size_t>(limit, self.size - self.at);
    if (count > 0) std::memcpy(buffer, self.input + self.at, count);
    self.at += count;
    return static_cast<uint32_t>(count);
  }
  static void Write(const uint8_t* buffer, uint32_t count, void* context) {
    auto& self = *static_cast<Streams*>(context);
    self.output.insert(self.output.end(), buffer, buffer + count);
  }
};

}  // namespace exqrv::fuzz
