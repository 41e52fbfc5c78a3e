#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "codec/compressed_block.h"
#include "codec_harness.h"
#include "platform/byte_stream.h"
#include "platform/file.h"
#include "platform/prompter.h"
#include "support/failing_sink.h"
#include "support/scripted_prompter.h"
#include "support/scratch_dir.h"

namespace exqrv::codec::testing {
namespace {

std::vector<int32_t> gPercentages;
void RecordProgress(int32_t percent) { gPercentages.push_back(percent); }

class CompressedBlockTest : public ::testing::Test {
 protected:
  void TearDown() override { gPercentages.clear(); }

  std::string Path(const std::string& name) const { return dir_ / name; }

  void Store(const std::string& name, const Bytes& bytes) const {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  Bytes Load(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The block that Compress makes of data (placed at offset 0).
  Bytes Block(const Bytes& data) {
    Store("raw", data);
    platform::File source;
    platform::File destination;
    EXPECT_TRUE(source.Open(Path("raw"), platform::OpenMode::Read));
    EXPECT_TRUE(destination.Open(Path("block"), platform::OpenMode::ReadWrite));
    EXPECT_EQ(CompressedBlock().Run(source, 0, static_cast<int32_t>(data.size()), destination, 0,
                                    BlockMode::Compress, nullptr),
              BlockResult::Ok);
    destination.Close();
    return Load("block");
  }

  // Expands the block at sourceOffset of sourceBytes into a fresh file.
  BlockResult Expand(const Bytes& sourceBytes, uint32_t sourceOffset, Bytes* output,
                     uint32_t destinationOffset = 0, ProgressCallback progress = nullptr) {
    Store("source", sourceBytes);
    platform::File source;
    platform::File destination;
    EXPECT_TRUE(source.Open(Path("source"), platform::OpenMode::Read));
    EXPECT_TRUE(destination.Open(Path("expanded"), platform::OpenMode::ReadWrite));
    const BlockResult result = block_.Run(source, sourceOffset, 0, destination, destinationOffset,
                                          BlockMode::Expand, progress);
    sourcePositionAfter_ = source.Position();
    destination.Close();
    if (output != nullptr) *output = Load("expanded");
    return result;
  }

  build::ScratchDir dir_;
  CompressedBlock block_;
  int64_t sourcePositionAfter_ = 0;
};

BlockHeader HeaderOf(const Bytes& block) { return BlockHeader::Parse(block.data()); }

Bytes WithField(Bytes block, uint32_t BlockHeader::*field, uint32_t value) {
  BlockHeader header = HeaderOf(block);
  header.*field = value;
  header.Serialize(block.data());
  return block;
}

TEST_F(CompressedBlockTest, CompressWritesTheHeaderAndExpandGivesTheDataBack) {
  const Bytes data = EnglishLikeText(30000);
  Bytes source(10, 0xEE);
  source.insert(source.end(), data.begin(), data.end());
  Store("source", source);

  platform::File in;
  platform::File out;
  ASSERT_TRUE(in.Open(Path("source"), platform::OpenMode::Read));
  ASSERT_TRUE(out.Open(Path("block"), platform::OpenMode::ReadWrite));
  ASSERT_EQ(
      block_.Run(in, 10, static_cast<int32_t>(data.size()), out, 7, BlockMode::Compress, nullptr),
      BlockResult::Ok);
  const int64_t end = out.Position();
  out.Close();
  const Bytes written = Load("block");
  ASSERT_EQ(static_cast<int64_t>(written.size()), end);  // just past the block

  const Bytes block(written.begin() + 7, written.end());
  EXPECT_EQ(std::memcmp(block.data(), "QvorPKCP", 8), 0);
  const BlockHeader header = HeaderOf(block);
  EXPECT_EQ(header.reserved, 0u);
  EXPECT_EQ(header.uncompressedLength, data.size());
  EXPECT_EQ(header.compressedLength, block.size() - kBlockHeaderSize);
  const uint32_t crc = ~Crc32Update(data.data(), data.size(), 0xFFFFFFFFu);
  EXPECT_EQ(header.crc, crc);
  EXPECT_EQ(block_.crc(), crc);

  Bytes output;
  EXPECT_EQ(Expand(written, 7, &output, 3), BlockResult::Ok);
  EXPECT_EQ(Bytes(output.begin() + 3, output.end()), data);
  EXPECT_EQ(block_.crc(), crc);
}

TEST_F(CompressedBlockTest, CompressChecksumsTheDigits) {
  const Bytes block = Block(FromHex("31 32 33 34 35 36 37 38 39"));
  EXPECT_EQ(HeaderOf(block).crc, 0xCBF43926u);
}

// Up to 4096 bytes the small dictionary, above it the large one; always Binary.
TEST_F(CompressedBlockTest, DictionaryFollowsTheLength) {
  const struct {
    size_t length;
    uint8_t dictionaryBits;
  } kCases[] = {{100, 4}, {4096, 4}, {4097, 6}};
  for (const auto& c : kCases) {
    const Bytes block = Block(EnglishLikeText(c.length));
    EXPECT_EQ(block[kBlockHeaderSize], Binary) << c.length;
    EXPECT_EQ(block[kBlockHeaderSize + 1], c.dictionaryBits) << c.length;
  }
}

TEST_F(CompressedBlockTest, MagicIsComparedOverAllEightBytes) {
  Bytes block = Block(EnglishLikeText(500));
  block[7] = 'Q';
  Bytes output;
  EXPECT_EQ(Expand(block, 0, &output), BlockResult::BadMagic);
  EXPECT_TRUE(output.empty());
}

TEST_F(CompressedBlockTest, SourceEndingInsideTheHeaderHasNoMagic) {
  const Bytes block = Block(EnglishLikeText(500));
  EXPECT_EQ(Expand(Bytes(block.begin(), block.begin() + 20), 0, nullptr), BlockResult::BadMagic);
}

TEST_F(CompressedBlockTest, CompressedLengthBelowFiveIsTooShort) {
  const Bytes block = Block(EnglishLikeText(500));
  for (uint32_t length = 0; length <= 4; ++length) {
    EXPECT_EQ(Expand(WithField(block, &BlockHeader::compressedLength, length), 0, nullptr),
              BlockResult::InputTooShort)
        << length;
  }
  // Compressing nothing makes a 4-byte stream that cannot be expanded.
  EXPECT_EQ(Expand(Block({}), 0, nullptr), BlockResult::InputTooShort);
}

// The CRC and uncompressed length fields are not checked, and nothing after
// the end marker is read.
TEST_F(CompressedBlockTest, HeaderFieldsBesideTheStreamAreNotChecked) {
  const Bytes data = EnglishLikeText(5000);
  const Bytes block = Block(data);
  Bytes padded = block;
  padded.resize(block.size() + 100, 0x5A);
  const Bytes variants[] = {WithField(block, &BlockHeader::crc, 0x12345678),
                            WithField(block, &BlockHeader::uncompressedLength, 3),
                            WithField(padded, &BlockHeader::compressedLength,
                                      static_cast<uint32_t>(padded.size() - kBlockHeaderSize))};
  for (const Bytes& variant : variants) {
    Bytes output;
    EXPECT_EQ(Expand(variant, 0, &output), BlockResult::Ok);
    EXPECT_EQ(output, data);
  }
}

TEST_F(CompressedBlockTest, ShortCompressedLengthKeepsThePartialOutput) {
  const Bytes data = EnglishLikeText(40000);
  const Bytes block = Block(data);
  const uint32_t half = static_cast<uint32_t>((block.size() - kBlockHeaderSize) / 2);
  Bytes output;
  EXPECT_EQ(Expand(WithField(block, &BlockHeader::compressedLength, half), 0, &output),
            BlockResult::DataError);
  ASSERT_GT(output.size(), 4096u);
  ASSERT_LT(output.size(), data.size());
  EXPECT_TRUE(std::equal(output.begin(), output.end(), data.begin()));
  EXPECT_EQ(sourcePositionAfter_, kBlockHeaderSize + half);
}

TEST_F(CompressedBlockTest, ProgressRisesTo100) {
  const Bytes block = Block(EnglishLikeText(50000));
  ASSERT_EQ(Expand(block, 0, nullptr, 0, RecordProgress), BlockResult::Ok);
  ASSERT_EQ(gPercentages.size(), 50000 / 4096 + 1u);
  EXPECT_TRUE(std::is_sorted(gPercentages.begin(), gPercentages.end()));
  EXPECT_EQ(gPercentages.front(), 4096 * 100 / 50000);
  EXPECT_EQ(gPercentages.back(), 100);

  gPercentages.clear();
  ASSERT_EQ(Expand(block, 0, nullptr), BlockResult::Ok);
  EXPECT_TRUE(gPercentages.empty());
}

// A failed write is shown once; then the input is cut off and further
// output dropped, so the decoder ends early.
TEST_F(CompressedBlockTest, WriteFailureIsShownAndWindsDown) {
  const Bytes data = EnglishLikeText(400000);
  const Bytes block = Block(data);
  platform::ScriptedPrompter prompter;
  const platform::PrompterScope scripted(&prompter);
  {
    const platform::WriteFaultScope full(1000);
    EXPECT_EQ(Expand(block, 0, nullptr), BlockResult::DataError);
  }
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_FALSE(prompter.shown[0].text.empty());
  EXPECT_LT(prompter.shown[0].text.size(), 256u);
  EXPECT_EQ(prompter.shown[0].buttons, platform::Buttons::Ok);
  EXPECT_LT(sourcePositionAfter_, static_cast<int64_t>(block.size()) / 2);
}

// A destination that lost bytes holds no block, however late the loss shows:
// the final flush fails the block as a failed piece does.
TEST_F(CompressedBlockTest, WriteFailureAtTheEndFailsTheBlock) {
  const Bytes block = Block(EnglishLikeText(3000));
  platform::ScriptedPrompter prompter;
  const platform::PrompterScope scripted(&prompter);
  const platform::WriteFaultScope full(1000);
  EXPECT_EQ(Expand(block, 0, nullptr), BlockResult::DataError);
  EXPECT_EQ(prompter.shown.size(), 1u);
}

// Document offsets are 32-bit: expanding must not carry the destination
// past the last one.
TEST_F(CompressedBlockTest, ExpansionStopsAtTheLargestOffset) {
  const Bytes block = Block(EnglishLikeText(5000));
  EXPECT_EQ(Expand(block, 0, nullptr, 0xFFFFFFFFu - 5000), BlockResult::Ok);
  EXPECT_EQ(Expand(block, 0, nullptr, 0xFFFFFFFFu - 4999), BlockResult::DataError);
}

TEST_F(CompressedBlockTest, OneObjectRunsSeveralOperations) {
  const Bytes first = EnglishLikeText(7000, 1);
  const Bytes second = EnglishLikeText(3000, 2);
  Bytes both = Block(first);
  const Bytes secondBlock = Block(second);
  both.insert(both.end(), secondBlock.begin(), secondBlock.end());
  Bytes output;
  EXPECT_EQ(Expand(both, 0, &output), BlockResult::Ok);
  EXPECT_EQ(output, first);
  EXPECT_EQ(Expand(both, static_cast<uint32_t>(both.size() - secondBlock.size()), &output),
            BlockResult::Ok);
  EXPECT_EQ(output, second);
}

std::string_view AsText(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Memory in and out makes the same block as files do, appended after what
// the sink held, and expands it back, on both sides of the dictionary switch.
TEST_F(CompressedBlockTest, InMemoryBlocksAreTheFilesByteForByte) {
  for (const size_t length : {size_t{9}, size_t{4096}, size_t{4097}, size_t{30000}}) {
    const Bytes data = EnglishLikeText(length);
    platform::MemorySource in(AsText(data));
    platform::MemorySink out;
    out.Write("head", 4);
    ASSERT_EQ(block_.Compress(in, static_cast<uint32_t>(length), out), BlockResult::Ok) << length;
    const Bytes fromFiles = Block(data);
    EXPECT_EQ(out.bytes().substr(4), AsText(fromFiles)) << length;

    platform::MemorySource packed(AsText(fromFiles));
    platform::MemorySink expanded;
    EXPECT_EQ(block_.Expand(packed, expanded), BlockResult::Ok) << length;
    EXPECT_EQ(expanded.bytes(), AsText(data)) << length;
    EXPECT_TRUE(block_.CrcMatchesHeader()) << length;
  }
}

// Any sink's failure is the file's: shown once with the sink's words, and
// the block fails.
TEST_F(CompressedBlockTest, AFailingSinkIsShownOnceAndFailsTheBlock) {
  const Bytes block = Block(EnglishLikeText(400000));
  platform::ScriptedPrompter prompter;
  const platform::PrompterScope scripted(&prompter);
  platform::MemorySource in(AsText(block));
  build::FailingSink full(10000);
  EXPECT_EQ(block_.Expand(in, full), BlockResult::DataError);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "the sink is full");
}

}  // namespace
}  // namespace exqrv::codec::testing
