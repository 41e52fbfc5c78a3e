// One conversion job: a document in, its text file out.
#include <algorithm>
#include <new>
#include <vector>

#include "annotations/annotation_set.h"
#include "app/converter_app.h"
#include "app/text_extraction.h"
#include "document/document.h"
#include "platform/interruption.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kAnnotationPrefix[] = "EXT";

// The notes in page order, each page's notes in list order, so that one walk
// serves all pages.
std::vector<const NoteRecord*> NotesByPage(const RecordList<NoteRecord>& notes) {
  std::vector<const NoteRecord*> sorted;
  sorted.reserve(notes.size());
  for (size_t i = 0; i < notes.size(); ++i) sorted.push_back(&notes[i]);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const NoteRecord* a, const NoteRecord* b) { return a->page < b->page; });
  return sorted;
}

bool WriteString(platform::File& output, const std::string& text) {
  return output.Write(text.data(), static_cast<uint32_t>(text.size()));
}

}  // namespace

TextExtraction::TextExtraction()
    : document_(std::make_unique<Document>()), notes_(std::make_unique<AnnotationSet>()) {}

TextExtraction::~TextExtraction() {
  notes_->Reset();
  document_->Close();
}

void TextExtraction::LimitExpansion(uint64_t bytes) { document_->LimitExpansion(bytes); }

uint64_t TextExtraction::ExpansionLimit() const {
  return document_->expansionBudget().limit();
}

std::vector<DamagedPage> TextExtraction::DamagedPages() const { return document_->DamagedPages(); }

// Memory runs out at this boundary, not inside: a document's notes may ask
// for more than the process has, and that fails the document, not the run.
bool TextExtraction::Open(const std::string& documentPath) {
  fault_ = platform::TemporaryFault::None;
  extractionFault_ = ExtractionFault::None;
  try {
    return OpenDocument(documentPath);
  } catch (const std::bad_alloc&) {
    notes_->Reset();
    extractionFault_ = ExtractionFault::OutOfMemory;
    return false;
  }
}

bool TextExtraction::OpenDocument(const std::string& documentPath) {
  if (document_->Open(documentPath) != OpenResult::Opened) {
    fault_ = document_->temporaryFault();
    ExpandedBeyondLimit();
    return false;
  }
  const std::string uniqueName = platform::ReserveTemporaryName(kAnnotationPrefix);
  if (uniqueName.empty()) {
    // The pages still convert; notes, if the document has them, cannot.
    if (HasAnnotationStore()) fault_ = platform::TemporaryFault::NotMade;
    return true;
  }
  notes_->SetExpansionBudget(&document_->expansionBudget());
  if (!document_->HasWorkingCopy()) {
    notes_->Load(document_->file(), uniqueName);
  } else {
    // The annotation store is read from the document file, never the copy.
    platform::File original;
    if (original.Open(documentPath, platform::OpenMode::Read)) notes_->Load(original, uniqueName);
  }
  fault_ = notes_->temporaryFault();
  if (ExpandedBeyondLimit()) return false;
  return fault_ != platform::TemporaryFault::WriteFailed;
}

bool TextExtraction::ExpandedBeyondLimit() {
  if (!document_->ExpansionExceeded()) return false;
  extractionFault_ = ExtractionFault::ExpandsBeyondLimit;
  return true;
}

// As the annotation reader looks for it: the first "indx" entry, with an
// offset and a length.
bool TextExtraction::HasAnnotationStore() const {
  for (const ChunkEntry& entry : document_->directory()) {
    if (entry.HasTag("indx")) return entry.offset != 0 && entry.length != 0;
  }
  return false;
}

uint16_t TextExtraction::PageCount() const { return document_->PageCount(); }

bool TextExtraction::WriteText(platform::File& output, PageRange range, bool withNotes,
                               const PageDone& pageDone) {
  try {
    return WritePages(output, range, withNotes, pageDone);
  } catch (const std::bad_alloc&) {
    extractionFault_ = ExtractionFault::OutOfMemory;
    return false;
  }
}

bool TextExtraction::WritePages(platform::File& output, PageRange range, bool withNotes,
                                const PageDone& pageDone) {
  const uint32_t last = std::min<uint32_t>(range.last, document_->PageCount());
  const std::vector<const NoteRecord*> byPage =
      withNotes ? NotesByPage(notes_->Notes()) : std::vector<const NoteRecord*>();
  auto next = byPage.begin();
  for (uint32_t page = std::max<uint32_t>(range.first, 1); page <= last; ++page) {
    document_->WritePageText(output, static_cast<uint16_t>(page));
    // A page the working copy could not take is lost text, not a damaged page.
    if (document_->temporaryFault() == platform::TemporaryFault::WriteFailed) {
      fault_ = platform::TemporaryFault::WriteFailed;
      return false;
    }
    // Nor is a page the limit cut off: the text could never be whole.
    if (ExpandedBeyondLimit()) return false;
    while (next != byPage.end() && (*next)->page < static_cast<int32_t>(page)) ++next;
    for (; next != byPage.end() && (*next)->page == static_cast<int32_t>(page); ++next) {
      WriteString(output, (*next)->text1);
      WriteString(output, (*next)->text2);
    }
    if (output.WriteFailed()) return false;
    if (pageDone && !pageDone(page)) return false;
    if (platform::StopRequestedAfterPage(page)) {
      output.Flush();
      platform::StopForTest();
    }
  }
  return !output.WriteFailed();
}

int ConverterApp::ConvertDocument(const std::string& documentPath, const std::string& textPath) {
  TextExtraction job;
  lastDamagedPages_.clear();
  const bool opened = job.Open(documentPath);
  lastFault_ = job.temporaryFault();
  lastExtractionFault_ = job.extractionFault();
  if (!opened) return 0;
  // The document is held open while the text file is made, and the text file
  // is not shared: a text name that leads back to the document itself (a
  // document named *.TXT converted in place) fails instead of truncating it.
  if (platform::IsSameFile(documentPath, textPath)) return 0;
  platform::RemovedIfInterrupted unfinished(textPath);
  platform::File output;
  if (!output.Open(textPath, platform::OpenMode::Write)) return 0;
  // A text file that could not be written whole is no result: remove it.
  const bool written = job.WriteText(output);
  lastFault_ = job.temporaryFault();
  lastExtractionFault_ = job.extractionFault();
  lastDamagedPages_ = job.DamagedPages();
  if (!output.Close() || !written) {
    platform::CurrentPlatform().DeleteFile(textPath);
    return 0;
  }
  return 1;
}

}  // namespace exqrv
