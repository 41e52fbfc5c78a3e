// A document's text as JSON, for pipelines: each page with its number, its
// text and its notes apart, and a record of whether the document converted.
// JSON is UTF-8, so the text is always decoded from a code page.
#pragma once

#include <cstdint>
#include <string>

#include "app/text_extraction.h"
#include "app/text_options.h"
#include "platform/byte_stream.h"

namespace exqrv::tools {

enum class JsonForm {
  None,      // plain text
  Document,  // one object per document, its pages in an array
  Lines,     // one line per page, then one for the document
};

// The code page the text is decoded from when --encoding names none: the
// one most documents were written in.
inline constexpr char kDefaultJsonCodePage[] = "CP1252";

class JsonText {
 public:
  JsonText(platform::ByteSink& output, JsonForm form, const TextOptions& options,
           std::string document);

  // Writes the pages of job in range, each with its notes when withNotes;
  // pageDone as for TextExtraction::WriteText. False when the text could
  // not be written whole (error says why).
  bool WritePages(TextExtraction& job, PageRange range, bool withNotes, std::string& error,
                  const TextExtraction::PageDone& pageDone = {});
  // Ends the document's record: converted when whyNot is empty, else not,
  // and why. False when the output failed.
  bool Finish(const std::string& whyNot);

  // The name of the file convert writes for a document whose text file
  // would be textName ("BOOK.TXT" gives "BOOK.json" or "BOOK.jsonl").
  static std::string FileName(const std::string& textName, JsonForm form);

 private:
  bool Put(const std::string& bytes);
  // What comes before the first page of a Document: its name and code page.
  std::string Opening() const;
  bool WritePage(uint32_t page, const std::string& text, TextExtraction& job, bool withNotes);

  platform::ByteSink& output_;
  const JsonForm form_;
  TextOptions options_;
  const std::string document_;
  bool opened_ = false;
  uint32_t pages_ = 0;
};

}  // namespace exqrv::tools
