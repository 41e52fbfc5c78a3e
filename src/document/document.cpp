// The container: header, chunk directory, and the working copy into which a
// document with a compressed page table is expanded.
#include "document/document.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include "codec/compressed_block.h"
#include "container/chunk_directory.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kWorkingCopyPrefix[] = "tst";

platform::Platform& System() { return platform::CurrentPlatform(); }

thread_local WorkingCopyReuse* gReuse = nullptr;

}  // namespace

WorkingCopyReuse::WorkingCopyReuse() : previous_(std::exchange(gReuse, this)) {}

WorkingCopyReuse::~WorkingCopyReuse() {
  gReuse = previous_;
  if (!file_.IsOpen()) return;
  file_.Close();
  System().DeleteFile(name_);
}

Document::Document() { pageBlock_.SetBudget(&budget_); }

Document::~Document() {
  Close();
  if (!workingCopyName_.empty()) System().DeleteFile(workingCopyName_);
}

OpenResult Document::Open(const std::string& path) {
  temporaryFault_ = platform::TemporaryFault::None;
  source_.Close();
  ReserveWorkingCopyName();
  if (!file_.Open(path, platform::OpenMode::Read) && !file_.Open(path, platform::OpenMode::Read)) {
    return OpenResult::FileError;
  }
  if (!VerifyMagic()) return OpenResult::FormatError;
  path_ = path;
  budget_ = codec::ExpansionBudget(expansionLimit_.value_or(
      codec::DefaultExpansionLimit(static_cast<uint64_t>(std::max<int64_t>(file_.Size(), 0)))));
  if (IsPageTableCompressed()) {
    const OpenResult made = MakeWorkingCopy();
    if (made != OpenResult::Opened) return made;
  } else {
    // Read in place, on the handle the magic was checked on.
    file_.Seek(0, platform::SeekOrigin::Begin);
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

// The spare's name stays the one it was made under; the reserved name was
// only formed, never made, in the private folder.
bool Document::TakeSpareWorkingCopy() {
  if (gReuse == nullptr || !gReuse->file_.IsOpen()) return false;
  if (!platform::IsInProcessTempFolder(gReuse->name_)) return false;
  file_.Swap(gReuse->file_);
  workingCopyName_ = std::move(gReuse->name_);
  return true;
}

// The destructor then has no file to delete.
bool Document::LeaveWorkingCopyForReuse() {
  if (gReuse == nullptr || gReuse->file_.IsOpen() || !hasWorkingCopy_ || !file_.IsOpen()) {
    return false;
  }
  if (!platform::IsInProcessTempFolder(workingCopyName_) || !file_.Empty()) return false;
  gReuse->file_.Swap(file_);
  gReuse->name_ = std::exchange(workingCopyName_, std::string());
  return true;
}

bool Document::CreateWorkingCopyFile() {
  if (TakeSpareWorkingCopy()) return true;
  if (!workingCopyName_.empty()) {
    workingCopyName_.back() = '$';
    if (file_.Open(workingCopyName_, platform::OpenMode::ReadWrite)) return true;
  }
  const std::string directory = System().TempDirectory();
  if (directory.empty()) return false;
  const unsigned number = static_cast<unsigned>(System().Random());
  workingCopyName_ = System().UniqueTempName(directory, kWorkingCopyPrefix, number);
  return !workingCopyName_.empty() && file_.Open(workingCopyName_, platform::OpenMode::ReadWrite);
}

OpenResult Document::MakeWorkingCopy() {
  // The document stays open, with what its buffer read, as the source of
  // the chunks now and of the name table, the pages and the notes later.
  source_.Swap(file_);
  if (!CreateWorkingCopyFile()) {
    temporaryFault_ = platform::TemporaryFault::NotMade;
    return OpenResult::FileError;
  }
  const std::vector<ChunkEntry> entries = CopyHeaderAndDirectory(source_);
  const OpenResult expanded = ExpandChunks(source_, entries);
  if (expanded != OpenResult::Opened) return expanded;
  // The header and directory went through the buffer: a full device may
  // only show now.
  if (!file_.Flush()) return WorkingCopyFailure();
  hasWorkingCopy_ = 1;
  return OpenResult::Opened;
}

// The header and the directory go over as they are, an entry the file cuts
// short in part. Returns the entries copied whole, in directory order.
std::vector<ChunkEntry> Document::CopyHeaderAndDirectory(platform::File& source) {
  const auto copy = [this](std::span<const uint8_t> bytes) {
    file_.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    budget_.Take(bytes.size());
  };
  file_.Seek(0, platform::SeekOrigin::Begin);
  DirectoryReader reader(source, CutShort::EndsWalk);
  reader.Start();
  copy(reader.lastRead());
  std::vector<ChunkEntry> entries;
  while (const std::optional<ChunkEntry> entry = reader.Next()) {
    copy(reader.lastRead());
    entries.push_back(*entry);
  }
  if (reader.CutShortByFile()) copy(reader.lastRead());
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
    if (!IsExpandedIntoWorkingCopy(entry)) continue;
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
  RewriteWorkingCopyEntries(entries, rewritten);
  return OpenResult::Opened;
}

// A chunk that does not expand is a damaged document, unless the working
// copy could not take its bytes.
OpenResult Document::WorkingCopyFailure() {
  if (!file_.WriteFailed()) return OpenResult::FormatError;
  temporaryFault_ = platform::TemporaryFault::WriteFailed;
  return OpenResult::FileError;
}

// Writes the rewritten entries over their copies in one piece, from the
// first to the last, the entries between them as they were copied.
bool Document::RewriteWorkingCopyEntries(const std::vector<ChunkEntry>& entries,
                                         const std::map<uint32_t, ChunkEntry>& rewritten) {
  if (rewritten.empty()) return true;
  const uint32_t first = rewritten.begin()->first;
  const uint32_t last = rewritten.rbegin()->first;
  std::vector<uint8_t> bytes(static_cast<size_t>(last - first + 1) * kDirectoryEntrySize);
  for (uint32_t index = first; index <= last; ++index) {
    const auto changed = rewritten.find(index);
    const ChunkEntry& entry = changed != rewritten.end() ? changed->second : entries[index];
    entry.Serialize(bytes.data() + static_cast<size_t>(index - first) * kDirectoryEntrySize);
  }
  const int64_t at = kDocumentHeaderSize + static_cast<int64_t>(first) * kDirectoryEntrySize;
  return file_.Seek(at, platform::SeekOrigin::Begin) >= 0 &&
         file_.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
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
  const std::optional<ChunkEntry> pages = FindPageTableEntry(file_);
  return pages && pages->compressed != 0;
}

bool Document::ReadDirectory() {
  const int64_t position = file_.Position();
  DirectoryReader reader(file_, CutShort::EndsWalk);
  if (!reader.Start()) return false;
  directory_.clear();
  if (!ReadDirectoryEntries(file_, reader.header().chunkCount, directory_)) return false;
  file_.Seek(position, platform::SeekOrigin::Begin);
  return true;
}

// The count comes from the header as the file holds it now; the entries from
// the directory read at open.
uint32_t Document::FindChunk(const char* tag) {
  if (directory_.empty() || !file_.IsOpen()) return 0;
  const int64_t position = file_.Position();
  DirectoryReader reader(file_, CutShort::EndsWalk);
  uint32_t offset = 0;
  if (reader.Start()) {
    const size_t count = std::min<size_t>(reader.header().chunkCount, directory_.size());
    const std::optional<size_t> found =
        FindNamedEntry(std::span<const ChunkEntry>(directory_).first(count), tag);
    if (found) offset = directory_[*found].offset;
  }
  file_.Seek(position, platform::SeekOrigin::Begin);
  return offset;
}

void Document::Close() {
  LeaveWorkingCopyForReuse();
  file_.Close();
  source_.Close();
}

}  // namespace exqrv
