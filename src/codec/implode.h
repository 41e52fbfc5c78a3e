// The encoder's work memory. The caller supplies it (CompressedBlock obtains
// one per operation); at the start of every call Implode clears what it reads
// before writing, so its output depends on its input alone.
#pragma once

#include <cstdint>

#include "codec/codec.h"

namespace exqrv::codec {

struct ImplodeWork {
  static constexpr uint32_t kBatch = 4096;    // input taken per batch
  static constexpr uint32_t kMaxMatch = 516;  // the longest match the encoder sends
  static constexpr uint32_t kMaxDictionary = 4096;
  static constexpr uint32_t kMaxHistory = kMaxDictionary + kMaxMatch;
  // Match comparisons in the last batch may run up to kMaxMatch - 1 bytes past
  // the input, and are done 8 bytes at a time.
  static constexpr uint32_t kWindowSize = kMaxHistory + kBatch + kMaxMatch + 8;
  static constexpr uint32_t kOutputPiece = 2048;  // every write but the last is this long
  static constexpr uint32_t kOutputSlack = 16;    // the bit writer stores 8 bytes at a time

  uint8_t window[kWindowSize];
  // Per batch, the window's positions sorted by a hash of the 3 bytes they
  // start: start[h] .. start[h + 1] in positions, in increasing order, and
  // cursor[h] the first one still inside the dictionary. Every candidate that
  // can match 3 bytes or more is in its position's list. A position's hash
  // never changes, so it is kept beside the window and moves with it.
  static constexpr uint32_t kTripleHashCount = 4096;
  struct TripleIndex {
    uint16_t start[kTripleHashCount + 1];
    uint16_t cursor[kTripleHashCount];
    uint16_t positions[kMaxHistory + kBatch];
    uint16_t hashes[kMaxHistory + kBatch];
    uint16_t rank[kMaxHistory + kBatch];  // where each indexed position stands in positions
  } triples;
  // By byte pair (first byte in the low 8 bits): the stream position + 1 of
  // its latest occurrence so far, 0 for none.
  uint32_t lastPair[1 << 16];
  int16_t failure[kMaxMatch + 1];  // the long-match search's failure table, -1 = none
  uint8_t output[kOutputPiece + kOutputSlack];
};

}  // namespace exqrv::codec
