// The text options of qrvtool and the library. The documents hold 8-bit
// characters of a Windows code page; people who read the text elsewhere want
// UTF-8, LF line ends and a mark between pages. Without options the bytes are
// exactly exqrv's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/text_extraction.h"
#include "platform/byte_stream.h"
#include "platform/code_page.h"

namespace exqrv {

struct TextOptions {
  std::string encoding;    // code page to convert to UTF-8 from; empty: none
  bool lf = false;         // CR LF becomes LF
  bool pageBreak = false;  // a form feed after each page
  // What a document may expand to, in bytes; 0: the default for its size.
  // Not a filter: the bytes written stay the same.
  uint64_t maxExpansion = 0;

  bool Plain() const { return encoding.empty() && !lf && !pageBreak; }
};

// Bytes of a code page to UTF-8, in pieces: a character cut between two
// pieces waits for the next. A byte the code page does not define becomes
// U+FFFD.
using Recoder = platform::CodePageDecoder;

// Prepares job for Open: the expansion limit of the options.
void ApplyBeforeOpen(const TextOptions& options, TextExtraction& job);

// Writes the pages in range of an open document to output through options;
// pageDone as for TextExtraction::WriteText. False when the text could not
// be written whole (error says why).
bool WriteDocumentText(TextExtraction& job, platform::ByteSink& output, const TextOptions& options,
                       PageRange range, bool withNotes, std::string& error,
                       const TextExtraction::PageDone& pageDone = {});

// One piece of text on its own (a note) through the encoding and line-end
// options; the page break is no part of it.
std::string FilteredText(std::string_view bytes, const TextOptions& options);

}  // namespace exqrv
