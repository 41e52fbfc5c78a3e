#include "codec_harness.h"

#include <algorithm>
#include <cstdio>

#include "builder/text_corpus.h"

namespace exqrv::codec::testing {
namespace {

// Length codes as sent, with their extra bits and first length.
struct LengthRow {
  const char* sent;
  int extraBits;
  uint32_t base;
};
constexpr LengthRow kLengthRows[16] = {
    {"101", 0, 2},     {"11", 0, 3},      {"100", 0, 4},       {"011", 0, 5},
    {"0101", 0, 6},    {"0100", 0, 7},    {"0011", 0, 8},      {"00101", 0, 9},
    {"00100", 1, 10},  {"00011", 2, 12},  {"00010", 3, 16},    {"000011", 4, 24},
    {"000010", 5, 40}, {"000001", 6, 72}, {"0000001", 7, 136}, {"0000000", 8, 264}};

// Distance high-part codes, bit 0 = first bit sent.
constexpr uint8_t kDistanceValues[64] = {
    0x03, 0x0D, 0x05, 0x19, 0x09, 0x11, 0x01, 0x3E, 0x1E, 0x2E, 0x0E, 0x36, 0x16, 0x26, 0x06, 0x3A,
    0x1A, 0x2A, 0x0A, 0x32, 0x12, 0x22, 0x42, 0x02, 0x7C, 0x3C, 0x5C, 0x1C, 0x6C, 0x2C, 0x4C, 0x0C,
    0x74, 0x34, 0x54, 0x14, 0x64, 0x24, 0x44, 0x04, 0x78, 0x38, 0x58, 0x18, 0x68, 0x28, 0x48, 0x08,
    0xF0, 0x70, 0xB0, 0x30, 0xD0, 0x50, 0x90, 0x10, 0xE0, 0x60, 0xA0, 0x20, 0xC0, 0x40, 0x80, 0x00};

int DistanceCodeBits(uint32_t high) {
  return high == 0 ? 2 : high <= 2 ? 4 : high <= 6 ? 5 : high <= 21 ? 6 : high <= 47 ? 7 : 8;
}

class BitReader {
 public:
  explicit BitReader(const Bytes& bytes) : bytes_(bytes), position_(16) {}
  bool failed() const { return failed_; }
  int Bit() {
    if (position_ / 8 >= bytes_.size()) {
      failed_ = true;
      return 0;
    }
    const int bit = (bytes_[position_ / 8] >> (position_ % 8)) & 1;
    ++position_;
    return bit;
  }
  uint32_t Integer(int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i) value |= static_cast<uint32_t>(Bit()) << i;
    return value;
  }

 private:
  const Bytes& bytes_;
  size_t position_;
  bool failed_ = false;
};

int ReadLengthRow(BitReader& reader) {
  std::string sent;
  while (sent.size() < 7) {
    sent += static_cast<char>('0' + reader.Bit());
    for (int row = 0; row < 16; ++row) {
      if (sent == kLengthRows[row].sent) return row;
    }
  }
  return 15;  // not reached: the code is complete
}

uint32_t ReadDistanceHigh(BitReader& reader) {
  uint32_t value = 0;
  for (int bits = 1; bits <= 8; ++bits) {
    value |= static_cast<uint32_t>(reader.Bit()) << (bits - 1);
    for (uint32_t high = 0; high < 64; ++high) {
      if (DistanceCodeBits(high) == bits && kDistanceValues[high] == value) return high;
    }
  }
  return 0;  // not reached: the code is complete
}

}  // namespace

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return bytes;
}

std::string ToHex(const Bytes& bytes) {
  std::string text;
  char buffer[4];
  for (uint8_t byte : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += buffer;
  }
  return text;
}

Bytes Harness::Output() const {
  Bytes output;
  for (const Bytes& piece : pieces) output.insert(output.end(), piece.begin(), piece.end());
  return output;
}

std::vector<uint32_t> Harness::PieceSizes() const {
  std::vector<uint32_t> sizes;
  for (const Bytes& piece : pieces) sizes.push_back(static_cast<uint32_t>(piece.size()));
  return sizes;
}

