#include <gtest/gtest.h>

#include "codec_harness.h"

namespace exqrv::codec::testing {
namespace {

struct StreamCase {
  const char* name;
  const char* stream;
  BlockResult result;
  const char* output;
};

class ExplodeStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ExplodeStream, DecodesToTheGivenBytes) {
  const StreamCase& c = GetParam();
  Harness harness(FromHex(c.stream));
  EXPECT_EQ(RunExplode(harness), c.result);
  EXPECT_EQ(ToHex(harness.Output()), c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ExplodeStream,
    ::testing::Values(
        StreamCase{"LiteralThenLength4AtDistance1", "00 04 82 66 08 F8 07", BlockResult::Ok,
                   "41 41 41 41 41"},
        StreamCase{"Length2UsesTwoLowBits", "00 04 82 08 ED 05 FC 03", BlockResult::Ok,
                   "41 42 41 42"},
        StreamCase{"AsciiSpaceAndE", "01 04 DE 0E F8 07", BlockResult::Ok, "20 65"},
        StreamCase{"EndMarkerEndsTheInput", "00 04 82 02 FE 01", BlockResult::Ok, "41"},
        StreamCase{"CutBeforeTheEndMarker", "00 04 82 02 FE", BlockResult::DataError, "41"},
        StreamCase{"EndMarkerAloneIsTooShort", "00 04 01 FF", BlockResult::InputTooShort, ""},
        StreamCase{"EndMarkerAlonePlusZero", "00 04 01 FF 00", BlockResult::Ok, ""},
        StreamCase{"EndMarkerAlonePlusFF", "00 04 01 FF FF", BlockResult::Ok, ""},
        StreamCase{"DictionaryBits7", "00 07 01 FF 00", BlockResult::BadDictionarySize, ""},
        StreamCase{"DictionaryBits3BeforeCoding7", "07 03 01 FF 00", BlockResult::BadDictionarySize,
                   ""},
        StreamCase{"LiteralCoding2", "02 04 01 FF 00", BlockResult::BadLiteralCoding, ""},
        StreamCase{"EmptyInput", "", BlockResult::InputTooShort, ""}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(Explode, HeaderFaultsReadOnceAndWriteNothing) {
  for (const char* stream : {"00 07 01 FF 00", "02 04 01 FF 00", "00 04 01 FF"}) {
    Harness harness(FromHex(stream));
    RunExplode(harness);
    EXPECT_EQ(harness.requests, std::vector<uint32_t>{2048}) << stream;
    EXPECT_TRUE(harness.pieces.empty()) << stream;
  }
}

TEST(Explode, EndMarkerAloneWritesOneEmptyPiece) {
  Harness harness(FromHex("00 04 01 FF 7E"));
  EXPECT_EQ(RunExplode(harness), BlockResult::Ok);
  EXPECT_EQ(harness.PieceSizes(), std::vector<uint32_t>{0});
}

// The literal codes of the text table, as sent (from the format's check codes).
TEST(Explode, AsciiCheckCodes) {
  const struct {
    uint8_t byte;
    const char* sent;
  } kCodes[] = {{0x20, "1111"},          {0x65, "11011"},        {0x74, "10100"},
                {0x61, "11100"},         {0x0A, "0100011"},      {0x00, "00001001001"},
                {0x80, "0000001001000"}, {0xFF, "0000000000000"}};
  for (const auto& code : kCodes) {
    StreamWriter writer(Ascii, 4);
    writer.Code("0");
    writer.Code(code.sent);
    writer.EndMarker();
    Harness harness(writer.Finish());
    EXPECT_EQ(RunExplode(harness), BlockResult::Ok) << code.sent;
    EXPECT_EQ(harness.Output(), Bytes{code.byte}) << code.sent;
  }
}

TEST(Explode, LongestRepetitionAtDistanceOne) {
  StreamWriter writer(Binary, 4);
  writer.BinaryLiteral('x');
  writer.Match(518, 1);
  writer.EndMarker();
  Harness harness(writer.Finish());
  EXPECT_EQ(RunExplode(harness), BlockResult::Ok);
  EXPECT_EQ(harness.Output(), Bytes(519, 'x'));
}

// Length code 15 with extra bits below all ones is a real repetition.
TEST(Explode, Length518IsNotTheEndMarker) {
  StreamWriter writer(Binary, 6);
  writer.BinaryLiteral('a');
  writer.BinaryLiteral('b');
  writer.Match(264, 2);
  writer.Match(518, 2);
  writer.EndMarker();
  Harness harness(writer.Finish());
  EXPECT_EQ(RunExplode(harness), BlockResult::Ok);
  EXPECT_EQ(harness.Output().size(), 2u + 264 + 518);
}

TEST(Explode, OutputOf8192BytesIsTwoFullPiecesAndAnEmptyOne) {
  StreamWriter writer(Binary, 4);
  writer.BinaryLiteral('z');
  for (int i = 0; i < 15; ++i) writer.Match(518, 1);
  writer.Match(8192 - 1 - 15 * 518, 1);
  writer.EndMarker();
  Harness harness(writer.Finish());
  EXPECT_EQ(RunExplode(harness), BlockResult::Ok);
  EXPECT_EQ(harness.PieceSizes(), (std::vector<uint32_t>{4096, 4096, 0}));
  EXPECT_EQ(harness.Output(), Bytes(8192, 'z'));
}

// A distance reaching back before the first output byte copies zeros.
TEST(Explode, HistoryBeforeTheOutputIsZero) {
  StreamWriter writer(Binary, 6);
  writer.BinaryLiteral('q');
  writer.Match(5, 4096);
  writer.EndMarker();
  Harness harness(writer.Finish());
  EXPECT_EQ(RunExplode(harness), BlockResult::Ok);
  EXPECT_EQ(harness.Output(), (Bytes{'q', 0, 0, 0, 0, 0}));
}

// Every dictionary size and both short and long low parts, checked against
// the distances the writer put in.
TEST(Explode, DistancesForEveryDictionarySize) {
  for (uint8_t dictionaryBits : {4, 5, 6}) {
    const uint32_t window = 1u << (dictionaryBits + 6);
    const Bytes text = EnglishLikeText(window);
    StreamWriter writer(Binary, dictionaryBits);
    for (uint8_t byte : text) writer.BinaryLiteral(byte);
    const uint32_t distances[] = {1, 2, 3, 255, 256, 257, window - 1, window};
    Bytes expected = text;
    for (uint32_t distance : distances) {
      for (uint32_t length : {2u, 3u, 9u, 300u}) {
        if (length == 2 && distance > 256) continue;
        writer.Match(length, distance);
        for (uint32_t i = 0; i < length; ++i)
          expected.push_back(expected[expected.size() - distance]);
      }
    }
    writer.EndMarker();
    Harness harness(writer.Finish());
    EXPECT_EQ(RunExplode(harness), BlockResult::Ok);
    EXPECT_EQ(harness.Output(), expected) << "dictionary bits " << int{dictionaryBits};
  }
}

// Reads always ask for 2048 bytes; writes are 4096-byte pieces and one final
// rest; and how the input is cut up after the first read (which must hold the
// header) does not change the output.
TEST(Explode, PieceSizesAndDeliverySizes) {
  const Bytes text = EnglishLikeText(50000);
  const Bytes stream = ImplodeBytes(text, Binary, 4096);
  for (uint32_t delivery : {UINT32_MAX, 2048u, 1000u, 7u, 1u}) {
    Harness harness(stream);
    harness.maxDelivery = delivery;
    ASSERT_EQ(RunExplode(harness), BlockResult::Ok) << delivery;
    EXPECT_EQ(harness.Output(), text) << delivery;
    for (uint32_t requested : harness.requests) EXPECT_EQ(requested, 2048u);
    const std::vector<uint32_t> sizes = harness.PieceSizes();
    ASSERT_EQ(sizes.size(), 50000 / 4096 + 1u);
    EXPECT_EQ(sizes.back(), 50000 % 4096);
    for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 4096u);
  }
}

// A stream cut anywhere yields DataError with exactly the items that fit, and
// reads no further once the input has ended.
TEST(Explode, TruncatedStreamsEndWithDataError) {
  const Bytes text = EnglishLikeText(9000);
  const Bytes stream = ImplodeBytes(text, Binary, 1024);
  for (size_t cut = 5; cut < stream.size() - 1; cut += 97) {
    Harness harness(Bytes(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(cut)));
    ASSERT_EQ(RunExplode(harness), BlockResult::DataError) << cut;
    const Bytes output = harness.Output();
    ASSERT_LE(output.size(), text.size());
    EXPECT_TRUE(std::equal(output.begin(), output.end(), text.begin())) << cut;
    EXPECT_EQ(harness.requests.back(), 2048u);
    EXPECT_EQ(harness.readPosition, cut);
  }
}

// Random bit streams, real streams and their truncations, with the input cut
// into pieces of several sizes: results, output and the order and sizes of
// every read and write agree with the bit-by-bit decoder.
TEST(Explode, CallbacksMatchTheBitByBitDecoder) {
  std::vector<Bytes> streams;
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    Bytes stream = RandomBytes(5 + seed * seed * 11, seed);
    stream[0] = static_cast<uint8_t>(seed % 2);
    stream[1] = static_cast<uint8_t>(4 + seed % 3);
    streams.push_back(stream);
  }
  for (uint32_t coding : {Binary, Ascii}) {
    const Bytes stream = ImplodeBytes(EnglishLikeText(30000, coding + 5), coding, 2048);
    streams.push_back(stream);
    for (size_t cut : {2047u, 2048u, 2049u, 4100u}) {
      streams.emplace_back(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(cut));
    }
  }
  for (size_t i = 0; i < streams.size(); ++i) {
    for (uint32_t delivery : {UINT32_MAX, 1u, 3u, 700u}) {
      Harness fast(streams[i]);
      Harness reference(streams[i]);
      fast.maxDelivery = delivery;
      reference.maxDelivery = delivery;
      EXPECT_EQ(RunExplode(fast), ReferenceExplode(reference)) << i << " " << delivery;
      EXPECT_EQ(fast.events, reference.events) << i << " " << delivery;
      EXPECT_TRUE(fast.Output() == reference.Output()) << i << " " << delivery;
    }
  }
}

// Every byte value in runs of one, two and three literals between matches,
// so that the literals of one item entry (the pairs, and the 13-bit codes
// whose last bit lies past the entry's index) meet every neighbour kind.
TEST(Explode, LiteralRunsOfEveryByteMatchTheBitByBitDecoder) {
  const std::string quick = "the quick ";
  const Bytes phrase(quick.begin(), quick.end());
  Bytes input = phrase;
  for (uint32_t b = 0; b < 256; ++b) {
    const auto first = static_cast<uint8_t>(b);
    const auto second = static_cast<uint8_t>(b * 37 + 11);
    const auto third = static_cast<uint8_t>(b * 101 + 59);
    for (const Bytes& run : {Bytes{first}, Bytes{first, second}, Bytes{third, second, first}}) {
      input.insert(input.end(), run.begin(), run.end());
      input.insert(input.end(), phrase.begin(), phrase.begin() + 4 + b % 6);
    }
  }
  for (uint32_t coding : {Binary, Ascii}) {
    for (uint32_t dictionary : {1024u, 2048u, 4096u}) {
      Harness fast(ImplodeBytes(input, coding, dictionary));
      Harness reference(fast.input);
      ASSERT_EQ(RunExplode(fast), BlockResult::Ok) << coding << " " << dictionary;
      ReferenceExplode(reference);
      EXPECT_EQ(fast.events, reference.events) << coding << " " << dictionary;
      EXPECT_TRUE(fast.Output() == input) << coding << " " << dictionary;
    }
  }
}

TEST(Explode, WorkMemoryServesOneStreamAfterAnother) {
  auto work = std::make_unique<ExplodeWork>();
  for (const char* stream : {"00 04 82 66 08 F8 07", "00 04 82 08 ED 05 FC 03"}) {
    Harness harness(FromHex(stream));
    EXPECT_EQ(Explode(Harness::Read, Harness::Write, *work, &harness), BlockResult::Ok);
  }
  StreamWriter writer(Binary, 6);
  writer.BinaryLiteral('q');
  writer.Match(3, 100);
  writer.EndMarker();
  Harness harness(writer.Finish());
  EXPECT_EQ(Explode(Harness::Read, Harness::Write, *work, &harness), BlockResult::Ok);
  EXPECT_EQ(harness.Output(), (Bytes{'q', 0, 0, 0}));
}

}  // namespace
}  // namespace exqrv::codec::testing
