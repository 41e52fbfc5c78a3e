// One conversion job: a document in, its text file out.
#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "annotations/annotation_set.h"
#include "app/converter_app.h"
#include "app/text_extraction.h"
#include "container/chunk_directory.h"
#include "container/container.h"
#include "document/document.h"
#include "platform/interruption.h"
#include "platform/pending_file.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kAnnotationPrefix[] = "EXT";
// Offsets in a working copy are 32-bit: below this the limit decides.
constexpr uint64_t kWorkingCopyReach = uint64_t{1} << 32;

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

// As the annotation reader looks for it.
bool TextExtraction::HasAnnotationStore() const {
  return FindAnnotationStore(document_->directory()).has_value();
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
  }
  return !output.WriteFailed();
}

std::string OpenProblem(const std::string& path, const TextExtraction& job) {
  platform::File probe;
  if (!probe.Open(path, platform::OpenMode::Read)) return probe.ErrorText();
  if (job.temporaryFault() == platform::TemporaryFault::WriteFailed) {
    return kTemporaryNotWritten;
  }
  if (job.temporaryFault() == platform::TemporaryFault::NotMade) {
    return kTemporaryNotMade;
  }
  if (const std::string problem = ExtractionProblem(job); !problem.empty()) return problem;
  uint8_t header[kDocumentHeaderSize];
  if (probe.Read(header, sizeof header) < sizeof header || !DocumentHeader::Parse(header).HasMagic()) {
    return kNotADocument;
  }
  return "cannot be read: a table is cut short or a chunk does not expand";
}

std::string DamageText(const DamagedPage& damaged) {
  const std::string page = "page " + std::to_string(damaged.page);
  if (damaged.damage == PageDamage::CrcMismatch) {
    return page + " does not match its CRC-32: its text is not what was stored";
  }
  return page + " does not expand (result " + std::to_string(static_cast<int>(damaged.result)) +
         "): its text is missing";
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

// The folder part of a system path and the name in it; a root keeps its
// separator ("C:\\"), since "C:" alone names the current folder of C:.
std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  const size_t cut = path.find_last_of(platform::kDirectorySeparators);
  if (cut == std::string::npos) return {".", path};
  const bool root = cut == 0 || (cut == 2 && path[1] == ':');
  return {path.substr(0, root ? cut + 1 : cut), path.substr(cut + 1)};
}

int ConverterApp::ConvertDocument(const std::string& documentPath, const std::string& textPath) {
  lastProblem_.clear();
  lastDamagedPages_.clear();
  TextExtraction job;
  const bool opened = job.Open(documentPath);
  lastFault_ = job.temporaryFault();
  lastExtractionFault_ = job.extractionFault();
  if (!opened) {
    lastProblem_ = OpenProblem(documentPath, job);
    return 0;
  }
  // The text file is given its name only when it is whole, so a text name
  // that leads back to the document itself (a document named *.TXT
  // converted in place) would replace it: refused.
  if (platform::IsSameFile(documentPath, textPath)) {
    lastProblem_ = kWouldReplaceDocument;
    return 0;
  }
  const auto [folderPath, textName] = SplitFolder(textPath);
  platform::TargetFolder ownFolder;
  const platform::TargetFolder* folder = openTarget_;
  if (folder == nullptr || folder->path() != folderPath) {
    if (!ownFolder.Open(folderPath)) {
      lastProblem_ = "cannot write into " + folderPath + ": " + ownFolder.ErrorText();
      return 0;
    }
    folder = &ownFolder;
  }
  platform::PendingFile text;
  if (!text.Create(*folder, "exqrv")) {
    lastProblem_ = "cannot write into " + folderPath + ": " + text.ErrorText();
    return 0;
  }
  const bool written = job.WriteText(text.file(), {}, true, [&](uint32_t page) {
    if (pageDone_ && !pageDone_(page)) return false;
    if (pageWritten_ && text.file().Flush()) pageWritten_(page);
    return true;
  });
  lastFault_ = job.temporaryFault();
  lastExtractionFault_ = job.extractionFault();
  lastDamagedPages_ = job.DamagedPages();
  if (!written) {
    // Named by the temporary fault when that was the cause.
    if (lastFault_ == platform::TemporaryFault::None) {
      lastProblem_ = lastExtractionFault_ != ExtractionFault::None
                         ? ExtractionProblem(job)
                         : "cannot write " + textPath + ": " + text.file().ErrorText();
    }
    return 0;
  }
  std::string error;
  if (text.Place(textName, true, error) != platform::Placement::Placed) {
    lastProblem_ = "cannot write " + textPath + ": " + error;
    return 0;
  }
  return 1;
}

}  // namespace exqrv
