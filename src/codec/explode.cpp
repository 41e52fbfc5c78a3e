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
//  - DecodeFastItems: while at least 8 input bytes remain unread, one 64-bit
//    refill per item gives more bits than any item needs (30 at most), no
//    consume can reach the end of the piece, and no bound is checked.
//  - DecodeExactItem: near the end of a piece, one item at a time, byte by
//    byte, asking for the next piece exactly when a consume needs it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "codec/code_tables.h"
#include "codec/explode.h"

namespace exqrv::codec {
namespace {

constexpr uint32_t kMinimumFirstRead = 5;
constexpr uint32_t kMinDictionaryBits = 4;
constexpr uint32_t kMaxDictionaryBits = 6;
constexpr uint32_t kLookAheadBits = 8;
constexpr uint32_t kLookAheadMask = 0xFF;
constexpr uint32_t kLiteralLookupBits = tables::kMaxLiteralCodeBits;
constexpr uint32_t kMaxMatchLength = tables::kEndMarkerLength - 1;
constexpr uint32_t kFastInputMargin = 8;  // bytes one refill may load

// Length codes by look-ahead (the 8 bits after the flag bit).
struct LengthEntry {
  uint16_t base;
  uint8_t codeBits;
  uint8_t extraBits;
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

constexpr auto kLengthLookup = BuildLookup<LengthEntry, 256>(
    tables::kLengthCodes, [](size_t symbol, uint8_t bits) {
      return LengthEntry{tables::kLengthBase[symbol], bits, tables::kLengthExtraBits[symbol]};
    });

constexpr auto kDistanceLookup = BuildLookup<DistanceEntry, 256>(
    tables::kDistanceCodes,
    [](size_t symbol, uint8_t bits) { return DistanceEntry{static_cast<uint8_t>(symbol), bits}; });

constexpr auto kLiteralLookup = BuildLookup<LiteralEntry, size_t{1} << kLiteralLookupBits>(
    tables::kLiteralCodes, [](size_t symbol, uint8_t bits) {
      return static_cast<LiteralEntry>(symbol | (uint32_t{bits} << kLiteralLengthShift));
    });

constexpr uint64_t LowMask(uint32_t bits) { return (uint64_t{1} << bits) - 1; }

// One unaligned load; the bit order of the format is that of a little-endian word.
inline uint64_t LoadLe64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
  return value;
}

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

  ItemResult DecodeFastItems();
  ItemResult DecodeExactItem();
  bool DecodeExactLiteral(uint8_t* literal);
  ItemResult DecodeExactMatch();

  void CopyMatch(uint32_t length, uint32_t distance);
  void PassFullPiece();

  ReadCallback read_;
  WriteCallback write_;
  ExplodeWork& work_;
  void* context_;

  bool ascii_ = false;
  uint32_t dictionaryBits_ = 0;

  uint64_t bits_ = 0;       // bit 0 is the next bit of the stream
  uint32_t bitCount_ = 0;   // valid bits in bits_; the look-ahead is the low 8
  const uint8_t* next_ = nullptr;  // first input byte not yet in bits_
  const uint8_t* end_ = nullptr;
  bool inputEnded_ = false;

