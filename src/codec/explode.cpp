// The implode-format decoder.
//
// The stream is a bit stream read least significant bit first. The reader
// keeps up to 64 bits in a register; its low 8 bits are the look-ahead from
// which every code is recognised with one table lookup. Exactness matters at
// the end of each 2048-byte input piece: the format accepts a consume only if
// a full look-ahead byte remains behind it, and a new piece is requested only
// when a consume needs a byte that the current piece does not hold. So items
// are decoded in two ways:
//
//  - DecodeFastItems: while at least 16 input bytes remain unread, a 64-bit
//    refill per round gives more bits than the round's items need (a match
//    takes 30 at most), no consume can reach the end of the piece, and no
//    bound is checked per item.
//  - DecodeExactItem: near the end of a piece, one item at a time, byte by
//    byte, asking for the next piece exactly when a consume needs it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "codec/code_tables.h"
#include "codec/explode.h"
#include "platform/little_endian.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(EXQRV_PORTABLE_DECODER)
#define EXQRV_BMI2_DECODER 1
#endif

namespace exqrv::codec {
namespace {

constexpr uint32_t kMinimumFirstRead = 5;
constexpr uint32_t kMinDictionaryBits = 4;
constexpr uint32_t kMaxDictionaryBits = 6;
constexpr uint32_t kLookAheadBits = 8;
constexpr uint32_t kLookAheadMask = 0xFF;
constexpr uint32_t kLiteralLookupBits = tables::kMaxLiteralCodeBits;
constexpr uint32_t kMaxMatchLength = tables::kEndMarkerLength - 1;
// Binary literals the fast path takes at once, before one match.
constexpr uint32_t kLiteralsPerRound = 4;

// Length codes by look-ahead (the 8 bits after the flag bit).
struct LengthEntry {
  uint16_t base;
  uint8_t codeBits;
  uint8_t extraBits;
  uint8_t itemBits;  // the flag, the code and its extra bits
};

// Distance high parts by look-ahead.
struct DistanceEntry {
  uint8_t high;
  uint8_t codeBits;
};

// A literal by its next 13 bits: the byte in bits 0-7, the code length above.
using LiteralEntry = uint16_t;
constexpr uint32_t kLiteralLengthShift = 8;

// Fills every table slot whose low bits equal a code with that code's symbol.
template <typename Entry, size_t TableSize, size_t CodeCount, typename MakeEntry>
constexpr std::array<Entry, TableSize> BuildLookup(const std::array<tables::Code, CodeCount>& codes,
                                                   MakeEntry makeEntry) {
  std::array<Entry, TableSize> lookup{};
  for (size_t symbol = 0; symbol < CodeCount; ++symbol) {
    const tables::Code code = codes[symbol];
    for (size_t index = code.value; index < TableSize; index += size_t{1} << code.bits) {
      lookup[index] = makeEntry(symbol, code.bits);
    }
  }
  return lookup;
}

constexpr auto kLengthLookup =
    BuildLookup<LengthEntry, 256>(tables::kLengthCodes, [](size_t symbol, uint8_t bits) {
      const uint8_t extraBits = tables::kLengthExtraBits[symbol];
      return LengthEntry{tables::kLengthBase[symbol], bits, extraBits,
                         static_cast<uint8_t>(1 + bits + extraBits)};
    });

constexpr auto kDistanceLookup =
    BuildLookup<DistanceEntry, 256>(tables::kDistanceCodes, [](size_t symbol, uint8_t bits) {
      return DistanceEntry{static_cast<uint8_t>(symbol), bits};
    });

// For the fast path, one table per width of the distance's low part (2 for
// length 2, else the dictionary bits): the distance before the low part is
// added, and the bits the code and the low part take together.
struct FastDistanceEntry {
  uint16_t base;  // (high << low bits) + 1
  uint8_t codeBits;
  uint8_t distanceBits;
};
using FastDistanceLookup = std::array<FastDistanceEntry, 256>;

template <uint32_t LowBits>
constexpr FastDistanceLookup kFastDistanceLookup =
    BuildLookup<FastDistanceEntry, 256>(tables::kDistanceCodes, [](size_t symbol, uint8_t bits) {
      return FastDistanceEntry{static_cast<uint16_t>((symbol << LowBits) + 1), bits,
                               static_cast<uint8_t>(bits + LowBits)};
    });

constexpr const FastDistanceLookup* FastDistanceLookupFor(uint32_t lowBits) {
  switch (lowBits) {
    case 2: return &kFastDistanceLookup<2>;
    case 4: return &kFastDistanceLookup<4>;
    case 5: return &kFastDistanceLookup<5>;
    default: return &kFastDistanceLookup<6>;
  }
}

// Matches by the 12 bits after their flag: the length code, its extra bits
// and the distance code read with one lookup where all three fit in those
// bits, as they do for most matches in text; otherwise the match is decoded
// in two steps. An entry holds the item's bits in bits 0-5 (so that a 64-bit
// shift by the entry itself drops the item), where the distance's low part
// starts (counted from the flag) in bits 6-9, the length in bits 10-19, and
// from bit 20 on the distance before the low part is added; 0 means the
// codes do not fit.
constexpr uint32_t kShortMatchLookupBits = 12;
using ShortMatchLookup = std::array<uint32_t, size_t{1} << kShortMatchLookupBits>;
constexpr uint32_t kShortMatchBitsMask = 0x3F;
constexpr uint32_t kShortMatchLowShift = 6;
constexpr uint32_t kShortMatchLowMask = 0xF;
constexpr uint32_t kShortMatchLengthShift = 10;
constexpr uint32_t kShortMatchLengthMask = 0x3FF;
constexpr uint32_t kShortMatchDistanceShift = 20;
static_assert(tables::kEndMarkerLength <= kShortMatchLengthMask);
static_assert(1 + kShortMatchLookupBits <= kShortMatchLowMask);
static_assert(((tables::kDistanceCodeCount - 1) << 6) + 1 <
              (1u << (32 - kShortMatchDistanceShift)));

template <uint32_t DictionaryBits>
constexpr ShortMatchLookup kShortMatchLookup = [] {
  ShortMatchLookup lookup{};
  for (int lengthSymbol = 0; lengthSymbol < tables::kLengthCodeCount; ++lengthSymbol) {
    const tables::Code lengthCode = tables::kLengthCodes[lengthSymbol];
    const uint32_t extraBits = tables::kLengthExtraBits[lengthSymbol];
    for (uint32_t extra = 0; extra < (1u << extraBits); ++extra) {
      const uint32_t length = tables::kLengthBase[lengthSymbol] + extra;
      const uint32_t lowBits =
          length == tables::kMinMatch ? tables::kShortMatchLowBits : DictionaryBits;
      for (int high = 0; high < tables::kDistanceCodeCount; ++high) {
        const tables::Code distanceCode = tables::kDistanceCodes[high];
        const uint32_t codeBits = lengthCode.bits + extraBits + distanceCode.bits;
        if (codeBits > kShortMatchLookupBits) continue;
        const uint32_t lowShift = 1 + codeBits;
        const uint32_t distanceBase = (static_cast<uint32_t>(high) << lowBits) + 1;
        const uint32_t entry = (lowShift + lowBits) | lowShift << kShortMatchLowShift |
                               length << kShortMatchLengthShift |
                               distanceBase << kShortMatchDistanceShift;
        const uint32_t pattern = lengthCode.value | extra << lengthCode.bits |
                                 uint32_t{distanceCode.value} << (lengthCode.bits + extraBits);
        for (uint32_t index = pattern; index < lookup.size(); index += 1u << codeBits) {
          lookup[index] = entry;
        }
      }
    }
  }
  return lookup;
}();

constexpr auto kLiteralLookup = BuildLookup<LiteralEntry, size_t{1} << kLiteralLookupBits>(
    tables::kLiteralCodes, [](size_t symbol, uint8_t bits) {
      return static_cast<LiteralEntry>(symbol | (uint32_t{bits} << kLiteralLengthShift));
    });

constexpr uint64_t LowMask(uint32_t bits) { return (uint64_t{1} << bits) - 1; }

// For ASCII-coded streams, any item by its next 13 bits, flag included, so
// that the literals before a match take one lookup and no branch of their
// own. A match's entry is its short-match entry (0 when that table does not
// take it). A literal's entry holds its bits in bits 0-5 as a match's does
// (the mask that keeps a match from being taken for literals makes them 0),
// in bits 10-11 how many literals it holds, and their bytes from bit 16 on:
//  - two literals where a second one's flag and code fit in the 13 bits too,
//    as the commonest letters' do;
//  - else one, the byte in bits 16-23; a code of 13 bits, one longer than
//    the index holds, sets bit 12, and the bit after the index chooses
//    between the two bytes in bits 16-23 and 24-31 whose codes differ only
//    there.
constexpr uint32_t kItemLookupBits = 1 + kShortMatchLookupBits;
using ItemLookup = std::array<uint32_t, size_t{1} << kItemLookupBits>;
constexpr uint32_t kItemLiteralCountShift = 10;
constexpr uint32_t kItemLiteralCountMask = 0x3;
constexpr uint32_t kItemLiteralChoiceShift = 12;
constexpr uint32_t kItemLiteralsShift = 16;
static_assert(tables::kMaxLiteralCodeBits == kItemLookupBits);

template <uint32_t DictionaryBits>
constexpr ItemLookup kAsciiItemLookup = [] {
  ItemLookup lookup{};
  for (uint32_t index = 0; index < lookup.size(); ++index) {
    if ((index & 1) != 0) {
      lookup[index] = kShortMatchLookup<DictionaryBits>[index >> 1];
      continue;
    }
    // The table's bits above those known read as zeros, which a prefix code
    // only trusts for codes no longer than the bits that are known.
    const LiteralEntry first = kLiteralLookup[index >> 1];
    const uint32_t firstBits = 1 + (first >> kLiteralLengthShift);
    if (firstBits > kItemLookupBits) {
      const LiteralEntry other = kLiteralLookup[(index >> 1) | 1u << (kItemLookupBits - 1)];
      lookup[index] = firstBits | 1u << kItemLiteralCountShift | 1u << kItemLiteralChoiceShift |
                      uint32_t{static_cast<uint8_t>(first)} << kItemLiteralsShift |
                      uint32_t{static_cast<uint8_t>(other)} << (kItemLiteralsShift + 8);
      continue;
    }
    uint32_t entry = firstBits | 1u << kItemLiteralCountShift |
                     uint32_t{static_cast<uint8_t>(first)} << kItemLiteralsShift;
    const uint32_t rest = index >> firstBits;
    const uint32_t restBits = kItemLookupBits - firstBits;
    if (restBits > 1 && (rest & 1) == 0) {
      const LiteralEntry second = kLiteralLookup[rest >> 1];
      const uint32_t secondBits = 1 + (second >> kLiteralLengthShift);
      if (secondBits <= restBits) {
        entry = (firstBits + secondBits) | 2u << kItemLiteralCountShift |
                uint32_t{static_cast<uint8_t>(first)} << kItemLiteralsShift |
                uint32_t{static_cast<uint8_t>(second)} << (kItemLiteralsShift + 8);
      }
    }
    lookup[index] = entry;
  }
  return lookup;
}();

enum class ItemResult { More, EndMarker, InputEnded };

class Decoder {
 public:
  Decoder(ReadCallback read, WriteCallback write, ExplodeWork& work, void* context)
      : read_(read), write_(write), work_(work), context_(context) {}

