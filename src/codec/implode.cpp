// The implode-format encoder.
//
// Input comes in batches of 4096 bytes placed behind the history in one
// window. Each batch sorts the window's positions by the hash of the byte
// pair they start (a counting sort), so the candidates for a position are one
// contiguous, ascending stretch of a list. A simple scan takes the best of
// them; once a match is longer than 10 bytes the rest of the candidates are
// searched with a failure table, as in Knuth-Morris-Pratt, so long runs and
// long repeated phrases do not cost a full comparison per candidate. The
// output is exactly determined by these rules, including which of several
// equally long matches is taken, so they are kept literally.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "codec/code_tables.h"
#include "codec/implode.h"

namespace exqrv::codec {
namespace {

constexpr uint32_t kBatch = ImplodeWork::kBatch;
constexpr uint32_t kMaxMatch = ImplodeWork::kMaxMatch;
constexpr uint32_t kOutputPiece = ImplodeWork::kOutputPiece;
constexpr uint32_t kSimpleScanLimit = 10;     // longer matches switch to the failure-table search
constexpr uint32_t kFarShortMatch = 257;      // a 2-byte match this far away costs more than 2 literals
constexpr uint32_t kSendAtOnceLength = 8;     // matches this long are not probed against p + 1
constexpr uint32_t kFarProbeDistance = 130;   // from here a 1-byte longer match at p + 1 wins
constexpr uint32_t kSecondBatchHistory = kBatch - kMaxMatch;  // indexed in batch 2 with 4096

// Output codes by match length (2 to 519; 519 is the end marker): the flag
// bit, the length code, then the extra bits.
constexpr std::array<tables::Code, tables::kEndMarkerLength + 1> kLengthOutput = [] {
  std::array<tables::Code, tables::kEndMarkerLength + 1> codes{};
  for (int row = 0; row < tables::kLengthCodeCount; ++row) {
    const tables::Code code = tables::kLengthCodes[row];
    const uint32_t extraBits = tables::kLengthExtraBits[row];
    for (uint32_t extra = 0; extra < (1u << extraBits); ++extra) {
      const uint32_t value = 1u | (uint32_t{code.value} << 1) | (extra << (code.bits + 1));
      codes[tables::kLengthBase[row] + extra] =
          tables::Code{static_cast<uint16_t>(value), static_cast<uint8_t>(1 + code.bits + extraBits)};
    }
  }
  return codes;
}();

// One unaligned load; the bit order of the format is that of a little-endian word.
inline uint64_t LoadLe64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
  return value;
}

inline void StoreLe64(uint8_t* p, uint64_t value) {
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
  std::memcpy(p, &value, sizeof value);
}

// How far a and b agree, counted on from `from`, at most `max`.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t from, uint32_t max) {
  uint32_t length = from;
  while (length + 8 <= max) {
    const uint64_t difference = LoadLe64(a + length) ^ LoadLe64(b + length);
    if (difference != 0) return length + static_cast<uint32_t>(__builtin_ctzll(difference) >> 3);
    length += 8;
  }
  while (length < max && a[length] == b[length]) ++length;
  return length;
}

struct Match {
  uint32_t length = 0;  // 0: none
  uint32_t distance = 0;
};

class Encoder {
 public:
  Encoder(ReadCallback read, WriteCallback write, ImplodeWork& work, void* context,
          uint32_t literalCoding, uint32_t dictionaryBits)
      : read_(read),
        write_(write),
        work_(work),
        context_(context),
        ascii_(literalCoding == Ascii),
        dictionaryBits_(dictionaryBits),
        dictionarySize_(1u << (dictionaryBits + 6)),
        history_(dictionarySize_ + kMaxMatch) {}

  void Run(uint32_t literalCoding);

 private:
  uint32_t FillBatch(bool* last);
  uint32_t Hash(uint32_t position) const {
    return 4u * work_.window[position] + 5u * work_.window[position + 1];
  }
  void IndexWindow(uint32_t start, uint32_t limit);

  Match FindMatch(uint32_t p);
  Match SearchLongMatch(uint32_t p, uint32_t next, uint32_t end, uint32_t length, uint32_t best);
  void ExtendFailureTable(const uint8_t* pattern, uint32_t upTo);

