// The container: header, chunk directory, and the working copy into which a
// document with a compressed page table is expanded.
#include "document/document.h"

#include <algorithm>
#include <cstring>

#include "codec/compressed_block.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kWorkingCopyPrefix[] = "tst";

platform::Platform& System() { return platform::CurrentPlatform(); }

bool IsExpandedAtOpen(const ChunkEntry& entry) {
  return entry.HasTag("stru") || entry.HasTag("font") || entry.HasTag("pape");
}

}  // namespace

Document::Document() { pageBlock_.SetBudget(&budget_); }

Document::~Document() {
  Close();
  if (!workingCopyName_.empty()) System().DeleteFile(workingCopyName_);
}

OpenResult Document::Open(const std::string& path) {
  temporaryFault_ = platform::TemporaryFault::None;
  ReserveWorkingCopyName();
  if (!file_.Open(path, platform::OpenMode::Read) && !file_.Open(path, platform::OpenMode::Read)) {
    return OpenResult::FileError;
  }
  if (!VerifyMagic()) return OpenResult::FormatError;
  path_ = path;
  budget_ = codec::ExpansionBudget(
      expansionLimit_.value_or(codec::DefaultExpansionLimit(static_cast<uint64_t>(
          std::max<int64_t>(file_.Size(), 0)))));
  if (IsPageTableCompressed()) {
    const OpenResult made = MakeWorkingCopy();
    if (made != OpenResult::Opened) return made;
  } else {
    file_.Close();
    if (!file_.Open(path, platform::OpenMode::Read)) return OpenResult::FileError;
    hasWorkingCopy_ = 0;
  }
  if (!ReadDirectory() || !ReadPageTable() || !ReadNameTable()) {
    file_.Close();
    return OpenResult::FileError;
  }
  return OpenResult::Opened;
}

bool Document::ReserveWorkingCopyName() {
  workingCopyName_ = platform::ReserveTemporaryName(kWorkingCopyPrefix);
  return !workingCopyName_.empty();
}

bool Document::CreateWorkingCopyFile() {
  if (!workingCopyName_.empty()) {
    workingCopyName_.back() = '$';
    if (file_.Open(workingCopyName_, platform::OpenMode::ReadWrite)) return true;
  }
  const std::string directory = System().TempDirectory();
  if (directory.empty()) return false;
  const unsigned number = static_cast<unsigned>(System().Random());
  workingCopyName_ = System().UniqueTempName(directory, kWorkingCopyPrefix, number);
  return !workingCopyName_.empty() &&
         file_.Open(workingCopyName_, platform::OpenMode::ReadWrite);
}

OpenResult Document::MakeWorkingCopy() {
  file_.Close();
  if (!CreateWorkingCopyFile()) {
    temporaryFault_ = platform::TemporaryFault::NotMade;
    return OpenResult::FileError;
  }
  platform::File source;
  if (!source.Open(path_, platform::OpenMode::Read)) return OpenResult::FileError;
  const std::vector<ChunkEntry> entries = CopyHeaderAndDirectory(source);
  const OpenResult expanded = ExpandChunks(source, entries);
  if (expanded != OpenResult::Opened) return expanded;
  // The header and directory went through the buffer: a full device may
  // only show now.
  if (!file_.Flush()) return WorkingCopyFailure();
  hasWorkingCopy_ = 1;
  return OpenResult::Opened;
}

// The header and the directory go over as they are. Returns the entries
// copied whole, in directory order.
std::vector<ChunkEntry> Document::CopyHeaderAndDirectory(platform::File& source) {
  uint8_t header[kDocumentHeaderSize] = {};
  source.Seek(0, platform::SeekOrigin::Begin);
  file_.Seek(0, platform::SeekOrigin::Begin);
  const uint32_t got = source.Read(header, kDocumentHeaderSize);
  file_.Write(header, got);
  budget_.Take(got);
  const uint16_t count = DocumentHeader::Parse(header).chunkCount;
  std::vector<ChunkEntry> entries;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t bytes[kDirectoryEntrySize];
    const uint32_t entryGot = source.Read(bytes, kDirectoryEntrySize);
    file_.Write(bytes, entryGot);
    budget_.Take(entryGot);
    if (entryGot < kDirectoryEntrySize) break;
    entries.push_back(ChunkEntry::Parse(bytes));
  }
  return entries;
}