  BlockResult Run();

 private:
  BlockResult Start();
  BlockResult DecodeItems();

  // Bit reader, exact flavour.
  void LoadAvailableBytes();
  bool LoadByte();
  bool Consume(uint32_t count);
  uint32_t Peek(uint32_t count) const { return static_cast<uint32_t>(bits_ & LowMask(count)); }

  // The fast loop, one copy per literal coding and dictionary size, inlined
  // into a baseline and (where the processor has it) a BMI2 entry point.
  ItemResult DecodeFastItems();
  template <bool Ascii, uint32_t DictionaryBits>
  [[gnu::always_inline]] inline ItemResult FastLoop();
  template <bool Ascii>
  [[gnu::always_inline]] inline ItemResult FastLoopFor();
  [[gnu::always_inline]] inline ItemResult FastLoopAny();
#ifdef EXQRV_BMI2_DECODER
  ItemResult FastLoopBmi2();
#endif
  ItemResult DecodeExactItem();
  bool DecodeExactLiteral(uint8_t* literal);
  ItemResult DecodeExactMatch();

  void PassFullPiece();

  ReadCallback read_;
  WriteCallback write_;
  ExplodeWork& work_;
  void* context_;

  bool ascii_ = false;
  uint32_t dictionaryBits_ = 0;

