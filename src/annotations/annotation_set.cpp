#include "annotations/annotation_set.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "codec/compressed_block.h"
#include "container/chunk_directory.h"
#include "platform/little_endian.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr uint32_t kCopyBufferSize = 20480;
// "EXT" stands this far from the end of a reserved name: EXTxxxx.TMP.
constexpr size_t kPrefixFromEnd = 11;
constexpr std::string_view kWorkFilePrefix = "mkp";

uint16_t ReadU16(platform::File& file) {
  uint8_t bytes[2] = {};
  file.Read(bytes, sizeof bytes);
  return ReadLe16(bytes);
}

std::optional<AnnotationKind> KindOfTag(const uint8_t* tag) {
  for (size_t k = 0; k < kKindCount; ++k) {
    if (std::memcmp(tag, kKindTags[k].data(), kKindTagSize) == 0) {
      return static_cast<AnnotationKind>(k);
    }
  }
  return std::nullopt;
}

}  // namespace

AnnotationSet::~AnnotationSet() { Reset(); }

AnnotationLoadResult AnnotationSet::Load(platform::File& documentHandle,
                                         const std::string& uniqueName) {
  ClearLists();
  temporaryFault_ = platform::TemporaryFault::None;
  workName_ = uniqueName;
  if (budget_ == nullptr || budget_ == &ownBudget_) {
    ownBudget_ = codec::ExpansionBudget(codec::DefaultExpansionLimit(
        static_cast<uint64_t>(std::max<int64_t>(documentHandle.Size(), 0))));
    budget_ = &ownBudget_;
  }
  LoadThumbnails(documentHandle);
  const int64_t position = documentHandle.Position();
  if (!FindStore(documentHandle)) return AnnotationLoadResult::Loaded;
  const bool filled = FillWorkFile(documentHandle);
  if (workFile_.WriteFailed()) temporaryFault_ = platform::TemporaryFault::WriteFailed;
  if (!filled || temporaryFault_ != platform::TemporaryFault::None) {
    return AnnotationLoadResult::StoreNotExpanded;
  }
  storeHeader_ = {};
  workFile_.Seek(0, platform::SeekOrigin::Begin);
  workFile_.Read(storeHeader_.data(), kStoreHeaderSize);
  ReadKindDirectory();
  documentHandle.Seek(position, platform::SeekOrigin::Begin);
  return AnnotationLoadResult::Loaded;
}

int AnnotationSet::Reset() {
  ClearLists();
  if (workFile_.IsOpen()) workFile_.Close();
  workFileSize_ = 0;
  // Only a work file this set made is there to delete: when no store was
  // found there is none.
  if (workFileMade_) platform::CurrentPlatform().DeleteFile(WorkFileName());
  workFileMade_ = false;
  thumbnails_ = {};
  thumbnailCount_ = 0;
  return 0;
}

std::array<KindSummary, kKindCount> AnnotationSet::Summary() const {
  return {{{kKindTags[0], notes_.size()},
           {kKindTags[1], indxes_.size()},
           {kKindTags[2], htexts_.size()},
           {kKindTags[3], hlinks_.size()},
           {kKindTags[4], hligts_.size()},
           {kKindTags[5], bmarks_.size()}}};
}

ThumbnailEntry AnnotationSet::Thumbnail(size_t i) const {
  return i < thumbnails_.size() ? thumbnails_[i] : ThumbnailEntry{};
}

std::string AnnotationSet::WorkFileNameFor(std::string_view uniqueName) {
  if (uniqueName.size() < kPrefixFromEnd) return {};
  std::string name(uniqueName);
  name.replace(name.size() - kPrefixFromEnd, kWorkFilePrefix.size(), kWorkFilePrefix);
  return name;
}

void AnnotationSet::ClearLists() {
  indxes_.Clear();
  htexts_.Clear();
  hligts_.Clear();
  notes_.Clear();
  hlinks_.Clear();
  bmarks_.Clear();
}

// The entry's length only tells whether the table is there; the count inside
// the chunk decides how much is read.
void AnnotationSet::LoadThumbnails(platform::File& documentHandle) {
  thumbnails_ = {};
  thumbnailCount_ = 0;
  const std::optional<ChunkEntry> table = FindThumbnailTable(documentHandle);
  if (!table) return;
  documentHandle.Seek(table->offset, platform::SeekOrigin::Begin);
  thumbnailCount_ = ReadU16(documentHandle);
  // Keep only the entries the file holds (the last one maybe in part); the
  // others would read as zeros, and Thumbnail() gives zeros for them.
  const int64_t available = std::max<int64_t>(0, documentHandle.Size() - documentHandle.Position());
  const size_t held = std::min<size_t>(
      thumbnailCount_,
      static_cast<size_t>((available + kThumbnailEntrySize - 1) / kThumbnailEntrySize));
  thumbnails_.assign(held, ThumbnailEntry{});
  documentHandle.Read(thumbnails_.data(), static_cast<uint32_t>(held * kThumbnailEntrySize));
}

bool AnnotationSet::FindStore(platform::File& documentHandle) {
  const int64_t position = documentHandle.Position();
  const std::optional<ChunkEntry> store = FindAnnotationStore(documentHandle);
  storeEntry_ = store.value_or(ChunkEntry{});
  documentHandle.Seek(position, platform::SeekOrigin::Begin);
  return store.has_value();
}

