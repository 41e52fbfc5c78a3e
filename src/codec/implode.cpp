// The implode-format encoder.
//
// Input comes in batches of 4096 bytes placed behind the history in one
// window. The format's rules walk the earlier positions with the same byte
// pair hash; what they choose is the longest match, the nearest of equally
// long ones, and the oldest of those that reach 516 bytes. Each batch sorts
// the window's positions by a hash of the 3 bytes they start (a counting
// sort), so the candidates that can match 3 bytes or more are one short,
// contiguous, ascending stretch of a list. A simple scan takes the best of
// them; once a match is longer than 64 bytes the rest of the candidates are
// searched with a failure table, as in Knuth-Morris-Pratt, so long runs and
// long repeated phrases do not cost a full comparison per candidate. When no
// candidate matches 3 bytes, the nearest position with the same pair, from a
// table, gives the 2-byte match. The output is exactly that of the rules.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "codec/code_tables.h"
#include "codec/implode.h"
#include "platform/little_endian.h"

namespace exqrv::codec {
namespace {

constexpr uint32_t kBatch = ImplodeWork::kBatch;
constexpr uint32_t kMaxMatch = ImplodeWork::kMaxMatch;
constexpr uint32_t kOutputPiece = ImplodeWork::kOutputPiece;
constexpr uint32_t kTripleMatch = 3;
// Longer matches switch to the failure-table search. Where the switch happens
// does not change the choice (both searches keep the longest, the nearest of
// equals, and stop at the first 516-byte match), only its cost: below about
// 64 bytes, building the table costs more than the comparisons it saves.
constexpr uint32_t kSimpleScanLimit = 64;
constexpr uint32_t kFarShortMatch = 257;  // a 2-byte match this far away costs more than 2 literals
constexpr uint32_t kSendAtOnceLength = 8;    // matches this long are not probed against p + 1
constexpr uint32_t kFarProbeDistance = 130;  // from here a 1-byte longer match at p + 1 wins
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
      codes[tables::kLengthBase[row] + extra] = tables::Code{
          static_cast<uint16_t>(value), static_cast<uint8_t>(1 + code.bits + extraBits)};
    }
  }
  return codes;
}();

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
  uint32_t Pair(uint32_t position) const {
    return work_.window[position] | work_.window[position + 1] << 8;
  }
  uint32_t TripleHash(uint32_t position) const {
    const uint32_t bytes =
        work_.window[position] | work_.window[position + 1] << 8 | work_.window[position + 2] << 16;
    return (bytes * 2654435761u) >> (32 - std::countr_zero(ImplodeWork::kTripleHashCount));
  }
  void IndexWindow(uint32_t start, uint32_t limit);

  Match FindMatch(uint32_t p);
  void RecordPairsBefore(uint32_t p);
  void SlideLastPairs();
  Match NearestPairMatch(uint32_t p);
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

  uint32_t indexStart_ = 0;     // the oldest position this batch's index holds
  uint32_t pairsRecorded_ = 0;  // positions before this one are in lastPair
  uint32_t hashedUpTo_ = 0;     // positions before this one have their triple hash
  uint32_t windowBase_ = 1;     // stream position of window byte 0, plus 1 (0 = none)
  uint32_t failureKnown_ = 0;   // failure entries computed for the current position

  uint64_t bits_ = 0;  // output bits not yet in whole bytes
  uint32_t bitCount_ = 0;
  uint32_t outputCount_ = 0;
};