  uint32_t writePos_ = ExplodeWork::kHistory;   // end of the output in the window
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
  constexpr uint32_t kRoomNeeded =
      ExplodeWork::kOutputPiece + kMaxMatchLength + ExplodeWork::kCopySlack;
  if (pieceStart_ + kRoomNeeded <= ExplodeWork::kWindowSize) return;
  // Keep the history the next item may reach back into, and what follows it.
  const uint32_t shift = pieceStart_ - ExplodeWork::kHistory;
  std::memmove(work_.window, work_.window + shift, writePos_ - shift);
  pieceStart_ -= shift;
  writePos_ -= shift;
}

// Decodes items until a full output piece is ready or fewer than 8 input bytes
// remain unread. Every item needs at most 30 bits and a refill leaves at least
// 56, so neither the bit count nor the input end is checked per item, and
// since the end of the piece stays more than 8 bytes away, no consume here is
// one that would have to ask for more input.
ItemResult Decoder::DecodeFastItems() {
  uint64_t bits = bits_;
  uint32_t bitCount = bitCount_;
  const uint8_t* next = next_;
  const uint8_t* const end = end_;
  uint8_t* const window = work_.window;
  uint32_t writePos = writePos_;
  const uint32_t pieceEnd = pieceStart_ + ExplodeWork::kOutputPiece;
  const uint32_t dictionaryBits = dictionaryBits_;
  const bool ascii = ascii_;
  ItemResult result = ItemResult::More;

  while (end - next >= kFastInputMargin && writePos < pieceEnd) {
    bits |= LoadLe64(next) << bitCount;
    next += (63 - bitCount) >> 3;
    bitCount |= 56;

    if ((bits & 1) == 0) {  // literal
      if (!ascii) {
        window[writePos++] = static_cast<uint8_t>(bits >> 1);
        bits >>= 9;
        bitCount -= 9;
      } else {
        const LiteralEntry entry = kLiteralLookup[(bits >> 1) & LowMask(kLiteralLookupBits)];
        const uint32_t used = 1 + (entry >> kLiteralLengthShift);
        window[writePos++] = static_cast<uint8_t>(entry);
        bits >>= used;
        bitCount -= used;
      }
      continue;
    }

    const LengthEntry lengthEntry = kLengthLookup[(bits >> 1) & kLookAheadMask];
    bits >>= 1 + lengthEntry.codeBits;
    const uint32_t length =
        lengthEntry.base + static_cast<uint32_t>(bits & LowMask(lengthEntry.extraBits));
    bits >>= lengthEntry.extraBits;
    bitCount -= 1 + lengthEntry.codeBits + lengthEntry.extraBits;
    if (length == tables::kEndMarkerLength) {
      result = ItemResult::EndMarker;
      break;
    }
    const DistanceEntry distanceEntry = kDistanceLookup[bits & kLookAheadMask];
    bits >>= distanceEntry.codeBits;
    const uint32_t lowBits = length == tables::kMinMatch ? tables::kShortMatchLowBits : dictionaryBits;
    const uint32_t distance =
        ((uint32_t{distanceEntry.high} << lowBits) | static_cast<uint32_t>(bits & LowMask(lowBits))) + 1;
    bits >>= lowBits;
    bitCount -= distanceEntry.codeBits + lowBits;

    writePos_ = writePos;
    CopyMatch(length, distance);
    writePos = writePos_;
  }

  bits_ = bits;
  bitCount_ = bitCount;
  next_ = next;
  writePos_ = writePos;
  return result;
}

// The byte-by-byte copy of the format, done in 8-byte chunks where the source
// lies at least 8 bytes back (each chunk then reads only finished bytes).
void Decoder::CopyMatch(uint32_t length, uint32_t distance) {
  uint8_t* destination = work_.window + writePos_;
  const uint8_t* source = destination - distance;
  writePos_ += length;
  uint8_t* const end = destination + length;
  if (distance >= 16) {
    do {
      std::memcpy(destination, source, 16);
      destination += 16;
      source += 16;
    } while (destination < end);
  } else if (distance >= 8) {
    do {
      std::memcpy(destination, source, 8);
      destination += 8;
      source += 8;
    } while (destination < end);
  } else if (distance == 1) {
    std::memset(destination, *source, length);
  } else {
    for (uint32_t i = 0; i < length; ++i) destination[i] = source[i];
  }
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
  const uint32_t lowBits = length == tables::kMinMatch ? tables::kShortMatchLowBits : dictionaryBits_;
  const uint32_t low = Peek(lowBits);
  if (!Consume(lowBits)) return ItemResult::InputEnded;
  CopyMatch(length, ((uint32_t{distanceEntry.high} << lowBits) | low) + 1);
  return ItemResult::More;
}

}  // namespace

BlockResult Explode(ReadCallback read, WriteCallback write, ExplodeWork& work, void* context) {
  Decoder decoder(read, write, work, context);
  return decoder.Run();
}

}  // namespace exqrv::codec
