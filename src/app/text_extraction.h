// The conversion job's working state: an open document with its notes
// loaded, ready to write its text to an open file. exqrv writes whole
// documents into text files; qrvtool text writes page ranges to its output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file.h"

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

  // Opens the document and loads its notes. False when it cannot be opened
  // or is not a Quillor document.
  bool Open(const std::string& documentPath);
  uint16_t PageCount() const;

  // Writes the text of the pages in range (within 1 to PageCount), each
  // followed by its notes when withNotes. False when a write failed.
  bool WriteText(platform::File& output, PageRange range = {}, bool withNotes = true);

 private:
  std::unique_ptr<Document> document_;
  std::unique_ptr<AnnotationSet> notes_;
};

}  // namespace exqrv
