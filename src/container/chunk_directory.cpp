#include "container/chunk_directory.h"

#include <algorithm>
#include <cstring>

#include "platform/file.h"

namespace exqrv {
namespace {

// An entry names chunk data only with both an offset (0 is the header's)
// and a length.
bool HasOffsetAndLength(const ChunkEntry& entry) { return entry.offset != 0 && entry.length != 0; }

std::optional<ChunkEntry> IfItHoldsData(std::optional<ChunkEntry> entry) {
  if (entry && !HasOffsetAndLength(*entry)) return std::nullopt;
  return entry;
}

}  // namespace

bool DirectoryReader::Start() {
  lastBytes_ = {};
  file_.Seek(0, platform::SeekOrigin::Begin);
  lastDelivered_ = file_.Read(lastBytes_.data(), kDocumentHeaderSize);
  header_ = DocumentHeader::Parse(lastBytes_.data());
  return lastDelivered_ == kDocumentHeaderSize;
}

std::optional<ChunkEntry> DirectoryReader::Next() {
  if (cutShortByFile_ || entriesRead_ >= header_.chunkCount) return std::nullopt;
  lastBytes_ = {};
  lastDelivered_ = file_.Read(lastBytes_.data(), kDirectoryEntrySize);
  const bool ends =
      cutShort_ == CutShort::EndsWalk ? lastDelivered_ < kDirectoryEntrySize : lastDelivered_ == 0;
  if (ends) {
    cutShortByFile_ = true;
    return std::nullopt;
  }
  ++entriesRead_;
  return ChunkEntry::Parse(lastBytes_.data());
}

bool ReadDirectoryEntries(platform::File& file, uint16_t count, std::vector<ChunkEntry>& out) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * kDirectoryEntrySize);
  if (file.Read(bytes.data(), static_cast<uint32_t>(bytes.size())) < bytes.size()) return false;
  out = ParseDirectoryEntries(bytes, count);
  return true;
}

std::vector<ChunkEntry> ParseDirectoryEntries(std::span<const uint8_t> bytes, uint16_t count) {
  std::vector<ChunkEntry> entries;
  entries.reserve(std::min<size_t>(count, bytes.size() / kDirectoryEntrySize));
  for (size_t i = 0; i < count && (i + 1) * kDirectoryEntrySize <= bytes.size(); ++i) {
    entries.push_back(ChunkEntry::Parse(bytes.data() + i * kDirectoryEntrySize));
  }
  return entries;
}

std::optional<ChunkEntry> FindEntry(std::span<const ChunkEntry> directory,
                                    const char (&tag)[kChunkTagSize + 1], TagMatch which) {
  std::optional<ChunkEntry> found;
  for (const ChunkEntry& entry : directory) {
    if (!entry.HasTag(tag)) continue;
    found = entry;
    if (which == TagMatch::First) break;
  }
  return found;
}

std::optional<ChunkEntry> FindEntry(platform::File& file, const char (&tag)[kChunkTagSize + 1],
                                    TagMatch which, CutShort cutShort) {
  DirectoryReader reader(file, cutShort);
  if (!reader.Start() && cutShort == CutShort::EndsWalk) return std::nullopt;
  std::optional<ChunkEntry> found;
  while (const std::optional<ChunkEntry> entry = reader.Next()) {
    if (!entry->HasTag(tag)) continue;
    found = entry;
    if (which == TagMatch::First) break;
  }
  return found;
}

std::optional<size_t> FindNamedEntry(std::span<const ChunkEntry> directory, std::string_view name) {
  for (size_t i = 0; i < directory.size(); ++i) {
    const std::array<char, kChunkTagSize>& tag = directory[i].tag;
    if (std::string_view(tag.data(), strnlen(tag.data(), kChunkTagSize)) == name) return i;
  }
  return std::nullopt;
}

std::optional<ChunkEntry> FindPageTableEntry(platform::File& file) {
  return FindEntry(file, kPageTableTag, TagMatch::First, CutShort::EndsWalk);
}

bool IsExpandedIntoWorkingCopy(const ChunkEntry& entry) {
  return entry.HasTag(kStructureTag) || entry.HasTag(kFontTag) || entry.HasTag(kPageTableTag);
}

std::optional<ChunkEntry> FindAnnotationStore(std::span<const ChunkEntry> directory) {
  return IfItHoldsData(FindEntry(directory, kAnnotationStoreTag, TagMatch::First));
}

std::optional<ChunkEntry> FindAnnotationStore(platform::File& file) {
  return IfItHoldsData(
      FindEntry(file, kAnnotationStoreTag, TagMatch::First, CutShort::ReadsAsZeros));
}

std::optional<ChunkEntry> FindThumbnailTable(platform::File& file) {
  return IfItHoldsData(FindEntry(file, kThumbnailTag, TagMatch::Last, CutShort::ReadsAsZeros));
}

}  // namespace exqrv
