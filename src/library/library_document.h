// What one handle of the library is: a document opened on its own, with a
// private temporary folder, a prompter that records instead of showing, and
// the text options its caller chose. The C functions (exqrv.cpp) are thin
// over it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/text_extraction.h"
#include "app/text_options.h"
#include "exqrv.h"
#include "platform/byte_stream.h"
#include "platform/prompter.h"
#include "platform/temporary_folder.h"

namespace exqrv {

// The text the caller was last given, in memory that grows by realloc: a
// large block grows where it lies (the system moves its pages, nobody
// copies them), where a std::string would copy all it held at each step.
class TextBuffer final : public platform::ByteSink {
 public:
  TextBuffer() = default;
  ~TextBuffer() override;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  bool Write(const void* data, uint32_t count) override;
  bool Flush() override { return !failed_; }
  bool WriteFailed() const override { return failed_; }
  const std::string& ErrorText() const override { return error_; }

  // Starts empty again, keeping the memory.
  void Clear();
  std::string_view bytes() const { return {bytes_, size_}; }

 private:
  char* bytes_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool failed_ = false;
  std::string error_;
};

class LibraryDocument {
 public:
  LibraryDocument();
  ~LibraryDocument();  // the document first, then its temporary folder

  exqrv_result SetTemporaryFolder(std::string_view folder);
  exqrv_result SetMaxExpansion(uint64_t bytes);
  exqrv_result OpenFile(std::string_view path);
  exqrv_result OpenMemory(std::string_view bytes);
  unsigned PageCount() const;

  exqrv_result SetTextOptions(std::string_view encoding, bool lf, bool pageBreak);
  // The views stay valid until the next call.
  exqrv_result PageText(unsigned page, std::string_view& text);
  exqrv_result NoteCount(unsigned page, size_t& count);
  exqrv_result Note(unsigned page, size_t index, std::string_view& first, std::string_view& second);
  exqrv_result Text(std::string_view& text);
  exqrv_result WriteTextTo(exqrv_writer writer, void* context);

  // Why the last call failed; empty after one that succeeded.
  const std::string& message() const { return message_; }
  // What the last conversion noticed, one line each.
  const std::string& warnings() const { return warnings_; }

  // Sets the message and returns result: for the calls that fail before
  // they reach the document.
  exqrv_result Fail(exqrv_result result, std::string message);

 private:
  class Call;

  exqrv_result Open(const std::string& systemPath);
  exqrv_result WriteText(PageRange range, bool withNotes, platform::ByteSink& output);
  // What is said of a whole text that was written (damaged pages).
  exqrv_result WholeTextResult(exqrv_result written);
  exqrv_result CheckPage(unsigned page);
  void TakeWarnings(const std::string& about);

  std::string temporaryBase_;
  uint64_t maxExpansion_ = 0;
  // Declared before the job, so that the working copy is closed before its
  // folder is removed.
  std::unique_ptr<platform::OwnTemporaryFolder> folder_;
  std::unique_ptr<TextExtraction> job_;
  bool opened_ = false;
  TextOptions options_;
  platform::CountingPrompter prompter_;
  TextBuffer text_;
  std::string first_, second_;
  std::string message_;
  std::string warnings_;
};

}  // namespace exqrv
