// The decoder's work memory. The caller supplies it (CompressedBlock obtains
// one per operation); Explode keeps all of its state in it and allocates
// nothing.
#pragma once

#include <cstdint>

#include "codec/codec.h"

namespace exqrv::codec {

struct ExplodeWork {
  static constexpr uint32_t kInputPiece = 2048;   // every read asks for this much
  static constexpr uint32_t kOutputPiece = 4096;  // every write but the last is this long
  static constexpr uint32_t kHistory = 4096;      // the largest distance
  // Larger than the minimum (history + piece + longest match) so that the
  // window slides only once every several pieces.
  static constexpr uint32_t kWindowSize = 64 * 1024;
  // A match is copied 32 bytes at first and then in 16-byte steps where it
  // can be, so the copy may write up to 31 bytes past the match's end.
  static constexpr uint32_t kCopySlack = 32;

  uint8_t input[kInputPiece];
  uint8_t window[kWindowSize + kCopySlack];
};

}  // namespace exqrv::codec
