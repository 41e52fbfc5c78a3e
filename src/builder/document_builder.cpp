#include "builder/document_builder.h"

#include <algorithm>

#include "codec/compressed_block.h"
#include "container/chunk_directory.h"
#include "platform/file.h"
#include "platform/little_endian.h"
#include "platform/platform.h"

namespace exqrv::build {
namespace {

// The version field of the documents we write.
constexpr uint16_t kHeaderReserved = 1;

struct Chunk {
  std::string tag;
  std::string data;  // as stored (a block when compressed)
  bool compressed = false;
};

// Font and structure chunks are carried along unread; any bytes do.
const char kFontData[] = "font: Serif 10";
const char kStructureData[] = "structure";

// No name records; the header must be present all the same.
std::string NameTable() { return std::string(kNameTableHeaderSize, '\0'); }

std::string PageTable(const std::vector<PageEntry>& entries) {
  std::string table(kPageCountSize + kPageEntrySize * entries.size(), '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(table.data());
  WriteLe16(bytes, static_cast<uint16_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i].Serialize(bytes + kPageCountSize + kPageEntrySize * i);
  }
  return table;
}

}  // namespace

PageStream& PageStream::Code(std::string_view twoLetters) {
  bytes_.append(twoLetters.substr(0, 2));
  return *this;
}

PageStream& PageStream::U8(uint8_t value) {
  bytes_.push_back(static_cast<char>(value));
  return *this;
}

PageStream& PageStream::U16(uint16_t value) {
  AppendLe16(bytes_, value);
  return *this;
}

PageStream& PageStream::U32(uint32_t value) {
  AppendLe32(bytes_, value);
  return *this;
}

PageStream& PageStream::Bytes(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}

std::string PageStream::Item(std::string_view chars, uint8_t flags) {
  std::string item = "\x01\x02\x03\x04";
  AppendLe16(item, static_cast<uint16_t>(chars.size()));
  item.push_back(static_cast<char>(flags));
  item.append(chars);
  if (flags & 0x01) item.append(8, '\x08');
  if (flags & 0x02) item.append(2 * chars.size(), '\x16');
  return item;
}

PageStream& PageStream::TextRun(const std::vector<std::string>& items, std::string_view code) {
  size_t total = 0;
  for (const std::string& item : items) total += item.size();
  return TextRunWithTotal(static_cast<uint16_t>(total), items, code);
}

PageStream& PageStream::TextRunWithTotal(uint16_t total, const std::vector<std::string>& items,
                                         std::string_view code) {
  Code(code).U16(total);
  for (const std::string& item : items) bytes_.append(item);
  return *this;
}

PageStream& PageStream::End() { return Code("CT"); }

std::string TextPage(const std::vector<std::string>& runs) {
  // An item carries at most 65535 characters and a run's total is 16 bits, so
  // long texts become several items and runs.
  constexpr size_t kItemChars = 4000;
  constexpr size_t kRunBytes = 60000;
  PageStream stream;
  for (const std::string& run : runs) {
    std::vector<std::string> items;
    size_t size = 0;
    size_t at = 0;
    do {
      const size_t take = std::min(run.size() - at, kItemChars);
      items.push_back(PageStream::Item(std::string_view(run).substr(at, take)));
      size += items.back().size();
      at += take;
      if (size > kRunBytes) {
        stream.TextRun(items);
        items.clear();
        size = 0;
      }
    } while (at < run.size());
    if (!items.empty()) stream.TextRun(items);
  }
  return stream.End().bytes();
}

// In memory from end to end: a document of tens of thousands of pages
// makes as many blocks.
std::string CompressBlock(std::string_view data) {
  platform::MemorySource in(data);
  platform::MemorySink out;
  codec::CompressedBlock compressor;
  compressor.Compress(in, static_cast<uint32_t>(data.size()), out);
  return out.Take();
}

namespace {

size_t ChunkCount(const DocumentRecipe& recipe) {
  const size_t store = !recipe.notes.empty() || recipe.compressNotes ? 1 : 0;
  return 4 + store + recipe.extraChunks.size();  // pape, name, font, stru, then these
}

// The directory ends where the pages begin.
uint32_t DirectoryEnd(const DocumentRecipe& recipe) {
  return kDocumentHeaderSize + kDirectoryEntrySize * static_cast<uint32_t>(ChunkCount(recipe));
}

std::string StoredPage(const DocumentRecipe& recipe, const std::string& page) {
  return recipe.compress ? CompressBlock(page) : page;
}

}  // namespace

uint32_t PageContentOffset(const DocumentRecipe& recipe, size_t page) {
  uint32_t offset = DirectoryEnd(recipe);
  for (size_t i = 0; i + 1 < page; ++i) {
    offset += static_cast<uint32_t>(StoredPage(recipe, recipe.pages[i]).size());
  }
  return offset;
}

std::string BuildDocument(const DocumentRecipe& recipe) {
  std::vector<Chunk> chunks;
  chunks.push_back({kPageTableTag, {}, recipe.compress});  // filled once the pages are placed
  chunks.push_back({kNameTableTag, NameTable(), false});
  chunks.push_back({kFontTag, kFontData, recipe.compress});
  chunks.push_back({kStructureTag, kStructureData, recipe.compress});
  if (!recipe.notes.empty() || recipe.compressNotes) {
    chunks.push_back(
        {kAnnotationStoreTag, BuildAnnotationStore(recipe.notes), recipe.compressNotes});
  }
  for (const ExtraChunk& extra : recipe.extraChunks) {
    chunks.push_back({extra.tag, extra.data, extra.compressed});
  }
  for (Chunk& chunk : chunks) {
    if (chunk.compressed && chunk.tag != kPageTableTag) chunk.data = CompressBlock(chunk.data);
  }

  // Layout: header, directory, the pages, then the chunks.
  const uint32_t directoryEnd = DirectoryEnd(recipe);
  std::string pages;
  std::vector<PageEntry> pageEntries;
  for (const std::string& page : recipe.pages) {
    const std::string stored = StoredPage(recipe, page);
    PageEntry entry;
    entry.contentOffset = directoryEnd + static_cast<uint32_t>(pages.size());
    entry.contentLength = static_cast<uint32_t>(stored.size());
    pageEntries.push_back(entry);
    pages += stored;
  }
  if (!pageEntries.empty()) {
    pageEntries.insert(pageEntries.end(), recipe.pagesOnFirstContent, pageEntries.front());
  }
  const std::string table = PageTable(pageEntries);
  chunks[0].data = recipe.compress ? CompressBlock(table) : table;

  std::vector<ChunkEntry> entries;
  uint32_t offset = directoryEnd + static_cast<uint32_t>(pages.size());
  for (const Chunk& chunk : chunks) {
    const uint32_t length = static_cast<uint32_t>(chunk.data.size());
    entries.push_back(ChunkEntry::Make(chunk.tag, chunk.compressed ? 1 : 0, offset, length));
    offset += length;
  }
  std::string document = ContainerHead(
      DocumentHeader::For(static_cast<uint16_t>(chunks.size()), kHeaderReserved), entries);
  document += pages;
  for (const Chunk& chunk : chunks) document += chunk.data;
  return document;
}

std::string ContainerHead(const DocumentHeader& header, const std::vector<ChunkEntry>& entries) {
  std::string head(kDocumentHeaderSize + kDirectoryEntrySize * entries.size(), '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(head.data());
  header.Serialize(bytes);
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i].Serialize(bytes + kDocumentHeaderSize + kDirectoryEntrySize * i);
  }
  return head;
}

