// The conversion job's working state: an open document with its notes
// loaded, ready to write its text to a sink. exqrv writes whole documents
// into text files; qrvtool text writes page ranges to its output; a library
// user may take the text into memory. Only the document's working copy and
// the notes' work file are temporary files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "pagetext/page_interpreter.h"
#include "platform/byte_stream.h"
#include "platform/platform.h"

namespace exqrv {

class AnnotationSet;
struct NoteRecord;

// Why a document failed that opened as a Quillor document, when the reason
// is neither a damaged block nor a temporary file.
enum class ExtractionFault {
  None,
  ExpandsBeyondLimit,  // its temporary files would pass the expansion limit
  OutOfMemory,         // loading it (its notes, most likely) ran out of memory
};

// A page's text and notes written and flushed to the output's file.
using PageWritten = std::function<void(uint32_t page)>;

struct PageRange {
  uint32_t first = 1;
  uint32_t last = UINT16_MAX;
};

class TextExtraction {
 public:
  TextExtraction();
  ~TextExtraction();  // resets the notes, then closes the document

  // What the document may expand to (working copy and annotation work file
  // together), in bytes; before Open. Without it: codec::DefaultExpansionLimit
  // of the document's size.
  void LimitExpansion(uint64_t bytes);

  // Opens the document and loads its notes. False when it cannot be opened,
  // is not a Quillor document, a temporary file could not take its bytes, or
  // extractionFault() says why.
  bool Open(const std::string& documentPath);
  uint16_t PageCount() const;

  // Called after each page's text and notes; false stops the text there.
  using PageDone = std::function<bool(uint32_t page)>;

  // Writes the text of the pages in range (within 1 to PageCount), each
  // followed by its notes when withNotes. False when a write failed, to the
  // output or to the working copy, extractionFault() says why, or pageDone
  // stopped it.
  bool WriteText(platform::ByteSink& output, PageRange range = {}, bool withNotes = true,
                 const PageDone& pageDone = {});
  // Writes the texts of one page's notes (page counted from 1), as
  // WriteText writes them after the page's text; nothing for a page the
  // document does not have. False when a write failed.
  bool WritePageNotes(platform::ByteSink& output, uint16_t page);

  // The notes of one page in the order its text is followed by them (none
  // for a page the document does not have); each is written as its first
  // text, then its second. Valid while the job lives.
  std::vector<const NoteRecord*> NotesOf(uint32_t page) const;

  // How the temporary files let this job down, if they did. NotMade after a
  // successful Open means the document's notes are missing.
  platform::TemporaryFault temporaryFault() const { return fault_; }
  // Why the document failed on its own account, if it did.
  ExtractionFault extractionFault() const { return extractionFault_; }
  // The limit that applied to this document (after Open).
  uint64_t ExpansionLimit() const;

  // The pages written so far whose blocks are damaged: their text is
  // missing, or not what was stored. The text written stays exactly as it
  // is; a document with damaged pages has not been converted whole.
  std::vector<DamagedPage> DamagedPages() const;

 private:
  bool OpenDocument(const std::string& documentPath);
  bool WritePages(platform::ByteSink& output, PageRange range, bool withNotes,
                  const PageDone& pageDone);
  bool HasAnnotationStore() const;
  // True (and the fault noted) when the document went past its limit.
  bool ExpandedBeyondLimit();

  std::unique_ptr<Document> document_;
  std::unique_ptr<AnnotationSet> notes_;
  std::unique_ptr<PageInterpreter> interpreter_;
  platform::TemporaryFault fault_ = platform::TemporaryFault::None;
  ExtractionFault extractionFault_ = ExtractionFault::None;
};

// Why job could not open the document at path, in words for a user: the
// system's reason first (a missing or unreadable file is not a damaged
// document), then the temporary folder's, then the document's; and which
// kind of reason it is.
struct OpenFailure {
  enum class Kind { File, TemporaryFile, BeyondLimit, OutOfMemory, NotDocument, Damaged };
  Kind kind;
  std::string text;
};
OpenFailure WhyNotOpened(const std::string& path, const TextExtraction& job);
std::string OpenProblem(const std::string& path, const TextExtraction& job);
// Why job failed on the document's own account (past its expansion limit,
// out of memory), in words for a user; empty when it did not.
std::string ExtractionProblem(const TextExtraction& job);

// What is wrong with one damaged page, in words for a user ("page 2 does
// not expand (result 8): its text is missing").
std::string DamageText(const DamagedPage& damaged);
// Why a document with damaged pages is not whole: one line per damaged page
// written so far, none when it has none.
std::vector<std::string> DamageLines(const TextExtraction& job);
// The same in one line: the first few pages, then how many more.
std::string DamageSummary(const TextExtraction& job);
// The first `named` of lines joined with "; ", then "; and N more" and
// moreWhat ("; and 3 more damaged pages") for the rest.
std::string JoinFirstLines(const std::vector<std::string>& lines, size_t named,
                           std::string_view moreWhat);

}  // namespace exqrv
