// One open Quillor document: the container (header, chunk directory, working
// copy), the page and name tables, and page loading. Reading a page's text is
// the page interpreter's (pagetext).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "codec/compressed_block.h"
#include "codec/expansion_budget.h"
#include "container/container.h"
#include "platform/file.h"
#include "platform/platform.h"

namespace exqrv {

enum class OpenResult : int32_t {
  Opened = 0,
  FileError = -2,
  FormatError = -3,
};

// LoadPage's result: the page is in the working copy (or needs no expanding),
// or its block is not there or does not expand.
enum class PageLoadResult : int32_t {
  Loaded = 0,
  FormatError = -3,
};

// A page whose block gave no text, or text that is not what was stored. The
// bytes written for it stay as they are; this only says that they are wrong.
enum class PageDamage {
  DoesNotExpand,  // result: what the expansion ended with
  CrcMismatch,    // the block expanded, but its data fails its CRC-32
};

struct DamagedPage {
  uint16_t page = 0;  // counted from 1
  PageDamage damage = PageDamage::DoesNotExpand;
  codec::BlockResult result = codec::BlockResult::Ok;
};

// While one lives on a thread, a document closed on that thread leaves its
// working copy, emptied, for the next document to take instead of making a
// file: a batch of small documents then makes and removes one file, not one
// each. Only a file of the process's private temporary folder, which no one
// else can write, is kept, and only one that took every write; the scope
// removes it when it ends. Scopes nest; the innermost one holds.
class WorkingCopyReuse {
 public:
  WorkingCopyReuse();
  ~WorkingCopyReuse();
  WorkingCopyReuse(const WorkingCopyReuse&) = delete;
  WorkingCopyReuse& operator=(const WorkingCopyReuse&) = delete;

 private:
  friend class Document;
  platform::File file_;
  std::string name_;
  WorkingCopyReuse* previous_;
};

class Document {
 public:
  Document();
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  OpenResult Open(const std::string& path);
  void Close();

  bool VerifyMagic();
  bool IsPageTableCompressed();
  bool ReadDirectory();
  uint32_t FindChunk(const char* tag);

  bool ReadPageTable();
  bool ReadNameTable();
  PageLoadResult LoadPage(uint16_t page);

  // Why the working copy failed the document, if it did. Once a write to it
  // failed, no page can be trusted to load.
  platform::TemporaryFault temporaryFault() const {
    return file_.WriteFailed() && hasWorkingCopy_ ? platform::TemporaryFault::WriteFailed
                                                  : temporaryFault_;
  }

  // What the document may expand to, its working copy and its annotation
  // work file together; before Open. Without it, the default for the
  // document's size (codec::DefaultExpansionLimit).
  void LimitExpansion(uint64_t bytes) { expansionLimit_ = bytes; }
  // The budget of this document, from Open on; the annotation reader takes
  // from it too.
  codec::ExpansionBudget& expansionBudget() { return budget_; }
  // True once an expansion went past the limit (or past a 32-bit offset of
  // the working copy): the document cannot be converted whole.
  bool ExpansionExceeded() const { return budget_.Exceeded(); }
  // The pages loaded so far whose blocks are damaged, in page order.
  std::vector<DamagedPage> DamagedPages() const;

  uint16_t PageCount() const { return pageCount_; }
  bool HasWorkingCopy() const { return hasWorkingCopy_ != 0; }
  platform::File& file() { return file_; }
  // The document file itself, open from Open to Close: file() when it is
  // read in place, else the handle its blocks are expanded from.
  platform::File& DocumentFile() { return hasWorkingCopy_ ? source_ : file_; }
  const std::string& path() const { return path_; }
  const std::string& workingCopyName() const { return workingCopyName_; }
  const std::vector<ChunkEntry>& directory() const { return directory_; }
  const std::vector<PageEntry>& pageTable() const { return pageTable_; }
  const std::vector<PageEntry>& storedPageTable() const { return storedPageTable_; }
  const std::vector<uint8_t>& nameRecords() const { return nameRecords_; }

 private:
  bool ReserveWorkingCopyName();
  OpenResult MakeWorkingCopy();
  OpenResult WorkingCopyFailure();
  bool CreateWorkingCopyFile();
  bool TakeSpareWorkingCopy();
  bool LeaveWorkingCopyForReuse();
  std::vector<ChunkEntry> CopyHeaderAndDirectory(platform::File& source);
  OpenResult ExpandChunks(platform::File& source, const std::vector<ChunkEntry>& entries);
  bool RewriteWorkingCopyEntries(const std::vector<ChunkEntry>& entries,
                                 const std::map<uint32_t, ChunkEntry>& rewritten);
  void RecordDamage(uint16_t page, PageDamage damage, codec::BlockResult result);

  platform::File file_;
  // With a working copy: the document file, opened once. Pages follow one
  // another in it, so its buffer serves page after page.
  platform::File source_;
  codec::CompressedBlock pageBlock_;  // reused from page to page, with its buffers
  std::string path_;
  std::string workingCopyName_;
  int32_t hasWorkingCopy_ = 0;
  platform::TemporaryFault temporaryFault_ = platform::TemporaryFault::None;
  std::vector<ChunkEntry> directory_;
  std::optional<uint64_t> expansionLimit_;
  codec::ExpansionBudget budget_;
  std::map<uint16_t, DamagedPage> damagedPages_;

  uint16_t pageCount_ = 0;
  std::vector<PageEntry> pageTable_;
  std::vector<PageEntry> storedPageTable_;
  std::vector<uint8_t> nameRecords_;
};

}  // namespace exqrv