  uint64_t bits_ = 0;              // bit 0 is the next bit of the stream
  uint32_t bitCount_ = 0;          // valid bits in bits_; the look-ahead is the low 8
  const uint8_t* next_ = nullptr;  // first input byte not yet in bits_
  const uint8_t* end_ = nullptr;
  bool inputEnded_ = false;

  uint32_t writePos_ = ExplodeWork::kHistory;    // end of the output in the window
  uint32_t pieceStart_ = ExplodeWork::kHistory;  // first byte not yet passed on
};

BlockResult Decoder::Run() {
  const BlockResult started = Start();
  if (started != BlockResult::Ok) return started;
  return DecodeItems();
}

BlockResult Decoder::Start() {
  const uint32_t got = read_(work_.input, ExplodeWork::kInputPiece, context_);
  if (got < kMinimumFirstRead) return BlockResult::InputTooShort;
  const uint32_t coding = work_.input[0];
  dictionaryBits_ = work_.input[1];
  if (dictionaryBits_ < kMinDictionaryBits || dictionaryBits_ > kMaxDictionaryBits) {
    return BlockResult::BadDictionarySize;
  }
  if (coding != Binary && coding != Ascii) return BlockResult::BadLiteralCoding;
  ascii_ = coding == Ascii;
  next_ = work_.input + 2;
  end_ = work_.input + std::min(got, ExplodeWork::kInputPiece);
  // Distances that reach back before the first output copy zeros.
  std::memset(work_.window, 0, ExplodeWork::kHistory);
  return BlockResult::Ok;
}

BlockResult Decoder::DecodeItems() {
  ItemResult result = ItemResult::More;
  while (result == ItemResult::More) {
    result = DecodeFastItems();
    if (result == ItemResult::More && writePos_ - pieceStart_ < ExplodeWork::kOutputPiece) {
      result = DecodeExactItem();
    }
    if (writePos_ - pieceStart_ >= ExplodeWork::kOutputPiece) PassFullPiece();
  }
  write_(work_.window + pieceStart_, writePos_ - pieceStart_, context_);
  return result == ItemResult::EndMarker ? BlockResult::Ok : BlockResult::DataError;
}

void Decoder::PassFullPiece() {
  write_(work_.window + pieceStart_, ExplodeWork::kOutputPiece, context_);
  pieceStart_ += ExplodeWork::kOutputPiece;
  // A full piece, then the items of one more fast round: its literals (four
  // bytes stored even when fewer count) and the longest match, and what the
  // copy writes past it.
  constexpr uint32_t kRoomNeeded =
      ExplodeWork::kOutputPiece + kLiteralsPerRound + kMaxMatchLength + ExplodeWork::kCopySlack;
  if (pieceStart_ + kRoomNeeded <= ExplodeWork::kWindowSize) return;
  // Keep the history the next item may reach back into, and what follows it.
  const uint32_t shift = pieceStart_ - ExplodeWork::kHistory;
  std::memmove(work_.window, work_.window + shift, writePos_ - shift);
  pieceStart_ -= shift;
  writePos_ -= shift;
}

// The fast path's bit reader, kept in registers by DecodeFastItems.
struct FastBits {
  uint64_t bits;        // bit 0 is the next bit of the stream
  uint32_t count;       // valid bits in `bits`
  const uint8_t* next;  // first input byte not yet in `bits`