uint32_t Harness::Read(uint8_t* buffer, uint32_t requested, void* context) {
  auto& harness = *static_cast<Harness*>(context);
  harness.requests.push_back(requested);
  const uint32_t limit = harness.requests.size() == 1 ? harness.firstDelivery : harness.maxDelivery;
  const size_t count =
      std::min<size_t>({requested, limit, harness.input.size() - harness.readPosition});
  std::copy_n(harness.input.begin() + static_cast<ptrdiff_t>(harness.readPosition), count, buffer);
  harness.readPosition += count;
  harness.events += "R" + std::to_string(requested) + ":" + std::to_string(count) + " ";
  return static_cast<uint32_t>(count);
}

void Harness::Write(const uint8_t* buffer, uint32_t count, void* context) {
  auto& harness = *static_cast<Harness*>(context);
  harness.pieces.emplace_back(buffer, buffer + count);
  harness.events += "W" + std::to_string(count) + " ";
}

BlockResult RunExplode(Harness& harness) {
  auto work = std::make_unique<ExplodeWork>();
  return Explode(Harness::Read, Harness::Write, *work, &harness);
}

BlockResult RunImplode(Harness& harness, uint32_t literalCoding, uint32_t dictionarySize) {
  auto work = std::make_unique<ImplodeWork>();
  return Implode(Harness::Read, Harness::Write, *work, &harness, literalCoding, dictionarySize);
}

namespace {

class ReferenceDecoder {
 public:
  explicit ReferenceDecoder(Harness& harness) : harness_(harness) {}

  BlockResult Run() {
    length_ = Harness::Read(input_, 2048, &harness_);
    if (length_ < 5) return BlockResult::InputTooShort;
    if (input_[1] < 4 || input_[1] > 6) return BlockResult::BadDictionarySize;
    if (input_[0] > 1) return BlockResult::BadLiteralCoding;
    ascii_ = input_[0] == 1;
    dictionaryBits_ = input_[1];
    bits_ = input_[2];
    next_ = 3;
    const bool ended = DecodeItems();
    Harness::Write(output_.data() + passed_, static_cast<uint32_t>(output_.size() - passed_),
                   &harness_);
    return ended ? BlockResult::Ok : BlockResult::DataError;
  }

 private:
  // True at the end marker, false when a consume failed.
  bool DecodeItems() {
    for (;;) {
      const int result = DecodeItem();
      if (result != 0) return result > 0;
      if (output_.size() - passed_ >= 4096) {
        Harness::Write(output_.data() + passed_, 4096, &harness_);
        passed_ += 4096;
      }
    }
  }

  // 0: more items; 1: end marker; -1: input ended.
  int DecodeItem() {
    const bool repetition = (bits_ & 1) != 0;
    if (!Consume(1)) return -1;
    if (!repetition) {
      uint32_t literal = bits_ & 0xFF;
      if (ascii_) {
        std::string sent;
        int symbol = -1;
        while (symbol < 0) {
          sent += static_cast<char>('0' + (bits_ & 1));
          if (!Consume(1)) return -1;
          symbol = LiteralFor(sent);
        }
        literal = static_cast<uint32_t>(symbol);
      } else if (!Consume(8)) {
        return -1;
      }
      output_.push_back(static_cast<uint8_t>(literal));
      return 0;
    }
    std::string sent;
    int row = -1;
    while (row < 0) {
      sent += static_cast<char>('0' + (bits_ & 1));
      if (!Consume(1)) return -1;
      for (int i = 0; i < 16; ++i) {
        if (sent == kLengthRows[i].sent) row = i;
      }
    }
    const int extraBits = kLengthRows[row].extraBits;
    const uint32_t extra = bits_ & ((1u << extraBits) - 1);
    const uint32_t length = kLengthRows[row].base + extra;
    if (!Consume(static_cast<uint32_t>(extraBits))) return length == 519 ? 1 : -1;
    if (length == 519) return 1;
    uint32_t value = 0;
    int high = -1;
    for (int bits = 1; high < 0; ++bits) {
      value |= (bits_ & 1) << (bits - 1);
      if (!Consume(1)) return -1;
      for (uint32_t h = 0; h < 64; ++h) {
        if (DistanceCodeBits(h) == bits && kDistanceValues[h] == value) high = static_cast<int>(h);
      }
    }
    const uint32_t lowBits = length == 2 ? 2 : dictionaryBits_;
    const uint32_t low = bits_ & ((1u << lowBits) - 1);
    if (!Consume(lowBits)) return -1;
    const size_t distance = ((static_cast<uint32_t>(high) << lowBits) | low) + 1;
    for (uint32_t i = 0; i < length; ++i) {
      output_.push_back(output_.size() >= distance ? output_[output_.size() - distance] : 0);
    }
    return 0;
  }