  uint32_t EncodeRange(uint32_t p, uint32_t limit, bool last);
  uint32_t SendItemAt(uint32_t p, Match match, uint32_t limit, bool last);

  void SendLiteral(uint8_t byte);
  void SendMatch(uint32_t length, uint32_t distance);
  void PutBits(uint32_t value, uint32_t count) {
    bits_ |= uint64_t{value} << bitCount_;
    bitCount_ += count;
  }
  void TakeCompleteBytes();
  void Finish();

  ReadCallback read_;
  WriteCallback write_;
  ImplodeWork& work_;
  void* context_;
  const bool ascii_;
  const uint32_t dictionaryBits_;
  const uint32_t dictionarySize_;
  const uint32_t history_;  // window bytes kept between batches; new input starts here

  uint32_t failureKnown_ = 0;  // failure entries computed for the current position

  uint64_t bits_ = 0;  // output bits not yet in whole bytes
  uint32_t bitCount_ = 0;
  uint32_t outputCount_ = 0;
};

void Encoder::Run(uint32_t literalCoding) {
  work_.output[0] = static_cast<uint8_t>(literalCoding);
  work_.output[1] = static_cast<uint8_t>(dictionaryBits_);
  outputCount_ = 2;

  uint32_t p = history_;
  for (int batch = 1;; ++batch) {
    bool last = false;
    const uint32_t got = FillBatch(&last);
    if (batch == 1 && got == 0) break;
    const uint32_t limit = last ? history_ + got : history_ + kBatch - kMaxMatch;
    // The first batch has no history; in the second, with the largest
    // dictionary, the window's start still holds no input.
    uint32_t indexStart = p - dictionarySize_;
    if (batch == 1) indexStart = history_;
    else if (batch == 2 && dictionarySize_ == ImplodeWork::kMaxDictionary) indexStart = p - kSecondBatchHistory;
    IndexWindow(indexStart, limit);
    p = EncodeRange(p, limit, last);
    if (last) break;
    std::memmove(work_.window, work_.window + kBatch, history_);
    p -= kBatch;
  }
  Finish();
}

uint32_t Encoder::FillBatch(bool* last) {
  uint8_t* const batch = work_.window + history_;
  uint32_t got = 0;
  while (got < kBatch) {
    const uint32_t delivered = read_(batch + got, kBatch - got, context_);
    if (delivered == 0) {
      *last = true;
      break;
    }
    got += std::min(delivered, kBatch - got);
  }
  return got;
}

// Counting sort of the positions start .. limit - 1 by pair hash; each hash's
// positions end up in increasing order.
void Encoder::IndexWindow(uint32_t start, uint32_t limit) {
  uint16_t* const counts = work_.cursor;
  std::memset(counts, 0, sizeof work_.cursor);
  for (uint32_t position = start; position < limit; ++position) ++counts[Hash(position)];
  uint32_t sum = 0;
  for (uint32_t hash = 0; hash < ImplodeWork::kHashCount; ++hash) {
    work_.bucketStart[hash] = static_cast<uint16_t>(sum);
    sum += counts[hash];
    counts[hash] = static_cast<uint16_t>(sum);  // now the bucket's end, filled downwards
  }
  work_.bucketStart[ImplodeWork::kHashCount] = static_cast<uint16_t>(sum);
  for (uint32_t position = limit; position-- > start;) {
    work_.positions[--counts[Hash(position)]] = static_cast<uint16_t>(position);
  }
}

