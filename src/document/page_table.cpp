// The page table, the name table, and the expansion of a page into the
// working copy on first use.
#include <cstring>

#include "codec/compressed_block.h"
#include "document/document.h"
#include "platform/little_endian.h"

namespace exqrv {

bool Document::ReadPageTable() {
  const int64_t position = file_.Position();
  const uint32_t offset = FindChunk(kPageTableTag);
  if (offset == 0) return false;
  uint8_t count[kPageCountSize];
  file_.Seek(offset, platform::SeekOrigin::Begin);
  if (file_.Read(count, sizeof count) < sizeof count) return false;
  pageCount_ = ReadLe16(count);
  pageTable_.clear();
  storedPageTable_.clear();
  std::vector<uint8_t> bytes(static_cast<size_t>(pageCount_) * kPageEntrySize);
  if (file_.Read(bytes.data(), static_cast<uint32_t>(bytes.size())) < bytes.size()) {
    pageCount_ = 0;
    return false;
  }
  pageTable_.reserve(pageCount_);
  for (uint32_t i = 0; i < pageCount_; ++i) {
    pageTable_.push_back(PageEntry::Parse(bytes.data() + i * kPageEntrySize));
  }
  if (hasWorkingCopy_) {
    // The live table starts with every page unexpanded.
    storedPageTable_ = pageTable_;
    for (PageEntry& entry : pageTable_) {
      entry.contentOffset = 0;
      entry.contentLength = 0;
    }
  }
  file_.Seek(position, platform::SeekOrigin::Begin);
  return true;
}

// The name table is read from the document file itself, which may be the
// handle pages are read on: its position is put back.
bool Document::ReadNameTable() {
  const uint32_t offset = FindChunk(kNameTableTag);
  if (offset == 0) return false;
  platform::File& names = DocumentFile();
  const int64_t position = names.Position();
  uint8_t header[kNameTableHeaderSize];
  names.Seek(offset, platform::SeekOrigin::Begin);
  bool whole = names.Read(header, kNameTableHeaderSize) == kNameTableHeaderSize;
  if (whole) {
    const uint16_t count = ReadLe16(header + kNameCountOffset);
    nameRecords_.assign(static_cast<size_t>(count) * kNameRecordSize, 0);
    names.Seek(static_cast<int64_t>(offset) + kNameRecordsOffset, platform::SeekOrigin::Begin);
    whole = names.Read(nameRecords_.data(), static_cast<uint32_t>(nameRecords_.size())) ==
            nameRecords_.size();
  }
  names.Seek(position, platform::SeekOrigin::Begin);
  return whole;
}

PageLoadResult Document::LoadPage(uint16_t page) {
  if (!hasWorkingCopy_) return PageLoadResult::Loaded;
  // Pages are counted from 1; a number outside the table names no block.
  if (page == 0 || page > pageTable_.size()) return PageLoadResult::FormatError;
  const int64_t position = file_.Position();
  PageEntry& live = pageTable_[page - 1];
  if (live.contentOffset != 0 && live.contentLength != 0) return PageLoadResult::Loaded;
  const PageEntry& stored = storedPageTable_[page - 1];

  const int64_t start = file_.Seek(0, platform::SeekOrigin::End);
  if (start < 0 || start > UINT32_MAX) {
    budget_.MarkExceeded();
    return PageLoadResult::FormatError;
  }
  const codec::BlockResult result =
      pageBlock_.Run(source_, stored.contentOffset, static_cast<int32_t>(stored.contentLength),
                     file_, static_cast<uint32_t>(start), codec::BlockMode::Expand, nullptr);
  if (result != codec::BlockResult::Ok) {
    // A page cut off by the limit, or whose bytes the working copy could not
    // take (a full disk, a file size limit), is not damaged: the whole
    // document fails, named by its cause.
    if (file_.WriteFailed()) {
      WorkingCopyFailure();
    } else if (!budget_.Exceeded()) {
      RecordDamage(page, PageDamage::DoesNotExpand, result);
    }
    return PageLoadResult::FormatError;
  }
  // The stream decoded to its end, but a changed byte in it most often
  // decodes too, into other text: only the CRC-32 tells.
  if (!pageBlock_.CrcMatchesHeader()) RecordDamage(page, PageDamage::CrcMismatch, result);
  else damagedPages_.erase(page);
  const int64_t end = file_.Seek(0, platform::SeekOrigin::End);
  if (end < start || end > UINT32_MAX) {
    budget_.MarkExceeded();
    return PageLoadResult::FormatError;
  }
  live.contentLength = static_cast<uint32_t>(end - start);
  live.contentOffset = static_cast<uint32_t>(start);
  file_.Seek(position, platform::SeekOrigin::Begin);
  return PageLoadResult::Loaded;
}

// A page tried again keeps one record, of its latest attempt.
void Document::RecordDamage(uint16_t page, PageDamage damage, codec::BlockResult result) {
  damagedPages_[page] = DamagedPage{page, damage, result};
}

std::vector<DamagedPage> Document::DamagedPages() const {
  std::vector<DamagedPage> pages;
  pages.reserve(damagedPages_.size());
  for (const auto& [page, damage] : damagedPages_) pages.push_back(damage);
  return pages;
}

}  // namespace exqrv