  int LiteralFor(const std::string& sent) {
    for (const auto& [symbol, code] : LiteralCodes()) {
      if (code == sent) return symbol;
    }
    return -1;
  }

  // The text literal codes built by the format's rule from its length table.
  static const std::vector<std::pair<int, std::string>>& LiteralCodes();

  bool Consume(uint32_t count) {
    if (extra_ >= count) {
      bits_ >>= count;
      extra_ -= count;
      return true;
    }
    bits_ >>= extra_;
    count -= extra_;
    extra_ = 0;
    if (next_ == length_) {
      length_ = Harness::Read(input_, 2048, &harness_);
      next_ = 0;
      if (length_ == 0) return false;
    }
    bits_ |= static_cast<uint32_t>(input_[next_++]) << 8;
    bits_ >>= count;
    extra_ = 8 - count;
    return true;
  }

  Harness& harness_;
  uint8_t input_[2048] = {};
  uint32_t length_ = 0;
  uint32_t next_ = 0;
  uint32_t bits_ = 0;  // the look-ahead in bits 0-7, then extra_ more bits
  uint32_t extra_ = 0;
  bool ascii_ = false;
  uint32_t dictionaryBits_ = 0;
  Bytes output_;
  size_t passed_ = 0;
};

const std::vector<std::pair<int, std::string>>& ReferenceDecoder::LiteralCodes() {
  static const std::vector<std::pair<int, std::string>> codes = [] {
    static const char* const kRows[16] = {"11 12 12 12 12 12 12 12 12 8 7 12 12 7 12 12",
                                          "12 12 12 12 12 12 12 12 12 12 13 12 12 12 12 12",
                                          "4 10 8 12 10 12 10 8 7 7 8 9 7 6 7 8",
                                          "7 6 7 7 7 7 8 7 7 8 8 12 11 7 9 11",
                                          "12 6 7 6 6 5 7 8 8 6 11 9 6 7 6 6",
                                          "7 11 6 6 6 7 9 8 9 9 11 8 11 9 12 8",
                                          "12 5 6 6 6 5 6 6 6 5 11 7 5 6 5 5",
                                          "6 10 5 5 5 5 8 7 8 8 10 11 11 12 12 12",
                                          "13 13 13 13 13 13 13 13 13 13 13 13 13 13 13 13",
                                          "13 13 13 13 13 13 13 13 13 13 13 13 13 13 13 13",
                                          "13 13 13 13 13 13 13 13 13 13 13 13 13 13 13 13",
                                          "12 12 12 12 12 12 12 12 12 12 12 12 12 12 12 12",
                                          "12 12 12 12 12 12 12 12 12 12 12 12 12 12 12 12",
                                          "12 12 12 12 12 12 12 12 12 12 12 12 12 12 12 12",
                                          "13 12 13 13 13 12 13 13 13 12 13 13 13 13 12 13",
                                          "13 13 12 12 12 13 13 13 13 13 13 13 13 13 13 13"};
    std::vector<int> lengths;
    for (const char* row : kRows) {
      for (size_t at = 0; row[at] != '\0';) {
        size_t used = 0;
        lengths.push_back(std::stoi(std::string(row + at), &used));
        at += used;
      }
    }
    // Canonical order, consecutive codes, then every bit inverted.
    std::vector<std::pair<int, std::string>> result;
    uint32_t code = 0;
    int previous = 0;
    for (int bits = 1; bits <= 13; ++bits) {
      for (int symbol = 0; symbol < 256; ++symbol) {
        if (lengths[symbol] != bits) continue;
        code = result.empty() ? 0 : (code + 1) << (bits - previous);
        previous = bits;
        std::string sent;
        for (int i = bits - 1; i >= 0; --i) sent += ((code >> i) & 1) ? '0' : '1';
        result.emplace_back(symbol, sent);
      }
    }
    return result;
  }();
  return codes;
}

}  // namespace

