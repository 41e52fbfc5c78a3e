// Reading a document's header and chunk directory from a file, and the rules
// by which each chunk's entry is found. Every reader of a directory goes
// through here, so that which entry wins and what a cut-short file means are
// written once. The readers keep the exact reads and seeks of the code they
// replaced: the tests and the fuzzers on damaged documents rely on them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "container/container.h"

namespace exqrv {

namespace platform {
class File;
}

// What a walk makes of a header or an entry that the file cuts short.
enum class CutShort {
  // The walk ends there, and the cut entry is not given (its caller may still
  // copy the bytes that came, lastRead()).
  EndsWalk,
  // The missing bytes read as zeros and the entry is given; only an entry of
  // which not one byte is left ends the walk.
  ReadsAsZeros,
};

// Which of several entries with one tag a finder takes.
enum class TagMatch { First, Last };

// Walks a directory in a file: Start reads the header at offset 0, then Next
// reads the entries one by one at the file's position, as many as the header
// announces.
class DirectoryReader {
 public:
  DirectoryReader(platform::File& file, CutShort cutShort) : file_(file), cutShort_(cutShort) {}

  // Seeks to the start and reads the header; false when the file cuts it
  // short. The header's missing bytes read as zeros either way.
  bool Start();
  const DocumentHeader& header() const { return header_; }
  // The next entry, or nullopt after the last one the header announces or
  // where the file ends (see CutShort).
  std::optional<ChunkEntry> Next();
  // True when the file ended the walk before the header's count did.
  bool CutShortByFile() const { return cutShortByFile_; }
  // The bytes the last read of the header or an entry delivered.
  std::span<const uint8_t> lastRead() const { return {lastBytes_.data(), lastDelivered_}; }

 private:
  platform::File& file_;
  CutShort cutShort_;
  DocumentHeader header_;
  uint32_t entriesRead_ = 0;
  bool cutShortByFile_ = false;
  std::array<uint8_t, kDirectoryEntrySize> lastBytes_{};
  uint32_t lastDelivered_ = 0;
};

// Reads count entries in one read at the file's position; false (and out
// untouched) when the file holds fewer.
bool ReadDirectoryEntries(platform::File& file, uint16_t count, std::vector<ChunkEntry>& out);

// The whole entries among the bytes that follow a header; bytes may end
// inside an entry, which is then left out.
std::vector<ChunkEntry> ParseDirectoryEntries(std::span<const uint8_t> bytes, uint16_t count);

// The first or the last entry with this tag, all four bytes compared.
std::optional<ChunkEntry> FindEntry(std::span<const ChunkEntry> directory,
                                    const char (&tag)[kChunkTagSize + 1], TagMatch which);
// Walks the directory from the file's start (the position is left where the
// walk ended) for the first or the last entry with this tag.
std::optional<ChunkEntry> FindEntry(platform::File& file, const char (&tag)[kChunkTagSize + 1],
                                    TagMatch which, CutShort cutShort);
// The index of the first entry whose tag, taken as a string that ends at its
// first NUL, is name ("na" finds a stored "na\0\0").
std::optional<size_t> FindNamedEntry(std::span<const ChunkEntry> directory, std::string_view name);

// The rules for the chunks the system reads, each as it has always been:
//
// "pape": the first entry. Its compressed flag decides whether a working
// copy is made; the page table itself is found by name (FindNamedEntry), as
// is "name".
std::optional<ChunkEntry> FindPageTableEntry(platform::File& file);
// "stru", "font" and "pape" are expanded into a working copy, every entry
// with one of those tags, whatever its own compressed flag says.
bool IsExpandedIntoWorkingCopy(const ChunkEntry& entry);
// "indx": the first entry decides, and it is the annotation store only when
// both its offset and its length are nonzero; a later "indx" entry is never
// looked at. From a directory already read, or walked in the file with
// missing bytes as zeros.
std::optional<ChunkEntry> FindAnnotationStore(std::span<const ChunkEntry> directory);
std::optional<ChunkEntry> FindAnnotationStore(platform::File& file);
// "thum": the last entry wins, and it is a thumbnail table only when both its
// offset and its length are nonzero (its length says no more than that).
std::optional<ChunkEntry> FindThumbnailTable(platform::File& file);

}  // namespace exqrv
