// The page content interpreter: reads one page of an open document command
// by command and writes the characters of its text runs to an output,
// stepping over every other command.
#pragma once

#include <cstdint>
#include <vector>

#include "document/document.h"
#include "platform/byte_stream.h"

namespace exqrv {

// What the page interpreter shows for each command it does not know.
inline constexpr char kUnexpectedCommandMessage[] = "unexpect command!\n";

class PageInterpreter {
 public:
  // The document must stay open for the interpreter's life.
  explicit PageInterpreter(Document& document) : document_(document) {}

  // Writes the page's text (page counted from 1) to output, loading the page
  // into the working copy first when the document has one. 1 when the
  // page's stream was run to its end, 0 when the page was refused (no such
  // page, no document or output open, a page that does not load) and
  // nothing was written. Write failures are the output's to report.
  int32_t WritePage(platform::ByteSink& output, uint16_t page);
  // Runs one command whose code was just read from the document's file:
  // 1 for the end of the page, else 0.
  int32_t ExecuteCommand(platform::ByteSink& output, uint16_t code);

  // True when the last page written ran out of data before its CT.
  bool PageWasCutShort() const { return pageEnded_; }

 private:
  // The page for one kind of output: a File's writes stay inline, any
  // other sink costs one virtual call per text item.
  template <typename Output>
  void RunPage(Output& output);
  template <typename Output>
  int32_t Execute(Output& output, uint16_t code);
  template <typename Output>
  bool RunText(Output& output);
  bool Skip(uint32_t count);
  bool ReadField(void* buffer, uint32_t count);
  bool SkipCounted();
  bool SkipInlineImage();

  Document& document_;
  // Set when the stream ran out of data.
  bool pageEnded_ = false;
  std::vector<uint8_t> characters_;  // the item being written, when not read in place
};

}  // namespace exqrv