// Candidates are earlier positions with the same pair hash, at distances 2 to
// dictionary size - 1.
Match Encoder::FindMatch(uint32_t p) {
  const uint32_t hash = Hash(p);
  const uint16_t* const positions = work_.positions;
  const uint32_t end = work_.bucketStart[hash + 1];
  const uint32_t oldest = p + 1 - dictionarySize_;
  uint32_t next = work_.cursor[hash];
  while (next < end && positions[next] < oldest) ++next;
  work_.cursor[hash] = static_cast<uint16_t>(next);

  // The simple scan keeps the longest candidate, the later one among equals,
  // and hands over to the long-match search at the first candidate longer
  // than 10 bytes. A candidate is only worth counting when it agrees with p
  // in its first byte and at the current best length; comparing the first 8
  // bytes at once and keeping (length, position) as one maximum gives the
  // same result without a branch per candidate.
  const uint8_t* const window = work_.window;
  const uint8_t* const here = window + p;
  const uint64_t hereWord = LoadLe64(here);
  const uint32_t stop = p - 1;
  uint32_t bestKey = 0;  // length << 16 | position
  for (; next < end && positions[next] < stop; ++next) {
    const uint32_t q = positions[next];
    const uint64_t difference = LoadLe64(window + q) ^ hereWord;
    uint32_t length = difference == 0 ? 8 : static_cast<uint32_t>(__builtin_ctzll(difference) >> 3);
    if (length == 8) {
      length = MatchLength(window + q, here, 8, kMaxMatch);
      if (length > kSimpleScanLimit) return SearchLongMatch(p, next + 1, end, length, q);
    }
    bestKey = std::max(bestKey, (length << 16) | q);
  }
  const uint32_t length = bestKey >> 16;
  if (length < tables::kMinMatch) return Match{};
  return Match{length, p - (bestKey & 0xFFFF)};
}

// Walks the remaining candidates in position order. After a candidate that
// agreed for m bytes, the failure entry of m says how many bytes the next
// alignment is known to agree, so candidates that would start inside that
// stretch are skipped and the comparison resumes where the last one stopped.
Match Encoder::SearchLongMatch(uint32_t p, uint32_t next, uint32_t end, uint32_t length,
                               uint32_t best) {
  const uint16_t* const positions = work_.positions;
  const uint8_t* const window = work_.window;
  const uint8_t* const pattern = window + p;
  const uint32_t stop = p - 1;
  auto remains = [&](uint32_t index) { return index < end && positions[index] < stop; };

  if (length == kMaxMatch || !remains(next)) return Match{length, p - best};
  failureKnown_ = 0;
  ExtendFailureTable(pattern, length);

  uint32_t agreed = length;         // bytes the previous candidate agreed
  uint32_t stretchEnd = best + length;  // where its comparison stopped
  for (;; ++next) {
    const int16_t failure = work_.failure[agreed];
    agreed = failure < 0 ? 0 : static_cast<uint32_t>(failure);
    while (remains(next) && positions[next] + agreed < stretchEnd) ++next;
    if (!remains(next)) break;
    uint32_t q = positions[next];
    if (window[q + length - 2] == pattern[length - 2]) {
      if (q + agreed != stretchEnd) agreed = 0;
    } else {
      do {
        ++next;
      } while (remains(next) && !(window[positions[next] + length - 2] == pattern[length - 2] &&
                                  window[positions[next]] == pattern[0]));
      if (!remains(next)) break;
      q = positions[next];
      agreed = 2;
    }
    agreed = MatchLength(window + q, pattern, agreed, kMaxMatch);
    stretchEnd = q + agreed;
    if (agreed < length) continue;
    best = q;
    if (agreed > length) {
      length = agreed;
      if (length == kMaxMatch) break;
      ExtendFailureTable(pattern, length);
    }
  }
  return Match{length, p - best};
}

// failure[k] is the length of the longest proper prefix of pattern[0..k) that
// is also its suffix; failure[0] is none.
void Encoder::ExtendFailureTable(const uint8_t* pattern, uint32_t upTo) {
  int16_t* const failure = work_.failure;
  if (failureKnown_ == 0) {
    failure[0] = -1;
    failure[1] = 0;
    failureKnown_ = 1;
  }
  for (uint32_t k = failureKnown_ + 1; k <= upTo; ++k) {
    int32_t j = failure[k - 1];
    while (j >= 0 && pattern[j] != pattern[k - 1]) j = failure[j];
    failure[k] = static_cast<int16_t>(j + 1);
  }
  failureKnown_ = std::max(failureKnown_, upTo);
}

uint32_t Encoder::EncodeRange(uint32_t p, uint32_t limit, bool last) {
  while (p < limit) {
    p = SendItemAt(p, FindMatch(p), limit, last);
    TakeCompleteBytes();
  }
  return p;
}