  // Tops the register up to at least 56 valid bits without a branch or a loop:
  // one unaligned 8-byte load ORed in above the valid bits (bytes that do not
  // fit fall off the top and are loaded again next time), and the input moves
  // on by the whole bytes that fitted. This needs 8 readable input bytes,
  // which the fast path guarantees.
  void Refill() {
    bits |= LoadLe64(next) << count;
    next += (63 - count) >> 3;
    count |= 56;
  }
  uint32_t Peek(uint32_t n) const { return static_cast<uint32_t>(bits & LowMask(n)); }
  void Drop(uint32_t n) {
    bits >>= n;
    count -= n;
  }
};

// The most bits one item takes: a match's flag, its longest length code with
// 8 extra bits, the longest distance code and 6 low bits.
constexpr uint32_t kMaxItemBits = 1 + 7 + 8 + 8 + 6;
// A match the short-match table decodes: its flag and at most 12 bits of
// codes, then at most 6 low distance bits.
constexpr uint32_t kMaxShortMatchBits = 1 + kShortMatchLookupBits + 6;
constexpr uint32_t kBinaryLiteralBits = 9;
constexpr uint32_t kRefillBits = 56;  // a refill leaves at least this many
static_assert(kRefillBits - kLiteralsPerRound * kBinaryLiteralBits >= kMaxShortMatchBits);
// An ASCII round takes literals from the item table twice, at most 14 bits
// each time (a flag and the longest code), and stores two bytes each time.
constexpr uint32_t kAsciiLiteralSteps = 2;
static_assert(kRefillBits - kAsciiLiteralSteps * (1 + tables::kMaxLiteralCodeBits) >=
              kMaxShortMatchBits);
static_assert(kAsciiLiteralSteps * 2 <= kLiteralsPerRound);
// Bytes one round may read: up to two refills of 8 bytes, the first of which
// moves on by at most 7.
constexpr ptrdiff_t kFastInputMargin = 16;

// Copies a match whose source lies at least 8 bytes back in whole words: each
// word then reads only bytes that are already final. Most matches in text are
// shorter than 32 bytes, and copying 32 at once costs less than the branch
// that would stop at 16 and miss for a tenth of them. The copy may write up
// to 31 bytes past the match; the window has room for that.
inline void CopyWords(uint8_t* destination, const uint8_t* source, uint32_t length) {
  uint8_t* const end = destination + length;
  std::memcpy(destination, source, 8);
  std::memcpy(destination + 8, source + 8, 8);
  std::memcpy(destination + 16, source + 16, 8);
  std::memcpy(destination + 24, source + 24, 8);
  destination += 16;
  source += 16;
  while (destination + 16 < end) {
    destination += 16;
    source += 16;
    std::memcpy(destination, source, 8);
    std::memcpy(destination + 8, source + 8, 8);
  }
}

// The byte-by-byte copy of the format: words where the source lies 8 or more
// bytes back, a repeated byte for distance 1, single bytes otherwise (the
// pattern repeats as the copy reads its own output).
inline void CopyMatch(uint8_t* destination, uint32_t length, uint32_t distance) {
  const uint8_t* const source = destination - distance;
  if (distance >= 8) {
    CopyWords(destination, source, length);
  } else if (distance == 1) {
    const uint64_t repeated = 0x0101010101010101u * *source;
    for (uint32_t i = 0; i < length; i += 8) std::memcpy(destination + i, &repeated, 8);
  } else {
    for (uint32_t i = 0; i < length; ++i) destination[i] = source[i];
  }
}

// Copies the match a short-match entry describes (the item's bits still
// first in `in`) and drops its bits.
[[gnu::always_inline]] inline uint8_t* CopyShortMatch(FastBits& in, uint8_t* out, uint32_t entry) {
  const uint32_t itemBits = entry & kShortMatchBitsMask;
  const uint32_t lowShift = (entry >> kShortMatchLowShift) & kShortMatchLowMask;
  const uint32_t length = (entry >> kShortMatchLengthShift) & kShortMatchLengthMask;
  const uint32_t distance = (entry >> kShortMatchDistanceShift) +
                            static_cast<uint32_t>((in.bits & LowMask(itemBits)) >> lowShift);
  in.Drop(itemBits);
  CopyMatch(out, length, distance);
  return out + length;
}

// A match the short-match table does not take, in two lookups; refills
// first when the register might hold fewer bits than the longest match.
// Returns nullptr for the end marker.
template <uint32_t DictionaryBits>
[[gnu::always_inline]] inline uint8_t* CopyLongMatch(FastBits& in, uint8_t* out) {
  if (in.count < kMaxItemBits) in.Refill();
  const LengthEntry lengthEntry = kLengthLookup[(in.bits >> 1) & kLookAheadMask];
  const uint32_t length =
      lengthEntry.base + static_cast<uint32_t>((in.bits >> (1 + lengthEntry.codeBits)) &
                                               LowMask(lengthEntry.extraBits));
  in.Drop(lengthEntry.itemBits);
  if (length == tables::kEndMarkerLength) return nullptr;
  const uint32_t lowBits =
      length == tables::kMinMatch ? tables::kShortMatchLowBits : DictionaryBits;
  const FastDistanceEntry distanceEntry =
      (*FastDistanceLookupFor(lowBits))[in.Peek(kLookAheadBits)];
  const uint32_t distance =
      distanceEntry.base +
      static_cast<uint32_t>((in.bits >> distanceEntry.codeBits) & LowMask(lowBits));
  in.Drop(distanceEntry.distanceBits);
  CopyMatch(out, length, distance);
  return out + length;
}

// Stores the one or two literals the next item holds, or nothing when it is
// a match, without a branch.
[[gnu::always_inline]] inline uint8_t* TakeLiterals(FastBits& in, uint8_t* out,
                                                    const ItemLookup& items) {
  const uint32_t entry = items[in.bits & LowMask(kItemLookupBits)];
  const uint32_t literalMask = static_cast<uint32_t>(in.bits & 1) - 1;
  const uint32_t choice =
      static_cast<uint32_t>(in.bits >> kItemLookupBits) & (entry >> kItemLiteralChoiceShift) & 1;
  WriteLe16(out, static_cast<uint16_t>(entry >> (kItemLiteralsShift + 8 * choice)));
  in.Drop(entry & kShortMatchBitsMask & literalMask);
  return out + ((entry >> kItemLiteralCountShift) & kItemLiteralCountMask & literalMask);
}

// Decodes items until a full output piece is ready or fewer than 16 input
// bytes remain unread. A refill leaves at least 56 bits, more than the round's
// items need, so the bit count is checked only before the one item that might
// not fit, and since the end of the piece stays more than 8 bytes away, no
// consume here is one that would have to ask for more input.
//
// Binary literals go without a branch per literal: the flags of the next four
// items say how many of them are literals, all four bytes are stored at once
// and the output moves on by that many. Text alternates literals and matches
// unpredictably, and this keeps the branch predictor out of it. ASCII-coded
// literals have codes of varying lengths; there the item table gives the one
// or two literals before a match, or nothing, in one lookup and a mask, and
// only a run of more literals than that costs a branch.
template <bool Ascii, uint32_t DictionaryBits>
ItemResult Decoder::FastLoop() {
  FastBits in{bits_, bitCount_, next_};
  const uint8_t* const end = end_;
  uint8_t* const window = work_.window;
  uint8_t* out = window + writePos_;
  uint8_t* const pieceEnd = window + pieceStart_ + ExplodeWork::kOutputPiece;
  const ShortMatchLookup& shortMatches = kShortMatchLookup<DictionaryBits>;
  const ItemLookup& items = kAsciiItemLookup<DictionaryBits>;
  ItemResult result = ItemResult::More;

  while (end - in.next >= kFastInputMargin && out < pieceEnd) {
    in.Refill();
    if constexpr (Ascii) {
      out = TakeLiterals(in, out, items);
      if ((in.bits & 1) == 0) {
        // A third literal, or a second whose code did not fit beside the first.
        out = TakeLiterals(in, out, items);
        if ((in.bits & 1) == 0) continue;
      }
    } else {
      // The flags of four literals lie at bits 0, 9, 18 and 27; the first
      // flag that is set (or the bit past the fourth literal) ends the run.
      constexpr uint64_t kFlags = 1u | 1u << 9 | 1u << 18 | 1u << 27;
      const uint64_t bits = in.bits;
      const uint32_t runEnd =
          static_cast<uint32_t>(std::countr_zero((bits & kFlags) | uint64_t{1} << 36));
      const uint32_t literals = runEnd / kBinaryLiteralBits;
      // Literal i starts at bit 9i + 1 and goes to bits 8i to 8i + 7.
      const uint64_t after = bits >> 1;
      const auto four =
          static_cast<uint32_t>((after & 0xFF) | ((after >> 1) & 0xFF00) |
                                ((after >> 2) & 0xFF0000) | ((after >> 3) & 0xFF000000));
      WriteLe32(out, four);
      out += literals;
      in.Drop(runEnd);
      if (literals == kLiteralsPerRound) continue;
    }

    // The flag stays in the index, which is scaled to the entries' size by
    // the load itself: one shift less between two items.
    uint32_t shortMatch;
    if constexpr (Ascii) {
      shortMatch = items[in.bits & LowMask(kItemLookupBits)];
    } else {
      std::memcpy(&shortMatch,
                  reinterpret_cast<const uint8_t*>(shortMatches.data()) +
                      (in.bits & (LowMask(kShortMatchLookupBits) << 1)) * (sizeof shortMatch / 2),
                  sizeof shortMatch);
    }
    if (shortMatch != 0) {
      out = CopyShortMatch(in, out, shortMatch);
      continue;
    }
    uint8_t* const afterMatch = CopyLongMatch<DictionaryBits>(in, out);
    if (afterMatch == nullptr) {
      result = ItemResult::EndMarker;
      break;
    }
    out = afterMatch;
  }

  bits_ = in.bits;
  bitCount_ = in.count;
  next_ = in.next;
  writePos_ = static_cast<uint32_t>(out - window);
  return result;
}

template <bool Ascii>
ItemResult Decoder::FastLoopFor() {
  switch (dictionaryBits_) {
    case 4: return FastLoop<Ascii, 4>();
    case 5: return FastLoop<Ascii, 5>();
    default: return FastLoop<Ascii, 6>();
  }
}

ItemResult Decoder::FastLoopAny() { return ascii_ ? FastLoopFor<true>() : FastLoopFor<false>(); }

#ifdef EXQRV_BMI2_DECODER
// The fast loop is a chain of variable shifts, one instruction each with BMI2
// and three without.
__attribute__((target("bmi2"))) ItemResult Decoder::FastLoopBmi2() { return FastLoopAny(); }

bool HasBmi2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") != 0;
  }();
  return has;
}
#endif

