// The container's records read from and written back to known byte images:
// every field at its offset, little-endian, nothing else touched.
#include <gtest/gtest.h>

#include <string>

#include "container/container.h"

namespace exqrv {
namespace {

const uint8_t* Bytes(const std::string& image) {
  return reinterpret_cast<const uint8_t*>(image.data());
}

TEST(Container, DocumentHeaderRoundTrips) {
  const std::string image("Qlrd\x34\x12\x03\x00", kDocumentHeaderSize);
  const DocumentHeader header = DocumentHeader::Parse(Bytes(image));
  EXPECT_TRUE(header.HasMagic());
  EXPECT_EQ(header.reserved, 0x1234);
  EXPECT_EQ(header.chunkCount, 3);
  std::string written(kDocumentHeaderSize, '\xEE');
  header.Serialize(reinterpret_cast<uint8_t*>(written.data()));
  EXPECT_EQ(written, image);
  EXPECT_EQ(DocumentHeader::For(3, 0x1234).magic, header.magic);

  EXPECT_FALSE(DocumentHeader::Parse(Bytes(std::string("Qlrx\0\0\0\0", 8))).HasMagic());
}

TEST(Container, ChunkEntryRoundTrips) {
  const std::string image("pape\x01\x00\x00\x00\x78\x56\x34\x12\xFF\xFF\xFF\xFF",
                          kDirectoryEntrySize);
  const ChunkEntry entry = ChunkEntry::Parse(Bytes(image));
  EXPECT_TRUE(entry.HasTag("pape"));
  EXPECT_FALSE(entry.HasTag("pap\0"));
  EXPECT_EQ(entry.compressed, 1u);
  EXPECT_EQ(entry.offset, 0x12345678u);
  EXPECT_EQ(entry.length, 0xFFFFFFFFu);
  std::string written(kDirectoryEntrySize, '\xEE');
  entry.Serialize(reinterpret_cast<uint8_t*>(written.data()));
  EXPECT_EQ(written, image);

  const ChunkEntry made = ChunkEntry::Make("pape", 1, 0x12345678u, 0xFFFFFFFFu);
  EXPECT_EQ(made.tag, entry.tag);
  // Short tags are padded with NULs, long ones cut to four characters.
  EXPECT_EQ(std::string(ChunkEntry::Make("ab", 0, 0, 0).tag.data(), kChunkTagSize),
            std::string("ab\0\0", 4));
  EXPECT_TRUE(ChunkEntry::Make("indxe", 0, 0, 0).HasTag("indx"));
}

TEST(Container, PageEntryRoundTrips) {
  std::string image;
  for (uint32_t i = 0; i < kPageEntrySize; ++i) image.push_back(static_cast<char>(0xA0 + i));
  const PageEntry entry = PageEntry::Parse(Bytes(image));
  EXPECT_EQ(entry.leading[0], 0xA0);
  EXPECT_EQ(entry.leading[9], 0xA9);
  EXPECT_EQ(entry.contentOffset, 0xADACABAAu);
  EXPECT_EQ(entry.contentLength, 0xB1B0AFAEu);
  EXPECT_EQ(entry.trailing[0], 0xB2);
  EXPECT_EQ(entry.trailing[7], 0xB9);
  std::string written(kPageEntrySize, '\xEE');
  entry.Serialize(reinterpret_cast<uint8_t*>(written.data()));
  EXPECT_EQ(written, image);
}

}  // namespace
}  // namespace exqrv