ChunkEntry FindChunkEntry(std::string_view document, const char (&tag)[kChunkTagSize + 1]) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(document.data());
  if (document.size() < kDocumentHeaderSize) return {};
  const std::vector<ChunkEntry> directory =
      ParseDirectoryEntries(std::span(bytes, document.size()).subspan(kDocumentHeaderSize),
                            DocumentHeader::Parse(bytes).chunkCount);
  return FindEntry(directory, tag, TagMatch::First).value_or(ChunkEntry{});
}

void SetPageContentOffset(std::string& document, uint16_t page, uint32_t contentOffset) {
  const size_t at =
      FindChunkEntry(document, kPageTableTag).offset + kPageCountSize + kPageEntrySize * (page - 1);
  auto* bytes = reinterpret_cast<uint8_t*>(document.data() + at);
  PageEntry entry = PageEntry::Parse(bytes);
  entry.contentOffset = contentOffset;
  entry.Serialize(bytes);
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
  platform::File file;
  return file.Open(path, platform::OpenMode::Write) &&
         file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())) && file.Close();
}

std::string ReadFileBytes(const std::string& path) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Read)) return {};
  std::string bytes(static_cast<size_t>(file.Size()), '\0');
  bytes.resize(file.Read(bytes.data(), static_cast<uint32_t>(bytes.size())));
  return bytes;
}

}  // namespace exqrv::build
