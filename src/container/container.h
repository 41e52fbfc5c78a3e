// The container's byte layout: the 8-byte document header, the 16-byte chunk
// directory entries that follow it, and the entries of the page and name
// tables. These are the only parsers and writers of those bytes; reading the
// directory from a file, and which entry a tag finds, is chunk_directory.h.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace exqrv {

inline constexpr char kDocumentMagic[4] = {'Q', 'l', 'r', 'd'};
inline constexpr uint32_t kDocumentHeaderSize = 8;
inline constexpr uint32_t kDirectoryEntrySize = 16;
inline constexpr uint32_t kChunkTagSize = 4;

// The chunk tags the system reads; other tags are carried along unread.
inline constexpr char kPageTableTag[] = "pape";
inline constexpr char kNameTableTag[] = "name";
inline constexpr char kFontTag[] = "font";
inline constexpr char kStructureTag[] = "stru";
inline constexpr char kAnnotationStoreTag[] = "indx";
inline constexpr char kThumbnailTag[] = "thum";

// magic[4], reserved (16 bits), chunkCount (16 bits).
struct DocumentHeader {
  std::array<uint8_t, 4> magic{};
  uint16_t reserved = 0;
  uint16_t chunkCount = 0;  // N, the directory entries that follow

  static DocumentHeader Parse(const uint8_t* bytes);
  // A header with the document magic.
  static DocumentHeader For(uint16_t chunkCount, uint16_t reserved = 0);
  void Serialize(uint8_t* bytes) const;
  bool HasMagic() const;
};

// tag[4], compressed (32 bits), offset (32 bits), length (32 bits).
struct ChunkEntry {
  std::array<char, kChunkTagSize> tag{};
  uint32_t compressed = 0;
  uint32_t offset = 0;
  uint32_t length = 0;

  static ChunkEntry Parse(const uint8_t* bytes);
  // An entry whose tag is the first four characters of tag, NUL-padded.
  static ChunkEntry Make(std::string_view tag, uint32_t compressed, uint32_t offset,
                         uint32_t length);
  void Serialize(uint8_t* bytes) const;
  bool HasTag(const char (&wanted)[kChunkTagSize + 1]) const;  // all four bytes compared
};

// A page table ("pape") is a 16-bit page count and then one 26-byte entry per
// page: 10 bytes carried along, the content's offset and length, 8 more bytes.
inline constexpr uint32_t kPageCountSize = 2;
inline constexpr uint32_t kPageEntrySize = 26;

struct PageEntry {
  std::array<uint8_t, 10> leading{};
  uint32_t contentOffset = 0;
  uint32_t contentLength = 0;
  std::array<uint8_t, 8> trailing{};

  static PageEntry Parse(const uint8_t* bytes);
  void Serialize(uint8_t* bytes) const;
};

// A name table ("name") has an 8-byte header whose second 16-bit field counts
// the 10-byte records. The records are read from offset 4, inside the header.
inline constexpr uint32_t kNameTableHeaderSize = 8;
inline constexpr uint32_t kNameCountOffset = 2;
inline constexpr uint32_t kNameRecordsOffset = 4;
inline constexpr uint32_t kNameRecordSize = 10;

}  // namespace exqrv