BlockResult ReferenceExplode(Harness& harness) { return ReferenceDecoder(harness).Run(); }

Bytes ImplodeBytes(const Bytes& input, uint32_t literalCoding, uint32_t dictionarySize) {
  Harness harness(input);
  RunImplode(harness, literalCoding, dictionarySize);
  return harness.Output();
}

StreamWriter::StreamWriter(uint8_t literalCoding, uint8_t dictionaryBits)
    : bytes_{literalCoding, dictionaryBits}, bitPosition_(16), dictionaryBits_(dictionaryBits) {}

void StreamWriter::Code(const std::string& sent) {
  for (char c : sent) {
    if (bitPosition_ / 8 >= static_cast<int>(bytes_.size())) bytes_.push_back(0);
    if (c == '1') bytes_[bitPosition_ / 8] |= static_cast<uint8_t>(1u << (bitPosition_ % 8));
    ++bitPosition_;
  }
}

void StreamWriter::Integer(uint32_t value, int bits) {
  std::string sent;
  for (int i = 0; i < bits; ++i) sent += ((value >> i) & 1) ? '1' : '0';
  Code(sent);
}

void StreamWriter::BinaryLiteral(uint8_t byte) {
  Code("0");
  Integer(byte, 8);
}

void StreamWriter::Match(uint32_t length, uint32_t distance) {
  int row = 15;
  while (kLengthRows[row].base > length) --row;
  Code("1");
  Code(kLengthRows[row].sent);
  Integer(length - kLengthRows[row].base, kLengthRows[row].extraBits);
  if (length == 519) return;
  const int lowBits = length == 2 ? 2 : dictionaryBits_;
  const uint32_t high = (distance - 1) >> lowBits;
  Integer(kDistanceValues[high], DistanceCodeBits(high));
  Integer((distance - 1) & ((1u << lowBits) - 1), lowBits);
}

void StreamWriter::EndMarker() { Match(519, 0); }

Bytes StreamWriter::Finish() const { return bytes_; }

Item Literal(uint8_t byte) { return Item{0, 0, byte}; }
Item Repeat(uint32_t length, uint32_t distance) { return Item{length, distance, 0}; }

std::string Describe(const std::vector<Item>& items) {
  std::string text;
  for (const Item& item : items) {
    if (!text.empty()) text += ' ';
    text += item.length == 0
                ? "lit" + std::to_string(item.literal)
                : "(" + std::to_string(item.length) + "," + std::to_string(item.distance) + ")";
  }
  return text;
}

std::vector<Item> ReadItems(const Bytes& stream) {
  BitReader reader(stream);
  const int dictionaryBits = stream.at(1);
  std::vector<Item> items;
  while (!reader.failed()) {
    if (reader.Bit() == 0) {
      items.push_back(Literal(static_cast<uint8_t>(reader.Integer(8))));
      continue;
    }
    const LengthRow& row = kLengthRows[ReadLengthRow(reader)];
    const uint32_t length = row.base + reader.Integer(row.extraBits);
    if (length == 519) return items;
    const int lowBits = length == 2 ? 2 : dictionaryBits;
    const uint32_t high = ReadDistanceHigh(reader);
    const uint32_t distance = ((high << lowBits) | reader.Integer(lowBits)) + 1;
    items.push_back(Repeat(length, distance));
  }
  items.push_back(kTruncated);
  return items;
}