ItemResult Decoder::DecodeFastItems() {
#ifdef EXQRV_BMI2_DECODER
  if (HasBmi2()) return FastLoopBmi2();
#endif
  return FastLoopAny();
}

void Decoder::LoadAvailableBytes() {
  while (bitCount_ <= 56 && next_ < end_) {
    bits_ |= uint64_t{*next_++} << bitCount_;
    bitCount_ += 8;
  }
}

// Takes one more byte into the register, asking for the next input piece when
// this one is used up.
bool Decoder::LoadByte() {
  if (next_ == end_) {
    if (inputEnded_) return false;
    const uint32_t got = read_(work_.input, ExplodeWork::kInputPiece, context_);
    if (got == 0) {
      inputEnded_ = true;
      return false;
    }
    next_ = work_.input;
    end_ = work_.input + std::min(got, ExplodeWork::kInputPiece);
  }
  bits_ |= uint64_t{*next_++} << bitCount_;
  bitCount_ += 8;
  return true;
}

// Drops count bits; fails when no full look-ahead byte would remain behind
// them, even though the bits themselves were there.
bool Decoder::Consume(uint32_t count) {
  while (bitCount_ < count + kLookAheadBits) {
    if (!LoadByte()) return false;
  }
  bits_ >>= count;
  bitCount_ -= count;
  return true;
}

