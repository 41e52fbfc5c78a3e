// Drives the codec from memory and records what its callbacks saw, plus a
// small bit writer and item reader that follow the stream format on their
// own (codes written out as they are sent), so tests do not check the codec
// against its own tables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "codec/explode.h"
#include "codec/implode.h"

namespace exqrv::codec::testing {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex);
std::string ToHex(const Bytes& bytes);

// A source and sink for one codec call.
struct Harness {
  explicit Harness(Bytes input = {}) : input(std::move(input)) {}

  Bytes input;
  size_t readPosition = 0;
  uint32_t firstDelivery = UINT32_MAX;  // hand out at most this much on the first read
  uint32_t maxDelivery = UINT32_MAX;    // and on every later one
  std::vector<uint32_t> requests;       // every read request, in order
  std::vector<Bytes> pieces;            // every write, in order
  std::string events;                   // reads and writes in order: "R2048:2048 W4096 "

  Bytes Output() const;
  std::vector<uint32_t> PieceSizes() const;

  static uint32_t Read(uint8_t* buffer, uint32_t requested, void* context);
  static void Write(const uint8_t* buffer, uint32_t count, void* context);
};

BlockResult RunExplode(Harness& harness);
BlockResult RunImplode(Harness& harness, uint32_t literalCoding, uint32_t dictionarySize);

// The decoder as the format describes it, one bit at a time with an 8-bit
// look-ahead, asking for input exactly when a consume needs a byte that has
// not been read. Its callback events are the standard the real one must meet.
BlockResult ReferenceExplode(Harness& harness);

// Convenience: the stream Implode makes of input.
Bytes ImplodeBytes(const Bytes& input, uint32_t literalCoding, uint32_t dictionarySize);

// Builds a stream bit by bit.
class StreamWriter {
 public:
  StreamWriter(uint8_t literalCoding, uint8_t dictionaryBits);
  // Bits in the order sent, as a string of '0' and '1'.
  void Code(const std::string& sent);
  // An integer of n bits, bit 0 first.
  void Integer(uint32_t value, int bits);
  void BinaryLiteral(uint8_t byte);
  void Match(uint32_t length, uint32_t distance);
  void EndMarker();
  Bytes Finish() const;

 private:
  Bytes bytes_;
  int bitPosition_ = 0;
  int dictionaryBits_;
};

// One decoded item: a literal (length 0) or a repetition.
struct Item {
  uint32_t length = 0;
  uint32_t distance = 0;
  uint8_t literal = 0;
  bool operator==(const Item&) const = default;
};
Item Literal(uint8_t byte);
Item Repeat(uint32_t length, uint32_t distance);
std::string Describe(const std::vector<Item>& items);

// Reads the items of a Binary stream bit by bit, up to the end marker; a
// stream that ends first yields kTruncated as its last item.
inline constexpr Item kTruncated{UINT32_MAX, 0, 0};
std::vector<Item> ReadItems(const Bytes& stream);

// The items the encoder's rules choose for input, found the slow, plain way:
// every earlier position in the dictionary with the same byte pair is
// compared in full, and the longest match wins, the nearest of equally long
// ones, but the oldest of those that reach 516 bytes. Batches, window and
// look-ahead are as the encoder's, with a window of zeros where no input has
// been.
std::vector<Item> ReferenceImplodeItems(const Bytes& input, uint32_t dictionarySize);

// Deterministic test data.
Bytes EnglishLikeText(size_t size, uint32_t seed = 1);
Bytes RandomBytes(size_t size, uint32_t seed = 1);
// No byte pair occurs twice (the start of a de Bruijn sequence of order 2).
Bytes PairwiseDistinct(size_t size);

}  // namespace exqrv::codec::testing
