// The conversion job's working state: an open document with its notes
// loaded, ready to write its text to an open file. exqrv writes whole
// documents into text files; qrvtool text writes page ranges to its output.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/file.h"
#include "platform/platform.h"

namespace exqrv {

class AnnotationSet;
class Document;

struct PageRange {
  uint32_t first = 1;
  uint32_t last = UINT16_MAX;
};

class TextExtraction {
 public:
  TextExtraction();
  ~TextExtraction();  // resets the notes, then closes the document

  // Opens the document and loads its notes. False when it cannot be opened,
  // is not a Quillor document, or a temporary file could not take its bytes.
  bool Open(const std::string& documentPath);
  uint16_t PageCount() const;

  // Called after each page's text and notes; false stops the text there.
  using PageDone = std::function<bool(uint32_t page)>;

  // Writes the text of the pages in range (within 1 to PageCount), each
  // followed by its notes when withNotes. False when a write failed, to the
  // output or to the working copy, or pageDone stopped it.
  bool WriteText(platform::File& output, PageRange range = {}, bool withNotes = true,
                 const PageDone& pageDone = {});

  // How the temporary files let this job down, if they did. NotMade after a
  // successful Open means the document's notes are missing.
  platform::TemporaryFault temporaryFault() const { return fault_; }

 private:
  bool HasAnnotationStore() const;

  std::unique_ptr<Document> document_;
  std::unique_ptr<AnnotationSet> notes_;
  platform::TemporaryFault fault_ = platform::TemporaryFault::None;
};

// Why job could not open the document at path, in words for a user: the
// system's reason first (a missing or unreadable file is not a damaged
// document), then the temporary folder's, then the document's.
std::string OpenProblem(const std::string& path, const TextExtraction& job);

}  // namespace exqrv