namespace {

// The reference encoder's state: one window, as the encoder keeps it.
class ReferenceEncoder {
 public:
  ReferenceEncoder(const Bytes& input, uint32_t dictionarySize)
      : input_(input),
        dictionary_(dictionarySize),
        history_(dictionarySize + kLongest),
        window_(history_ + kBatch + kLongest + 8, 0) {}

  std::vector<Item> Run() {
    uint32_t p = history_;
    size_t read = 0;
    for (int batch = 1;; ++batch) {
      const auto got = static_cast<uint32_t>(std::min<size_t>(kBatch, input_.size() - read));
      std::copy_n(input_.begin() + static_cast<ptrdiff_t>(read), got, window_.begin() + history_);
      read += got;
      if (batch == 1 && got == 0) break;
      const bool last = got < kBatch;
      const uint32_t limit = history_ + (last ? got : kBatch - kLongest);
      indexStart_ = batch == 1                            ? history_
                    : batch == 2 && dictionary_ == kBatch ? p - (kBatch - kLongest)
                                                          : p - dictionary_;
      while (p < limit) p = Choose(p, limit, last);
      if (last) break;
      std::copy_n(window_.begin() + kBatch, history_, window_.begin());
      p -= kBatch;
    }
    return items_;
  }

 private:
  static constexpr uint32_t kBatch = 4096;
  static constexpr uint32_t kLongest = 516;

  Item Find(uint32_t p) const {
    Item best;
    for (uint32_t q = std::max(p + 1 - dictionary_, indexStart_); q + 1 < p; ++q) {
      uint32_t length = 0;
      while (length < kLongest && window_[q + length] == window_[p + length]) ++length;
      if (length == kLongest) return Repeat(length, p - q);
      if (length >= 2 && length >= best.length) best = Repeat(length, p - q);
    }
    return best;
  }

  uint32_t SendLiteral(uint32_t p) {
    items_.push_back(Literal(window_[p]));
    return p + 1;
  }
  uint32_t SendMatch(uint32_t p, Item match) {
    items_.push_back(match);
    return p + match.length;
  }

  uint32_t Choose(uint32_t p, uint32_t limit, bool last) {
    auto tooFar = [](const Item& match) { return match.length == 2 && match.distance >= 257; };
    Item match = Find(p);
    for (;;) {
      if (match.length == 0 || tooFar(match)) return SendLiteral(p);
      if (last && p + match.length > limit) {
        match.length = limit - p;
        return match.length < 2 || tooFar(match) ? SendLiteral(p) : SendMatch(p, match);
      }
      if (match.length >= 8 || p + 1 == limit) return SendMatch(p, match);
      const Item probe = Find(p + 1);
      const bool probeWins = probe.length >= match.length + 2 ||
                             (probe.length == match.length + 1 && match.distance >= 130);
      if (!probeWins) return SendMatch(p, match);
      p = SendLiteral(p);
      match = probe;
    }
  }

  const Bytes& input_;
  const uint32_t dictionary_;
  const uint32_t history_;
  Bytes window_;
  uint32_t indexStart_ = 0;
  std::vector<Item> items_;
};

}  // namespace

std::vector<Item> ReferenceImplodeItems(const Bytes& input, uint32_t dictionarySize) {
  return ReferenceEncoder(input, dictionarySize).Run();
}

Bytes EnglishLikeText(size_t size, uint32_t seed) { return build::MakeTextCorpus(size, seed); }

Bytes RandomBytes(size_t size, uint32_t seed) {
  Bytes bytes(size);
  uint32_t state = seed * 747796405u + 2891336453u;
  for (uint8_t& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

Bytes PairwiseDistinct(size_t size) {
  Bytes bytes;
  for (int first = 0; first < 256 && bytes.size() < size; ++first) {
    bytes.push_back(static_cast<uint8_t>(first));
    for (int second = first + 1; second < 256; ++second) {
      bytes.push_back(static_cast<uint8_t>(first));
      bytes.push_back(static_cast<uint8_t>(second));
    }
  }
  bytes.resize(std::min(size, bytes.size()));
  return bytes;
}

}  // namespace exqrv::codec::testing