ItemResult Decoder::DecodeExactItem() {
  LoadAvailableBytes();
  if ((bits_ & 1) != 0) return DecodeExactMatch();
  uint8_t literal = 0;
  if (!DecodeExactLiteral(&literal)) return ItemResult::InputEnded;
  work_.window[writePos_++] = literal;
  return ItemResult::More;
}

bool Decoder::DecodeExactLiteral(uint8_t* literal) {
  if (!Consume(1)) return false;
  if (!ascii_) {
    *literal = static_cast<uint8_t>(Peek(8));
    return Consume(8);
  }
  // Bits beyond those loaded may be zero; an entry is only trusted once all
  // of its code bits are loaded (the code is a prefix code).
  LiteralEntry entry = kLiteralLookup[Peek(kLiteralLookupBits)];
  while ((entry >> kLiteralLengthShift) > bitCount_) {
    if (!LoadByte()) return false;
    entry = kLiteralLookup[Peek(kLiteralLookupBits)];
  }
  *literal = static_cast<uint8_t>(entry);
  return Consume(entry >> kLiteralLengthShift);
}

ItemResult Decoder::DecodeExactMatch() {
  const LengthEntry lengthEntry = kLengthLookup[(bits_ >> 1) & kLookAheadMask];
  if (!Consume(1 + lengthEntry.codeBits)) return ItemResult::InputEnded;
  const uint32_t extra = Peek(lengthEntry.extraBits);
  const uint32_t length = lengthEntry.base + extra;
  if (!Consume(lengthEntry.extraBits)) {
    // A stream may end right after its end marker and padding.
    return length == tables::kEndMarkerLength ? ItemResult::EndMarker : ItemResult::InputEnded;
  }
  if (length == tables::kEndMarkerLength) return ItemResult::EndMarker;

  const DistanceEntry distanceEntry = kDistanceLookup[Peek(kLookAheadBits)];
  if (!Consume(distanceEntry.codeBits)) return ItemResult::InputEnded;
  const uint32_t lowBits =
      length == tables::kMinMatch ? tables::kShortMatchLowBits : dictionaryBits_;
  const uint32_t low = Peek(lowBits);
  if (!Consume(lowBits)) return ItemResult::InputEnded;
  const uint32_t distance = ((uint32_t{distanceEntry.high} << lowBits) | low) + 1;
  CopyMatch(work_.window + writePos_, length, distance);
  writePos_ += length;
  return ItemResult::More;
}

}  // namespace

BlockResult Explode(ReadCallback read, WriteCallback write, ExplodeWork& work, void* context) {
  Decoder decoder(read, write, work, context);
  return decoder.Run();
}

}  // namespace exqrv::codec