// Appends every "stru", "font" and "pape" chunk to the working copy, in
// directory order, and points the first entry of its tag at it. Tags never
// change and only the last chunk of a tag decides where its first entry
// points, so the entries are written once, at the end: a directory of tens
// of thousands of such entries costs one pass, not one walk per chunk.
OpenResult Document::ExpandChunks(platform::File& source, const std::vector<ChunkEntry>& entries) {
  std::map<std::array<char, kChunkTagSize>, uint32_t> firstOfTag;
  for (uint32_t i = 0; i < entries.size(); ++i) firstOfTag.emplace(entries[i].tag, i);
  std::map<uint32_t, ChunkEntry> rewritten;  // by directory index

  codec::CompressedBlock block;
  block.SetBudget(&budget_);
  for (const ChunkEntry& entry : entries) {
    if (!IsExpandedAtOpen(entry)) continue;
    const int64_t start = file_.Seek(0, platform::SeekOrigin::End);
    if (start < 0 || start > UINT32_MAX) {
      budget_.MarkExceeded();
      return OpenResult::FormatError;
    }
    const codec::BlockResult result =
        block.Run(source, entry.offset, static_cast<int32_t>(entry.length), file_,
                  static_cast<uint32_t>(start), codec::BlockMode::Expand, nullptr);
    if (result != codec::BlockResult::Ok) return WorkingCopyFailure();
    const int64_t end = file_.Seek(0, platform::SeekOrigin::End);
    if (end < start || end > UINT32_MAX) {
      budget_.MarkExceeded();
      return OpenResult::FormatError;
    }
    ChunkEntry& expanded = rewritten[firstOfTag.at(entry.tag)];
    expanded = entry;
    expanded.compressed = 0;
    expanded.offset = static_cast<uint32_t>(start);
    expanded.length = static_cast<uint32_t>(end - start);
  }
  for (const auto& [index, entry] : rewritten) RewriteWorkingCopyEntry(index, entry);
  return OpenResult::Opened;
}

// A chunk that does not expand is a damaged document, unless the working
// copy could not take its bytes.
OpenResult Document::WorkingCopyFailure() {
  if (!file_.WriteFailed()) return OpenResult::FormatError;
  temporaryFault_ = platform::TemporaryFault::WriteFailed;
  return OpenResult::FileError;
}

// Writes the 12 bytes after the tag of the entry at index: the tag stays.
bool Document::RewriteWorkingCopyEntry(uint32_t index, const ChunkEntry& entry) {
  uint8_t bytes[kDirectoryEntrySize];
  entry.Serialize(bytes);
  const int64_t at = kDocumentHeaderSize + static_cast<int64_t>(index) * kDirectoryEntrySize;
  return file_.Seek(at + kChunkTagSize, platform::SeekOrigin::Begin) >= 0 &&
         file_.Write(bytes + kChunkTagSize, kDirectoryEntrySize - kChunkTagSize);
}

bool Document::VerifyMagic() {
  if (!file_.IsOpen()) return false;
  const int64_t position = file_.Position();
  uint8_t header[kDocumentHeaderSize] = {};
  file_.Seek(0, platform::SeekOrigin::Begin);
  if (file_.Read(header, sizeof kDocumentMagic) < sizeof kDocumentMagic) return false;
  if (!DocumentHeader::Parse(header).HasMagic()) {
    Close();
    return false;
  }
  file_.Seek(position, platform::SeekOrigin::Begin);
  return true;
}

bool Document::IsPageTableCompressed() {
  uint8_t header[kDocumentHeaderSize];
  file_.Seek(0, platform::SeekOrigin::Begin);
  if (file_.Read(header, kDocumentHeaderSize) < kDocumentHeaderSize) return false;
  const uint16_t count = DocumentHeader::Parse(header).chunkCount;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t bytes[kDirectoryEntrySize];
    if (file_.Read(bytes, kDirectoryEntrySize) < kDirectoryEntrySize) return false;
    const ChunkEntry entry = ChunkEntry::Parse(bytes);
    if (entry.HasTag("pape")) return entry.compressed != 0;
  }
  return false;
}

bool Document::ReadDirectory() {
  const int64_t position = file_.Position();
  uint8_t header[kDocumentHeaderSize];
  file_.Seek(0, platform::SeekOrigin::Begin);
  if (file_.Read(header, kDocumentHeaderSize) < kDocumentHeaderSize) return false;
  directory_.clear();
  const uint16_t count = DocumentHeader::Parse(header).chunkCount;
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * kDirectoryEntrySize);
  if (file_.Read(bytes.data(), static_cast<uint32_t>(bytes.size())) < bytes.size()) return false;
  directory_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    directory_.push_back(ChunkEntry::Parse(bytes.data() + i * kDirectoryEntrySize));
  }
  file_.Seek(position, platform::SeekOrigin::Begin);
  return true;
}

uint32_t Document::FindChunk(const char* tag) {
  if (directory_.empty() || !file_.IsOpen()) return 0;
  const int64_t position = file_.Position();
  uint8_t header[kDocumentHeaderSize];
  file_.Seek(0, platform::SeekOrigin::Begin);
  const bool header_read = file_.Read(header, kDocumentHeaderSize) == kDocumentHeaderSize;
  uint32_t offset = 0;
  if (header_read) {
    const uint16_t count = DocumentHeader::Parse(header).chunkCount;
    for (uint32_t i = 0; i < count && i < directory_.size(); ++i) {
      // The stored tag is a string of up to four characters.
      const std::string stored(directory_[i].tag.data(),
                               strnlen(directory_[i].tag.data(), kChunkTagSize));
      if (stored == tag) {
        offset = directory_[i].offset;
        break;
      }
    }
  }
  file_.Seek(position, platform::SeekOrigin::Begin);
  return offset;
}

void Document::Close() { file_.Close(); }

bool Document::OpenSeparateHandle(platform::File& handle) const {
  return handle.Open(path_, platform::OpenMode::Read);
}

}  // namespace exqrv
