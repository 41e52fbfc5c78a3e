// The conversion job's working state: an open document with its notes,
// written page by page to a sink.
#include "app/text_extraction.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "annotations/annotation_set.h"
#include "app/messages.h"
#include "container/chunk_directory.h"
#include "container/container.h"
#include "document/document.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kAnnotationPrefix[] = "EXT";
// Offsets in a working copy are 32-bit: below this the limit decides.
constexpr uint64_t kWorkingCopyReach = uint64_t{1} << 32;
// A summary names this many damaged pages; a document damaged throughout
// would otherwise give a line of megabytes.
constexpr size_t kDamagedPagesNamed = 5;

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

// A note's two texts, one after the other.
void WriteNote(platform::ByteSink& output, const NoteRecord& note) {
  output.Write(note.text1.data(), static_cast<uint32_t>(note.text1.size()));
  output.Write(note.text2.data(), static_cast<uint32_t>(note.text2.size()));
}

}  // namespace

TextExtraction::TextExtraction()
    : document_(std::make_unique<Document>()),
      notes_(std::make_unique<AnnotationSet>()),
      interpreter_(std::make_unique<PageInterpreter>(*document_)) {}

TextExtraction::~TextExtraction() {
  notes_->Reset();
  document_->Close();
}

void TextExtraction::LimitExpansion(uint64_t bytes) { document_->LimitExpansion(bytes); }

uint64_t TextExtraction::ExpansionLimit() const { return document_->expansionBudget().limit(); }

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
  // The annotation store is read from the document file, never the copy.
  notes_->Load(document_->DocumentFile(), uniqueName);
  fault_ = notes_->temporaryFault();
  if (ExpandedBeyondLimit()) return false;
  return fault_ != platform::TemporaryFault::WriteFailed;
}

bool TextExtraction::ExpandedBeyondLimit() {
  if (!document_->ExpansionExceeded()) return false;
  extractionFault_ = ExtractionFault::ExpandsBeyondLimit;
  return true;
}

// As the annotation reader looks for it.
bool TextExtraction::HasAnnotationStore() const {
  return FindAnnotationStore(document_->directory()).has_value();
}

uint16_t TextExtraction::PageCount() const { return document_->PageCount(); }

std::vector<const NoteRecord*> TextExtraction::NotesOf(uint32_t page) const {
  std::vector<const NoteRecord*> notes;
  // As in the text: only the document's own pages have notes.
  if (page == 0 || page > document_->PageCount()) return notes;
  const RecordList<NoteRecord>& all = notes_->Notes();
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].page == static_cast<int32_t>(page)) notes.push_back(&all[i]);
  }
  return notes;
}

bool TextExtraction::WriteText(platform::ByteSink& output, PageRange range, bool withNotes,
                               const PageDone& pageDone) {
  try {
    return WritePages(output, range, withNotes, pageDone);
  } catch (const std::bad_alloc&) {
    extractionFault_ = ExtractionFault::OutOfMemory;
    return false;
  }
}

bool TextExtraction::WritePages(platform::ByteSink& output, PageRange range, bool withNotes,
                                const PageDone& pageDone) {
  const uint32_t last = std::min<uint32_t>(range.last, document_->PageCount());
  const std::vector<const NoteRecord*> byPage =
      withNotes ? NotesByPage(notes_->Notes()) : std::vector<const NoteRecord*>();
  auto next = byPage.begin();
  for (uint32_t page = std::max<uint32_t>(range.first, 1); page <= last; ++page) {
    interpreter_->WritePage(output, static_cast<uint16_t>(page));
    // A page the working copy could not take is lost text, not a damaged page.
    if (document_->temporaryFault() == platform::TemporaryFault::WriteFailed) {
      fault_ = platform::TemporaryFault::WriteFailed;
      return false;
    }
    // Nor is a page the limit cut off: the text could never be whole.
    if (ExpandedBeyondLimit()) return false;
    while (next != byPage.end() && (*next)->page < static_cast<int32_t>(page)) ++next;
    for (; next != byPage.end() && (*next)->page == static_cast<int32_t>(page); ++next) {
      WriteNote(output, **next);
    }
    if (output.WriteFailed()) return false;
    if (pageDone && !pageDone(page)) return false;
  }
  return !output.WriteFailed();
}