// False when the work file cannot be made or the store does not expand.
bool AnnotationSet::FillWorkFile(platform::File& documentHandle) {
  if (workFile_.IsOpen()) workFile_.Close();
  const std::string workFileName = WorkFileName();
  if (workFileName.empty() || !workFile_.Open(workFileName, platform::OpenMode::ReadWrite)) {
    temporaryFault_ = platform::TemporaryFault::NotMade;
    return false;
  }
  workFileMade_ = true;
  if (storeEntry_.compressed != 0) {
    codec::CompressedBlock block;
    block.SetBudget(budget_);
    const codec::BlockResult result =
        block.Run(documentHandle, storeEntry_.offset, static_cast<int32_t>(storeEntry_.length),
                  workFile_, 0, codec::BlockMode::Expand, nullptr);
    if (result != codec::BlockResult::Ok) return false;
  } else {
    CopyPlainStore(documentHandle);
    workFile_.Flush();
    if (budget_->Exceeded()) return false;
  }
  workFileSize_ = workFile_.Size();
  return true;
}

// Copies in whole pieces until a piece comes back short or the full pieces
// cover the chunk length; the last piece may run past the chunk, and nothing
// reads what lies beyond it.
void AnnotationSet::CopyPlainStore(platform::File& documentHandle) {
  documentHandle.Seek(storeEntry_.offset, platform::SeekOrigin::Begin);
  std::vector<uint8_t> buffer(kCopyBufferSize);
  uint64_t copied = 0;
  for (;;) {
    const uint32_t delivered = documentHandle.Read(buffer.data(), kCopyBufferSize);
    if (!budget_->Take(delivered)) return;
    // A failed write leaves a shorter store; what it lacks reads as zeros.
    if (delivered > 0 && !workFile_.Write(buffer.data(), delivered)) return;
    if (delivered < kCopyBufferSize) return;
    copied += delivered;
    if (copied >= storeEntry_.length) return;
  }
}

// Every section reader empties its list first and reads nothing but the
// unchanging work file, so of several entries naming one kind only the last
// decides what the list holds. Reading just that one keeps a directory that
// names a large section thousands of times from costing thousands of passes.
void AnnotationSet::ReadKindDirectory() {
  workFile_.Seek(kStoreHeaderSize, platform::SeekOrigin::Begin);
  const uint16_t kindCount = ReadLe16(storeHeader_.data() + kKindCountOffset);
  std::array<std::optional<uint32_t>, kKindCount> sectionOffsets;
  for (uint32_t i = 0; i < kindCount; ++i) {
    // Entries past the end of the store would read as zeros: never a kind.
    if (workFile_.Position() >= workFileSize_) break;
    uint8_t entry[kKindEntrySize] = {};
    workFile_.Read(entry, kKindEntrySize);
    if (const auto kind = KindOfTag(entry)) {
      sectionOffsets[static_cast<size_t>(*kind)] = ReadLe32(entry + kSectionOffsetInEntry);
    }
  }
  for (size_t k = 0; k < kKindCount; ++k) {
    if (sectionOffsets[k]) ReadKindSection(static_cast<AnnotationKind>(k), *sectionOffsets[k]);
  }
}

int AnnotationSet::ReadKindSection(AnnotationKind kind, uint32_t sectionOffset) {
  switch (kind) {
    case AnnotationKind::Note: return ReadNoteSection(sectionOffset);
    case AnnotationKind::Indxe: return ReadIndxeSection(sectionOffset);
    case AnnotationKind::Htext: return ReadHtextSection(sectionOffset);
    case AnnotationKind::Hlink: return ReadHlinkSection(sectionOffset);
    case AnnotationKind::Hligt: return ReadHligtSection(sectionOffset);
    case AnnotationKind::Bmark: return ReadBmarkSection(sectionOffset);
  }
  return 0;
}

int AnnotationSet::ReadNoteSection(uint32_t sectionOffset) {
  ReadSection(notes_, sectionOffset);
  return 0;
}

int AnnotationSet::ReadIndxeSection(uint32_t sectionOffset) {
  ReadSection(indxes_, sectionOffset);
  return 0;
}

int AnnotationSet::ReadHtextSection(uint32_t sectionOffset) {
  ReadSection(htexts_, sectionOffset);
  return 0;
}

int AnnotationSet::ReadHlinkSection(uint32_t sectionOffset) {
  ReadSection(hlinks_, sectionOffset);
  return 0;
}

int AnnotationSet::ReadHligtSection(uint32_t sectionOffset) {
  ReadSection(hligts_, sectionOffset);
  return 0;
}

int AnnotationSet::ReadBmarkSection(uint32_t sectionOffset) {
  ReadSection(bmarks_, sectionOffset);
  return 0;
}

// A record that starts inside the store is kept even when the store ends in
// it (its missing fields are zero). Records that would start past the end
// would all be empty and are not kept, so a count of 65535 in a short store
// costs no more than the bytes the store holds.
template <typename Record>
void AnnotationSet::ReadSection(RecordList<Record>& list, uint32_t sectionOffset) {
  const int64_t position = workFile_.Position();
  workFile_.Seek(sectionOffset, platform::SeekOrigin::Begin);
  uint8_t header[kSectionHeaderSize] = {};
  workFile_.Read(header, kSectionHeaderSize);
  const uint16_t recordCount = ReadLe16(header + kRecordCountOffset);
  list.Clear();
  TextScratch scratch;
  for (uint32_t i = 0; i < recordCount; ++i) {
    if (workFile_.Position() >= workFileSize_) break;
    Record record;
    ReadRecord(workFile_, record, scratch);
    list.InsertCopyAt(i, std::move(record));
  }
  workFile_.Seek(position, platform::SeekOrigin::Begin);
}

}  // namespace exqrv