void Encoder::Run(uint32_t literalCoding) {
  work_.output[0] = static_cast<uint8_t>(literalCoding);
  work_.output[1] = static_cast<uint8_t>(dictionaryBits_);
  outputCount_ = 2;

  uint32_t p = history_;
  pairsRecorded_ = history_;
  hashedUpTo_ = history_;
  for (int batch = 1;; ++batch) {
    bool last = false;
    const uint32_t got = FillBatch(&last);
    if (batch == 1 && got == 0) break;
    const uint32_t limit = last ? history_ + got : history_ + kBatch - kMaxMatch;
    // The first batch has no history; in the second, with the largest
    // dictionary, the window's start still holds no input.
    uint32_t indexStart = p - dictionarySize_;
    if (batch == 1) indexStart = history_;
    else if (batch == 2 && dictionarySize_ == ImplodeWork::kMaxDictionary)
      indexStart = p - kSecondBatchHistory;
    indexStart_ = indexStart;
    IndexWindow(indexStart, limit);
    p = EncodeRange(p, limit, last);
    if (last) break;
    RecordPairsBefore(p);
    std::memmove(work_.window, work_.window + kBatch, history_);
    p -= kBatch;
    pairsRecorded_ -= kBatch;
    std::memmove(work_.triples.hashes, work_.triples.hashes + kBatch, history_ * sizeof(uint16_t));
    hashedUpTo_ -= kBatch;
    SlideLastPairs();
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

// Counting sort of the positions start .. limit - 1 by triple hash; each
// hash's positions end up in increasing order.
void Encoder::IndexWindow(uint32_t start, uint32_t limit) {
  ImplodeWork::TripleIndex& index = work_.triples;
  for (; hashedUpTo_ < limit; ++hashedUpTo_) index.hashes[hashedUpTo_] = TripleHash(hashedUpTo_);
  uint16_t* const counts = index.cursor;
  std::memset(counts, 0, sizeof index.cursor);
  for (uint32_t position = start; position < limit; ++position) ++counts[index.hashes[position]];
  uint32_t sum = 0;
  for (uint32_t hash = 0; hash < ImplodeWork::kTripleHashCount; ++hash) {
    index.start[hash] = static_cast<uint16_t>(sum);
    sum += counts[hash];
    counts[hash] = static_cast<uint16_t>(sum);  // now the bucket's end, filled downwards
  }
  index.start[ImplodeWork::kTripleHashCount] = static_cast<uint16_t>(sum);
  for (uint32_t position = limit; position-- > start;) {
    const uint16_t slot = --counts[index.hashes[position]];
    index.positions[slot] = static_cast<uint16_t>(position);
    index.rank[position] = slot;
  }
}

// Moves the hash's cursor past the positions older than `oldest`, for good:
// the oldest candidate only ever moves forward within a batch.
uint32_t AdvanceCursor(ImplodeWork::TripleIndex& index, uint32_t hash, uint32_t oldest) {
  uint32_t next = index.cursor[hash];
  const uint32_t end = index.start[hash + 1];
  while (next < end && index.positions[next] < oldest) ++next;
  index.cursor[hash] = static_cast<uint16_t>(next);
  return next;
}

// The rules below (the simple scan, the long-match search after it) choose,
// among the earlier positions whose byte pair has p's pair hash, at distances
// 2 to dictionary size - 1, the longest match, the nearest among equally long
// ones, except that a 516-byte match comes from the oldest candidate that has
// it. (The long-match search skips only candidates that cannot reach the
// best length, and compares every other one to its end.) Only a candidate
// that agrees in 3 bytes can be longer than 2, and all of those share p's
// list in the triple index, so both searches walk that much shorter list; the
// 2-byte match, if no longer one exists, is the nearest position with p's
// pair, which one table lookup gives.
Match Encoder::FindMatch(uint32_t p) {
  const uint32_t hash = TripleHash(p);
  ImplodeWork::TripleIndex& triples = work_.triples;
  uint32_t next = AdvanceCursor(triples, hash, p + 1 - dictionarySize_);
  // p is in its own list: the candidates are the positions before it there,
  // less p - 1.
  uint32_t end = triples.rank[p];
  if (end > next && triples.positions[end - 1] == p - 1) --end;

  // The longest candidate, the later one among equals, or the hand-over to
  // the long-match search at the first candidate longer than 64 bytes.
  // Comparing the first 8 bytes at once and keeping (length, position) as
  // one maximum needs no branch per candidate. A candidate of this list that
  // agrees in fewer than 3 bytes (a hash collision) only wins the maximum
  // when no candidate agrees in 3, and then does not count: the nearest
  // 2-byte match may lie outside the list.
  const uint8_t* const window = work_.window;
  const uint8_t* const here = window + p;
  const uint64_t hereWord = LoadLe64(here);
  uint32_t bestKey = 0;  // length << 16 | position
  for (; next < end; ++next) {
    const uint32_t q = triples.positions[next];
    const uint64_t difference = LoadLe64(window + q) ^ hereWord;
    uint32_t length = difference == 0 ? 8 : static_cast<uint32_t>(__builtin_ctzll(difference) >> 3);
    if (length == 8) {
      length = MatchLength(window + q, here, 8, kMaxMatch);
      if (length > kSimpleScanLimit) return SearchLongMatch(p, next + 1, end, length, q);
    }
    bestKey = std::max(bestKey, (length << 16) | q);
  }
  if ((bestKey >> 16) >= kTripleMatch) return Match{bestKey >> 16, p - (bestKey & 0xFFFF)};
  return NearestPairMatch(p);
}

// Keeps lastPair up to date for the candidates of p: every position before
// p - 1.
void Encoder::RecordPairsBefore(uint32_t p) {
  for (; pairsRecorded_ + 1 < p; ++pairsRecorded_) {
    work_.lastPair[Pair(pairsRecorded_)] = windowBase_ + pairsRecorded_;
  }
}

// Keeps the stream positions in lastPair far from overflowing: rebased to the
// window's start every 2 GiB, which forgets only positions before the window.
void Encoder::SlideLastPairs() {
  windowBase_ += kBatch;
  constexpr uint32_t kRebaseAt = 1u << 31;
  if (windowBase_ < kRebaseAt) return;
  const uint32_t shift = windowBase_ - 1;
  for (uint32_t& position : work_.lastPair) position = position > shift ? position - shift : 0;
  windowBase_ = 1;
}

// The nearest earlier position with p's byte pair, if the batch's index
// reaches it (in the second batch the index starts after the first input).
Match Encoder::NearestPairMatch(uint32_t p) {
  RecordPairsBefore(p);
  const uint32_t oldest = std::max(p + 1 - dictionarySize_, indexStart_);
  const uint32_t q = work_.lastPair[Pair(p)];
  if (q < windowBase_ + oldest) return Match{};
  return Match{tables::kMinMatch, windowBase_ + p - q};
}

// Walks the remaining candidates in position order. After a candidate that
// agreed for m bytes, the failure entry of m says how many bytes the next
// alignment is known to agree, so candidates that would start inside that
// stretch are skipped and the comparison resumes where the last one stopped.
Match Encoder::SearchLongMatch(uint32_t p, uint32_t next, uint32_t end, uint32_t length,
                               uint32_t best) {
  const uint16_t* const positions = work_.triples.positions;
  const uint8_t* const window = work_.window;
  const uint8_t* const pattern = window + p;
  auto remains = [&](uint32_t index) { return index < end; };

  if (length == kMaxMatch || !remains(next)) return Match{length, p - best};
  failureKnown_ = 0;
  ExtendFailureTable(pattern, length);

  uint32_t agreed = length;             // bytes the previous candidate agreed
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
                                  window[positions[next]] == pattern[0] &&
                                  window[positions[next] + 1] == pattern[1]));
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
    const bool probeWins =
        probe.length >= match.length + 2 ||
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
  const uint32_t lowBits =
      length == tables::kMinMatch ? tables::kShortMatchLowBits : dictionaryBits_;
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
  // Only what is read before it is written: the window, whose bytes past the
  // input take part in comparisons, and the table of latest pairs.
  std::memset(work.window, 0, sizeof work.window);
  std::memset(work.lastPair, 0, sizeof work.lastPair);
  Encoder encoder(read, write, work, context, literalCoding, dictionaryBits);
  encoder.Run(literalCoding);
  return BlockResult::Ok;
}

}  // namespace exqrv::codec