// Sends a literal or a match at p and returns the position after it. A short
// match is probed against the match at p + 1, which wins if it is clearly
// longer; the probing can repeat.
uint32_t Encoder::SendItemAt(uint32_t p, Match match, uint32_t limit, bool last) {
  for (;;) {
    if (match.length == 0 || (match.length == 2 && match.distance >= kFarShortMatch)) {
      SendLiteral(work_.window[p]);
      return p + 1;
    }
    if (last && p + match.length > limit) {
      const uint32_t cut = limit - p;
      if (cut < tables::kMinMatch || (cut == 2 && match.distance >= kFarShortMatch)) {
        SendLiteral(work_.window[p]);
        return p + 1;
      }
      SendMatch(cut, match.distance);
      return p + cut;
    }
    if (match.length >= kSendAtOnceLength || p + 1 == limit) {
      SendMatch(match.length, match.distance);
      return p + match.length;
    }
    const Match probe = FindMatch(p + 1);
    const bool probeWins = probe.length >= match.length + 2 ||
                           (probe.length == match.length + 1 && match.distance >= kFarProbeDistance);
    if (!probeWins) {
      SendMatch(match.length, match.distance);
      return p + match.length;
    }
    SendLiteral(work_.window[p]);
    ++p;
    match = probe;
    TakeCompleteBytes();
  }
}

void Encoder::SendLiteral(uint8_t byte) {
  if (ascii_) {
    const tables::Code code = tables::kLiteralCodes[byte];
    PutBits(uint32_t{code.value} << 1, code.bits + 1u);
  } else {
    PutBits(uint32_t{byte} << 1, 9);
  }
}

void Encoder::SendMatch(uint32_t length, uint32_t distance) {
  const tables::Code lengthCode = kLengthOutput[length];
  PutBits(lengthCode.value, lengthCode.bits);
  const uint32_t lowBits = length == tables::kMinMatch ? tables::kShortMatchLowBits : dictionaryBits_;
  const uint32_t stored = distance - 1;
  const tables::Code high = tables::kDistanceCodes[stored >> lowBits];
  PutBits(high.value, high.bits);
  PutBits(stored & ((1u << lowBits) - 1), lowBits);
}

// Moves whole bytes from the bit accumulator to the output buffer and passes
// on every full 2048-byte piece.
void Encoder::TakeCompleteBytes() {
  uint8_t* const output = work_.output;
  StoreLe64(output + outputCount_, bits_);
  const uint32_t whole = bitCount_ >> 3;
  outputCount_ += whole;
  bits_ = whole == 0 ? bits_ : bits_ >> (8 * whole);
  bitCount_ -= 8 * whole;
  if (outputCount_ < kOutputPiece) return;
  write_(output, kOutputPiece, context_);
  outputCount_ -= kOutputPiece;
  std::memmove(output, output + kOutputPiece, outputCount_);
}

void Encoder::Finish() {
  const tables::Code endMarker = kLengthOutput[tables::kEndMarkerLength];
  PutBits(endMarker.value, endMarker.bits);
  TakeCompleteBytes();
  if (bitCount_ > 0) work_.output[outputCount_++] = static_cast<uint8_t>(bits_);
  write_(work_.output, outputCount_, context_);
}

uint32_t DictionaryBits(uint32_t dictionarySize) {
  switch (dictionarySize) {
    case 1024: return 4;
    case 2048: return 5;
    case 4096: return 6;
    default: return 0;
  }
}

}  // namespace

BlockResult Implode(ReadCallback read, WriteCallback write, ImplodeWork& work, void* context,
                    const uint32_t& literalCoding, const uint32_t& dictionarySize) {
  const uint32_t dictionaryBits = DictionaryBits(dictionarySize);
  if (dictionaryBits == 0) return BlockResult::BadDictionarySize;
  if (literalCoding != Binary && literalCoding != Ascii) return BlockResult::BadLiteralCoding;
  std::memset(&work, 0, sizeof work);
  Encoder encoder(read, write, work, context, literalCoding, dictionaryBits);
  encoder.Run(literalCoding);
  return BlockResult::Ok;
}

}  // namespace exqrv::codec
