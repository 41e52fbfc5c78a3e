// The annotation store of one document, read into six record lists, and the
// thumbnail table. Only the notes reach the text file.
//
// The store (the "indx" chunk) is expanded or copied into a work file of its
// own, named after the reserved "EXT" name with "mkp" in its place, and every
// record is read from there. Reset closes and deletes that file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "annotations/records.h"
#include "codec/expansion_budget.h"
#include "container/annotation_store.h"
#include "container/container.h"
#include "platform/file.h"
#include "platform/platform.h"

namespace exqrv {

inline constexpr uint32_t kThumbnailEntrySize = 8;

enum class AnnotationLoadResult : int32_t {
  Loaded = 0,             // also: the document has no store
  StoreNotExpanded = -3,  // or the work file could not be made
};

// The six kinds, in the order of kKindTags.
enum class AnnotationKind { Note, Indxe, Htext, Hlink, Hligt, Bmark };

using ThumbnailEntry = std::array<uint8_t, kThumbnailEntrySize>;

struct KindSummary {
  std::string_view tag;
  size_t records = 0;
};

class AnnotationSet {
 public:
  AnnotationSet() = default;
  ~AnnotationSet();
  AnnotationSet(const AnnotationSet&) = delete;
  AnnotationSet& operator=(const AnnotationSet&) = delete;

  // documentHandle: the document file itself. uniqueName: a reserved
  // "...EXTxxxx.TMP" name.
  AnnotationLoadResult Load(platform::File& documentHandle, const std::string& uniqueName);
  // The work file takes its bytes from budget (the document's, shared with
  // its working copy); before Load. Without one, Load uses a budget of its
  // own, the default for the document's size.
  void SetExpansionBudget(codec::ExpansionBudget* budget) { budget_ = budget; }
  // True when the last Load stopped at the budget.
  bool ExpansionExceeded() const { return budget_ != nullptr && budget_->Exceeded(); }
  int Reset();
  // Whether the work file let the last Load down: then the store's notes
  // are missing through no fault of the document.
  platform::TemporaryFault temporaryFault() const { return temporaryFault_; }

  const RecordList<NoteRecord>& Notes() const { return notes_; }
  const RecordList<IndxeRecord>& Indxes() const { return indxes_; }
  const RecordList<HtextRecord>& Htexts() const { return htexts_; }
  const RecordList<HlinkRecord>& Hlinks() const { return hlinks_; }
  const RecordList<HligtRecord>& Hligts() const { return hligts_; }
  const RecordList<BmarkRecord>& Bmarks() const { return bmarks_; }
  // Each kind's tag and record count, in the order of kKindTags.
  std::array<KindSummary, kKindCount> Summary() const;

  // The count as stored in the "thum" chunk; entries the chunk does not hold
  // read as zeros.
  uint16_t ThumbnailCount() const { return thumbnailCount_; }
  ThumbnailEntry Thumbnail(size_t i) const;

  // The work file of this set; empty before Load.
  std::string WorkFileName() const { return WorkFileNameFor(workName_); }
  // "...\EXT9B2E.TMP" gives "...\mkp9B2E.TMP"; empty for a name too short to
  // hold the prefix.
  static std::string WorkFileNameFor(std::string_view uniqueName);

 private:
  void ClearLists();
  void LoadThumbnails(platform::File& documentHandle);
  bool FindStore(platform::File& documentHandle);
  bool FillWorkFile(platform::File& documentHandle);
  void CopyPlainStore(platform::File& documentHandle);
  void ReadKindDirectory();

  int ReadNoteSection(uint32_t sectionOffset);
  int ReadIndxeSection(uint32_t sectionOffset);
  int ReadHtextSection(uint32_t sectionOffset);
  int ReadHlinkSection(uint32_t sectionOffset);
  int ReadHligtSection(uint32_t sectionOffset);
  int ReadBmarkSection(uint32_t sectionOffset);
  int ReadKindSection(AnnotationKind kind, uint32_t sectionOffset);
  template <typename Record>
  void ReadSection(RecordList<Record>& list, uint32_t sectionOffset);

  std::string workName_;
  codec::ExpansionBudget* budget_ = nullptr;
  codec::ExpansionBudget ownBudget_;
  platform::TemporaryFault temporaryFault_ = platform::TemporaryFault::None;
  ChunkEntry storeEntry_;
  std::array<uint8_t, kStoreHeaderSize> storeHeader_{};
  platform::File workFile_;
  bool workFileMade_ = false;  // the work file exists until Reset deletes it
  int64_t workFileSize_ = 0;
  RecordList<IndxeRecord> indxes_;
  RecordList<HtextRecord> htexts_;
  RecordList<HligtRecord> hligts_;
  RecordList<NoteRecord> notes_;
  RecordList<HlinkRecord> hlinks_;
  RecordList<BmarkRecord> bmarks_;
  uint16_t thumbnailCount_ = 0;
  std::vector<ThumbnailEntry> thumbnails_;  // the entries the chunk holds
};

}  // namespace exqrv
