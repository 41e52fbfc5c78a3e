// The encoder's work memory. The caller supplies it (CompressedBlock obtains
// one per operation); Implode clears it at the start of every call, so its
// output depends on its input alone.
#pragma once

#include <cstdint>

#include "codec/codec.h"

namespace exqrv::codec {

struct ImplodeWork {
  static constexpr uint32_t kBatch = 4096;        // input taken per batch
  static constexpr uint32_t kMaxMatch = 516;      // the longest match the encoder sends
  static constexpr uint32_t kMaxDictionary = 4096;
  static constexpr uint32_t kMaxHistory = kMaxDictionary + kMaxMatch;
  // Match comparisons in the last batch may run up to kMaxMatch - 1 bytes past
  // the input, and are done 8 bytes at a time.
  static constexpr uint32_t kWindowSize = kMaxHistory + kBatch + kMaxMatch + 8;
  static constexpr uint32_t kHashCount = 2304;    // 4 * 255 + 5 * 255 + 1, rounded up
  static constexpr uint32_t kOutputPiece = 2048;  // every write but the last is this long
  static constexpr uint32_t kOutputSlack = 16;    // the bit writer stores 8 bytes at a time

  uint8_t window[kWindowSize];
  // Per batch, positions sorted by the hash of the byte pair they start:
  // bucketStart[h] .. bucketStart[h + 1] in positions, cursor[h] the first
  // one still inside the dictionary.
  uint16_t bucketStart[kHashCount + 1];
  uint16_t cursor[kHashCount];
  uint16_t positions[kMaxHistory + kBatch];
  int16_t failure[kMaxMatch + 1];  // the long-match search's failure table, -1 = none
  uint8_t output[kOutputPiece + kOutputSlack];
};

}  // namespace exqrv::codec
