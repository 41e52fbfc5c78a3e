// The least a conversion of a compressed document can do: each page's block
// exploded into a working copy, the text of the page read back from it and
// written to the text file, and the working copy removed. No notes, no name
// table, no other chunk, no temporary folder or hidden name of its own, no
// checks beyond what the walk needs. A conversion's cost above this is what
// can still be taken away; the benchmark and the `conversion_floor` program
// measure both sides on the same document.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "codec/compressed_block.h"
#include "container/chunk_directory.h"
#include "container/container.h"
#include "platform/byte_stream.h"
#include "platform/file.h"
#include "platform/little_endian.h"

namespace exqrv::bench {

// The stored page table of a document whose page table is a compressed
// block; empty when it has none.
inline std::vector<PageEntry> StoredPageTable(platform::File& document) {
  const std::optional<ChunkEntry> pages = FindPageTableEntry(document);
  if (!pages || pages->compressed == 0) return {};
  document.Seek(pages->offset, platform::SeekOrigin::Begin);
  platform::MemorySink table;
  codec::CompressedBlock block;
  if (block.Expand(document, table) != codec::BlockResult::Ok) return {};
  const auto* bytes = reinterpret_cast<const uint8_t*>(table.bytes().data());
  const size_t size = table.bytes().size();
  if (size < kPageCountSize) return {};
  std::vector<PageEntry> entries(ReadLe16(bytes));
  if (size < kPageCountSize + entries.size() * kPageEntrySize) return {};
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i] = PageEntry::Parse(bytes + kPageCountSize + i * kPageEntrySize);
  }
  return entries;
}

// The characters of a page's text runs, from the working copy's position to
// the page's end, to text. Pages made from text files hold text runs of
// plain items and an end, nothing else; anything else ends the walk.
inline void WritePageText(platform::File& copy, int64_t end, platform::File& text) {
  constexpr uint32_t kItemHeaderSize = 7;
  constexpr uint32_t kItemCountOffset = 4;
  std::vector<uint8_t> characters;
  while (copy.Position() + 4 <= end) {
    uint8_t command[4];
    copy.Read(command, 2);
    if (command[0] != 'E' || command[1] != 'T' || copy.Read(command + 2, 2) < 2) return;
    const uint32_t total = ReadLe16(command + 2);
    for (uint32_t counted = 0; counted < total;) {
      uint8_t header[kItemHeaderSize];
      if (copy.Read(header, kItemHeaderSize) < kItemHeaderSize) return;
      const uint16_t n = ReadLe16(header + kItemCountOffset);
      if (const uint8_t* inPlace = copy.ReadInPlace(n)) {
        text.Write(inPlace, n);
      } else {
        characters.resize(n);
        text.Write(characters.data(), copy.Read(characters.data(), n));
      }
      counted += kItemHeaderSize + n;
    }
  }
}

// Converts documentPath's pages into textPath through a working copy at
// copyPath. False when the document has no compressed page table, a page
// does not expand, or a file cannot be made or written.
inline bool ConvertAtFloor(const std::string& documentPath, const std::string& copyPath,
                           const std::string& textPath) {
  platform::File document;
  platform::File copy;
  platform::File text;
  if (!document.Open(documentPath, platform::OpenMode::Read)) return false;
  const std::vector<PageEntry> pages = StoredPageTable(document);
  if (pages.empty() || !copy.Open(copyPath, platform::OpenMode::ReadWrite)) return false;
  bool whole = text.Open(textPath, platform::OpenMode::Write);
  codec::CompressedBlock block;
  for (const PageEntry& page : pages) {
    if (!whole) break;
    const int64_t start = copy.Seek(0, platform::SeekOrigin::End);
    whole = block.Run(document, page.contentOffset, static_cast<int32_t>(page.contentLength), copy,
                      static_cast<uint32_t>(start), codec::BlockMode::Expand,
                      nullptr) == codec::BlockResult::Ok;
    const int64_t end = copy.Seek(0, platform::SeekOrigin::End);
    copy.Seek(start, platform::SeekOrigin::Begin);
    WritePageText(copy, end, text);
  }
  whole = text.Close() && whole;
  copy.Close();
  std::remove(copyPath.c_str());
  return whole;
}

}  // namespace exqrv::bench
