// The text options of qrvtool text and convert. The documents hold 8-bit
// characters of a Windows code page; people who read the text elsewhere want
// UTF-8, LF line ends and a mark between pages. Without options the bytes are
// exactly exqrv's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/text_extraction.h"
#include "platform/code_page.h"
#include "tools/commands.h"

namespace exqrv::tools {

struct TextOptions {
  std::string encoding;    // code page to convert to UTF-8 from; empty: none
  bool lf = false;         // CR LF becomes LF
  bool pageBreak = false;  // a form feed after each page
  // What a document may expand to, in bytes; 0: the default for its size.
  // Not a filter: the bytes written stay the same.
  uint64_t maxExpansion = 0;

  bool Plain() const { return encoding.empty() && !lf && !pageBreak; }
};

inline constexpr char kTextOptionsUsage[] =
    "[--encoding CODEPAGE] [--lf] [--page-break] [--max-expansion BYTES]";

enum class OptionTaken { No, Yes, Bad };

// Takes args[at] (and the value after it) when it is a text option, moving at
// to the last word used. Bad carries the usage message in error.
OptionTaken TakeTextOption(const Args& args, size_t& at, TextOptions& options,
                           std::string& error);

// Bytes of a code page to UTF-8, in pieces: a character cut between two
// pieces waits for the next. A byte the code page does not define becomes
// U+FFFD.
using Recoder = platform::CodePageDecoder;

// Prepares job for Open: the expansion limit of the options.
void ApplyBeforeOpen(const TextOptions& options, TextExtraction& job);

// Why a document with damaged pages is not whole: one line per damaged page
// ("page 2 does not expand ..."), none when it has none.
std::vector<std::string> DamageLines(const TextExtraction& job);
// The same in one line: the first few pages, then how many more.
std::string DamageSummary(const TextExtraction& job);

// Writes the pages in range of an open document to output through options;
// pageDone as for TextExtraction::WriteText. False when the text could not
// be written whole (error says why).
bool WriteDocumentText(TextExtraction& job, platform::ByteSink& output, const TextOptions& options,
                       PageRange range, bool withNotes, std::string& error,
                       const TextExtraction::PageDone& pageDone = {});

}  // namespace exqrv::tools
