#include "container/container.h"

#include <cstring>

#include "platform/little_endian.h"

namespace exqrv {
namespace {

constexpr uint32_t kReservedOffset = 4;
constexpr uint32_t kChunkCountOffset = 6;

constexpr uint32_t kCompressedOffset = 4;
constexpr uint32_t kChunkOffsetOffset = 8;
constexpr uint32_t kChunkLengthOffset = 12;

constexpr uint32_t kContentOffsetOffset = 10;
constexpr uint32_t kContentLengthOffset = 14;
constexpr uint32_t kTrailingOffset = 18;
static_assert(kTrailingOffset + sizeof(PageEntry::trailing) == kPageEntrySize);

}  // namespace

DocumentHeader DocumentHeader::Parse(const uint8_t* bytes) {
  DocumentHeader header;
  std::memcpy(header.magic.data(), bytes, header.magic.size());
  header.reserved = ReadLe16(bytes + kReservedOffset);
  header.chunkCount = ReadLe16(bytes + kChunkCountOffset);
  return header;
}

DocumentHeader DocumentHeader::For(uint16_t chunkCount, uint16_t reserved) {
  DocumentHeader header;
  std::memcpy(header.magic.data(), kDocumentMagic, sizeof kDocumentMagic);
  header.reserved = reserved;
  header.chunkCount = chunkCount;
  return header;
}

void DocumentHeader::Serialize(uint8_t* bytes) const {
  std::memcpy(bytes, magic.data(), magic.size());
  WriteLe16(bytes + kReservedOffset, reserved);
  WriteLe16(bytes + kChunkCountOffset, chunkCount);
}

bool DocumentHeader::HasMagic() const {
  return std::memcmp(magic.data(), kDocumentMagic, sizeof kDocumentMagic) == 0;
}

ChunkEntry ChunkEntry::Parse(const uint8_t* bytes) {
  ChunkEntry entry;
  std::memcpy(entry.tag.data(), bytes, kChunkTagSize);
  entry.compressed = ReadLe32(bytes + kCompressedOffset);
  entry.offset = ReadLe32(bytes + kChunkOffsetOffset);
  entry.length = ReadLe32(bytes + kChunkLengthOffset);
  return entry;
}

ChunkEntry ChunkEntry::Make(std::string_view tag, uint32_t compressed, uint32_t offset,
                            uint32_t length) {
  ChunkEntry entry{{}, compressed, offset, length};
  tag.substr(0, kChunkTagSize).copy(entry.tag.data(), kChunkTagSize);
  return entry;
}

void ChunkEntry::Serialize(uint8_t* bytes) const {
  std::memcpy(bytes, tag.data(), kChunkTagSize);
  WriteLe32(bytes + kCompressedOffset, compressed);
  WriteLe32(bytes + kChunkOffsetOffset, offset);
  WriteLe32(bytes + kChunkLengthOffset, length);
}

bool ChunkEntry::HasTag(const char (&wanted)[kChunkTagSize + 1]) const {
  return std::memcmp(tag.data(), wanted, kChunkTagSize) == 0;
}

PageEntry PageEntry::Parse(const uint8_t* bytes) {
  PageEntry entry;
  std::memcpy(entry.leading.data(), bytes, entry.leading.size());
  entry.contentOffset = ReadLe32(bytes + kContentOffsetOffset);
  entry.contentLength = ReadLe32(bytes + kContentLengthOffset);
  std::memcpy(entry.trailing.data(), bytes + kTrailingOffset, entry.trailing.size());
  return entry;
}

void PageEntry::Serialize(uint8_t* bytes) const {
  std::memcpy(bytes, leading.data(), leading.size());
  WriteLe32(bytes + kContentOffsetOffset, contentOffset);
  WriteLe32(bytes + kContentLengthOffset, contentLength);
  std::memcpy(bytes + kTrailingOffset, trailing.data(), trailing.size());
}

}  // namespace exqrv
