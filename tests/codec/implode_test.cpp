#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "codec_harness.h"

namespace exqrv::codec::testing {
namespace {

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

struct StreamCase {
  const char* name;
  Bytes input;
  const char* stream;
};

class ImplodeStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ImplodeStream, WritesTheGivenBytesInOnePiece) {
  Harness harness(GetParam().input);
  EXPECT_EQ(RunImplode(harness, Binary, 1024), BlockResult::Ok);
  EXPECT_EQ(harness.pieces.size(), 1u);
  EXPECT_EQ(ToHex(harness.Output()), GetParam().stream);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ImplodeStream,
    ::testing::Values(StreamCase{"Empty", {}, "00 04 01 FF"},
                      StreamCase{"OneByte", Text("A"), "00 04 82 02 FE 01"},
                      StreamCase{"FiveEqualBytes", Text("AAAAA"), "00 04 82 04 FD 08 F8 07"},
                      StreamCase{"AlternatingPair", Text("ABABABAB"), "00 04 82 08 D5 23 E0 1F"}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(Implode, ParameterErrorsCallNothing) {
  const struct {
    uint32_t coding;
    uint32_t dictionary;
    BlockResult result;
  } kCases[] = {{Binary, 3000, BlockResult::BadDictionarySize},
                {2, 1024, BlockResult::BadLiteralCoding},
                {2, 0, BlockResult::BadDictionarySize},
                {Ascii, 8192, BlockResult::BadDictionarySize}};
  for (const auto& c : kCases) {
    Harness harness(Text("some input"));
    EXPECT_EQ(RunImplode(harness, c.coding, c.dictionary), c.result);
    EXPECT_TRUE(harness.requests.empty());
    EXPECT_TRUE(harness.pieces.empty());
  }
}

// Runs of one byte value: the search's choice among equally long candidates
// and the handling of the bytes past the input decide these item lists.
struct RunCase {
  const char* name;
  size_t size;
  uint32_t dictionary;
  std::vector<Item> items;
};

class ImplodeRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(ImplodeRun, ChoosesTheGivenRepetitions) {
  const RunCase& c = GetParam();
  std::vector<Item> expected = {Literal('A'), Literal('A')};
  expected.insert(expected.end(), c.items.begin(), c.items.end());
  EXPECT_EQ(Describe(ReadItems(ImplodeBytes(Bytes(c.size, 'A'), Binary, c.dictionary))),
            Describe(expected));
}

// Implode clears its work memory, so what it held before does not matter.
TEST_P(ImplodeRun, IgnoresWhatTheWorkMemoryHeld) {
  const RunCase& c = GetParam();
  auto work = std::make_unique<ImplodeWork>();
  std::memset(work.get(), 'A', sizeof *work);
  Harness harness(Bytes(c.size, 'A'));
  Implode(Harness::Read, Harness::Write, *work, &harness, Binary, c.dictionary);
  EXPECT_EQ(harness.Output(), ImplodeBytes(Bytes(c.size, 'A'), Binary, c.dictionary));
}

INSTANTIATE_TEST_SUITE_P(
    EqualBytes, ImplodeRun,
    ::testing::Values(
        RunCase{"Run600", 600, 1024, {Repeat(516, 2), Repeat(82, 2)}},
        RunCase{"Run2000",
                2000,
                1024,
                {Repeat(516, 2), Repeat(516, 518), Repeat(516, 1023), Repeat(450, 2)}},
        RunCase{"Run5000",
                5000,
                4096,
                {Repeat(516, 2), Repeat(516, 518), Repeat(516, 1034), Repeat(516, 1550),
                 Repeat(516, 2066), Repeat(516, 2582), Repeat(516, 3098), Repeat(516, 3580),
                 Repeat(516, 4095), Repeat(354, 4095)}}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

// Small inputs whose every item is determined by one rule of the choice.
TEST(Implode, ChoiceRules) {
  // No byte pair twice, and none with 0xF0 or 0xF1.
  const Bytes filler = PairwiseDistinct(600);

  // A 2-byte match 257 or more bytes back costs more than two literals.
  {
    Bytes input = {0xF0, 0xF1};
    input.insert(input.end(), filler.begin() + 1, filler.begin() + 256);
    input.push_back(0xF0);
    input.push_back(0xF1);
    const std::vector<Item> items = ReadItems(ImplodeBytes(input, Binary, 1024));
    EXPECT_EQ(items.size(), input.size()) << Describe(items);
  }
  // At 256 bytes back it is used.
  {
    Bytes input = {0xF0, 0xF1};
    input.insert(input.end(), filler.begin() + 1, filler.begin() + 255);
    input.push_back(0xF0);
    input.push_back(0xF1);
    const std::vector<Item> items = ReadItems(ImplodeBytes(input, Binary, 1024));
    EXPECT_EQ(Describe({items.back()}), Describe({Repeat(2, 256)}));
  }
  // A match at p + 1 two bytes longer wins over the one at p.
  EXPECT_EQ(Describe(ReadItems(ImplodeBytes(Text("abcQbcdefRabcdefS"), Binary, 1024))),
            Describe({Literal('a'), Literal('b'), Literal('c'), Literal('Q'), Repeat(2, 3),
                      Literal('d'), Literal('e'), Literal('f'), Literal('R'), Literal('a'),
                      Repeat(5, 7), Literal('S')}));
}

// The output goes out in 2048-byte pieces; an end marker that ends on a
// piece boundary leaves an empty last write. 14560 literals of 9 bits, the
// header and the end marker make exactly 8 pieces.
TEST(Implode, OutputPiecesAndEmptyLastPiece) {
  const Bytes input = PairwiseDistinct(14560);
  Harness harness(input);
  RunImplode(harness, Binary, 4096);
  EXPECT_EQ(harness.PieceSizes(),
            (std::vector<uint32_t>{2048, 2048, 2048, 2048, 2048, 2048, 2048, 2048, 0}));

  Harness shorter(Bytes(input.begin(), input.end() - 1));
  RunImplode(shorter, Binary, 4096);
  EXPECT_EQ(shorter.PieceSizes(),
            (std::vector<uint32_t>{2048, 2048, 2048, 2048, 2048, 2048, 2048, 2047}));
}

// Each batch asks for what is missing of 4096 bytes until a read delivers 0.
TEST(Implode, BatchReadsAskForTheRestOf4096) {
  const Bytes input = EnglishLikeText(9000);
  Harness harness(input);
  harness.firstDelivery = 1500;
  harness.maxDelivery = 1500;
  RunImplode(harness, Binary, 4096);
  EXPECT_EQ(harness.requests,
            (std::vector<uint32_t>{4096, 2596, 1096, 4096, 2596, 1096, 4096, 3288}));
  EXPECT_EQ(harness.Output(), ImplodeBytes(input, Binary, 4096));
}

// Inputs where the encoder's shortcuts to the best match are taken: text,
// machine code, the zero runs of little-endian integers and padding, runs of
// every length, periodic data and the batch boundaries.
std::vector<std::pair<std::string, Bytes>> ChoiceInputs() {
  std::vector<std::pair<std::string, Bytes>> inputs = {
      {"text", EnglishLikeText(30000, 11)},
      {"text of two batches less the look-ahead", EnglishLikeText(2 * 4096 - 516, 12)},
      {"random", RandomBytes(12000, 5)},
  };
  // The test program itself, as machine code every build machine has.
  std::ifstream self("/proc/self/exe", std::ios::binary);
  Bytes code(40000);
  self.read(reinterpret_cast<char*>(code.data()), static_cast<std::streamsize>(code.size()));
  code.resize(static_cast<size_t>(self.gcount()));
  if (!code.empty()) inputs.emplace_back("machine code", code);

  Bytes integers;
  for (uint32_t i = 0; i < 4000; ++i) {
    const uint64_t value = (i * 2654435761u) % (i % 3 == 0 ? 300 : 70000);
    for (int byte = 0; byte < 8; ++byte)
      integers.push_back(static_cast<uint8_t>(value >> (8 * byte)));
  }
  inputs.emplace_back("little-endian integers", integers);

  Bytes runs;
  for (uint32_t length = 1; length <= 600; length += length < 20 ? 1 : 37) {
    runs.insert(runs.end(), length, 0);
    runs.push_back(static_cast<uint8_t>(length));
    runs.insert(runs.end(), length % 7 + 1, static_cast<uint8_t>(0xFF * (length & 1)));
  }
  inputs.emplace_back("runs of every length", runs);

  Bytes periodic;
  const Bytes motifs[] = {{1, 2, 3}, {9, 9, 9, 9, 8, 9, 9}, {0, 0, 0, 0, 0, 0, 0, 1}};
  for (uint32_t i = 0; periodic.size() < 20000; ++i) {
    const Bytes& motif = motifs[i / 50 % 3];
    periodic.insert(periodic.end(), motif.begin(), motif.end());
    if (i % 97 == 0) periodic.back() ^= 0x40;
  }
  inputs.emplace_back("periodic", periodic);
  return inputs;
}

class ImplodeChoice : public ::testing::TestWithParam<uint32_t> {};

// The encoder reaches its choice through hashed lists, a table of pairs and failure
// tables; whatever the input, it must be the choice of the plain search.
TEST_P(ImplodeChoice, IsThatOfThePlainSearch) {
  for (const auto& [name, input] : ChoiceInputs()) {
    const std::vector<Item> expected = ReferenceImplodeItems(input, GetParam());
    const std::vector<Item> items = ReadItems(ImplodeBytes(input, Binary, GetParam()));
    const auto [got, want] =
        std::mismatch(items.begin(), items.end(), expected.begin(), expected.end());
    if (got == items.end() && want == expected.end()) continue;
    ADD_FAILURE() << name << ": item " << (got - items.begin()) << " is "
                  << (got == items.end() ? "missing" : Describe({*got})) << ", expected "
                  << (want == expected.end() ? "none" : Describe({*want}));
  }
}

INSTANTIATE_TEST_SUITE_P(Dictionaries, ImplodeChoice, ::testing::Values(1024u, 2048u, 4096u));

struct RoundTripCase {
  uint32_t coding;
  uint32_t dictionary;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ExplodeGivesTheInputBack) {
  const std::vector<std::pair<const char*, Bytes>> inputs = {
      {"one byte", Text("x")},
      {"short text", Text("to be or not to be, that is the question")},
      {"text across batches", EnglishLikeText(100000, 7)},
      {"batch boundary", EnglishLikeText(4096 * 2 - 516, 3)},
      {"exactly one batch", EnglishLikeText(4096, 4)},
      {"exactly two batches", EnglishLikeText(8192, 5)},
      {"random", RandomBytes(20000)},
      {"pairwise distinct", PairwiseDistinct(9000)},
      {"long runs",
       [] {
         Bytes runs;
         for (int value = 0; value < 40; ++value)
           runs.insert(runs.end(), 37u * value + 1, static_cast<uint8_t>(value % 3));
         return runs;
       }()},
      {"zeros", Bytes(13000, 0)},
  };
  for (const auto& [name, input] : inputs) {
    const Bytes stream = ImplodeBytes(input, GetParam().coding, GetParam().dictionary);
    Harness harness(stream);
    ASSERT_EQ(RunExplode(harness), BlockResult::Ok) << name;
    EXPECT_EQ(harness.Output(), input) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(CodingsAndDictionaries, RoundTrip,
                         ::testing::Values(RoundTripCase{Binary, 1024}, RoundTripCase{Binary, 2048},
                                           RoundTripCase{Binary, 4096}, RoundTripCase{Ascii, 1024},
                                           RoundTripCase{Ascii, 2048}, RoundTripCase{Ascii, 4096}),
                         [](const ::testing::TestParamInfo<RoundTripCase>& info) {
                           return std::string(info.param.coding == Ascii ? "Ascii" : "Binary") +
                                  std::to_string(info.param.dictionary);
                         });

TEST(Crc32, CheckValueAndPiecewiseUpdate) {
  const Bytes digits = Text("123456789");
  EXPECT_EQ(~Crc32Update(digits.data(), digits.size(), 0xFFFFFFFFu), 0xCBF43926u);
  const Bytes text = EnglishLikeText(1000);
  const uint32_t whole = Crc32Update(text.data(), text.size(), 0xFFFFFFFFu);
  for (size_t split : {0u, 1u, 7u, 8u, 9u, 999u}) {
    const uint32_t first = Crc32Update(text.data(), split, 0xFFFFFFFFu);
    EXPECT_EQ(Crc32Update(text.data() + split, text.size() - split, first), whole) << split;
  }
  EXPECT_EQ(Crc32Update(nullptr, 0, 0x12345678u), 0x12345678u);
}

// Long stretches take a faster way than short ones; every length, start and
// running value must give the bit-by-bit definition's result.
TEST(Crc32, EveryLengthAndAlignmentAgreesWithTheDefinition) {
  const auto bitwise = [](const uint8_t* data, size_t count, uint32_t running) {
    for (size_t i = 0; i < count; ++i) {
      running ^= data[i];
      for (int bit = 0; bit < 8; ++bit)
        running = (running >> 1) ^ ((running & 1) ? 0xEDB88320u : 0);
    }
    return running;
  };
  const Bytes text = EnglishLikeText(5000, 3);
  for (size_t start = 0; start < 4; ++start) {
    for (size_t count = 0; count + start <= text.size(); count += count < 300 ? 1 : 97) {
      for (uint32_t running : {0xFFFFFFFFu, 0x2468ACE1u}) {
        ASSERT_EQ(Crc32Update(text.data() + start, count, running),
                  bitwise(text.data() + start, count, running))
            << "start " << start << ", count " << count;
      }
    }
  }
}

}  // namespace
}  // namespace exqrv::codec::testing