bool TextExtraction::WritePageNotes(platform::ByteSink& output, uint16_t page) {
  for (const NoteRecord* note : NotesOf(page)) WriteNote(output, *note);
  return !output.WriteFailed();
}

OpenFailure WhyNotOpened(const std::string& path, const TextExtraction& job) {
  platform::File probe;
  if (!probe.Open(path, platform::OpenMode::Read))
    return {OpenFailure::Kind::File, probe.ErrorText()};
  if (job.temporaryFault() == platform::TemporaryFault::WriteFailed) {
    return {OpenFailure::Kind::TemporaryFile, kTemporaryNotWritten};
  }
  if (job.temporaryFault() == platform::TemporaryFault::NotMade) {
    return {OpenFailure::Kind::TemporaryFile, kTemporaryNotMade};
  }
  if (const std::string problem = ExtractionProblem(job); !problem.empty()) {
    const bool memory = job.extractionFault() == ExtractionFault::OutOfMemory;
    return {memory ? OpenFailure::Kind::OutOfMemory : OpenFailure::Kind::BeyondLimit, problem};
  }
  uint8_t header[kDocumentHeaderSize];
  if (probe.Read(header, sizeof header) < sizeof header ||
      !DocumentHeader::Parse(header).HasMagic()) {
    return {OpenFailure::Kind::NotDocument, kNotADocument};
  }
  return {OpenFailure::Kind::Damaged,
          "cannot be read: a table is cut short or a chunk does not expand"};
}

std::string OpenProblem(const std::string& path, const TextExtraction& job) {
  return WhyNotOpened(path, job).text;
}

std::string DamageText(const DamagedPage& damaged) {
  const std::string page = "page " + std::to_string(damaged.page);
  if (damaged.damage == PageDamage::CrcMismatch) {
    return page + " does not match its CRC-32: its text is not what was stored";
  }
  return page + " does not expand (result " + std::to_string(static_cast<int>(damaged.result)) +
         "): its text is missing";
}

std::vector<std::string> DamageLines(const TextExtraction& job) {
  std::vector<std::string> lines;
  for (const DamagedPage& damaged : job.DamagedPages()) lines.push_back(DamageText(damaged));
  return lines;
}

std::string JoinFirstLines(const std::vector<std::string>& lines, size_t named,
                           std::string_view moreWhat) {
  std::string joined;
  for (size_t i = 0; i < lines.size() && i < named; ++i) {
    joined += (i == 0 ? "" : "; ") + lines[i];
  }
  if (lines.size() > named) {
    joined += "; and " + std::to_string(lines.size() - named) + " more";
    joined += moreWhat;
  }
  return joined;
}

std::string DamageSummary(const TextExtraction& job) {
  return JoinFirstLines(DamageLines(job), kDamagedPagesNamed, " damaged pages");
}

std::string ExtractionProblem(const TextExtraction& job) {
  switch (job.extractionFault()) {
    case ExtractionFault::ExpandsBeyondLimit: {
      const std::string limit = "its limit of " + std::to_string(job.ExpansionLimit()) + " bytes";
      // Below 4 GiB the limit is what stopped it; above, the working copy's
      // 32-bit offsets may have.
      return job.ExpansionLimit() < kWorkingCopyReach
                 ? "expands beyond " + limit
                 : "expands beyond " + limit + " or beyond the 4 GiB a working copy can hold";
    }
    case ExtractionFault::OutOfMemory: return kNotesBeyondMemory;
    case ExtractionFault::None: return "";
  }
  return "";
}

}  // namespace exqrv
