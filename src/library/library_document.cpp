#include "library/library_document.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "annotations/records.h"
#include "app/messages.h"
#include "platform/byte_stream.h"
#include "platform/file.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kSourcePrefix[] = "SRC";
constexpr uint32_t kPiece = 1u << 30;
// What a caller's writer is handed at a time: the page interpreter writes
// word by word, and a call per word would cost more than the words.
constexpr size_t kWriterPiece = 256 * 1024;
constexpr size_t kFirstTextCapacity = 64 * 1024;

// Hands the text to the caller's writer in pieces of kWriterPiece bytes.
class WriterSink final : public platform::ByteSink {
 public:
  WriterSink(exqrv_writer writer, void* context) : writer_(writer), context_(context) {
    pending_.reserve(kWriterPiece);
  }
  bool Write(const void* data, uint32_t count) override {
    if (stopped_) return false;
    pending_.append(static_cast<const char*>(data), count);
    return pending_.size() < kWriterPiece || Flush();
  }
  bool Flush() override {
    if (!stopped_ && !pending_.empty())
      stopped_ = writer_(context_, pending_.data(), pending_.size()) != 0;
    pending_.clear();
    return !stopped_;
  }
  bool WriteFailed() const override { return stopped_; }
  const std::string& ErrorText() const override { return kStopped; }

 private:
  static inline const std::string kStopped = "the writer asked to stop";
  exqrv_writer writer_;
  void* context_;
  std::string pending_;
  bool stopped_ = false;
};

exqrv_result ResultOf(OpenFailure::Kind kind) {
  switch (kind) {
    case OpenFailure::Kind::File: return EXQRV_ERROR_FILE;
    case OpenFailure::Kind::TemporaryFile: return EXQRV_ERROR_TEMPORARY;
    case OpenFailure::Kind::BeyondLimit: return EXQRV_ERROR_LIMIT;
    case OpenFailure::Kind::OutOfMemory: return EXQRV_ERROR_MEMORY;
    case OpenFailure::Kind::NotDocument: return EXQRV_ERROR_NOT_DOCUMENT;
    case OpenFailure::Kind::Damaged: return EXQRV_ERROR_DAMAGED;
  }
  return EXQRV_ERROR_DAMAGED;
}

}  // namespace

TextBuffer::~TextBuffer() { std::free(bytes_); }

bool TextBuffer::Write(const void* data, uint32_t count) {
  if (failed_) return false;
  if (count > capacity_ - size_) {
    const size_t wanted = std::max<size_t>({size_ + count, capacity_ * 2, kFirstTextCapacity});
    char* grown = static_cast<char*>(std::realloc(bytes_, wanted));
    if (grown == nullptr) {
      failed_ = true;
      error_ = "out of memory";
      return false;
    }
    bytes_ = grown;
    capacity_ = wanted;
  }
  std::memcpy(bytes_ + size_, data, count);
  size_ += count;
  return true;
}

void TextBuffer::Clear() {
  size_ = 0;
  failed_ = false;
  error_.clear();
}

// What every call on the document does first: forgets the last call's
// message, and sends what the core shows or makes to this handle alone (its
// prompter, its temporary folder) for as long as the call lasts, on the
// calling thread only.
class LibraryDocument::Call {
 public:
  explicit Call(LibraryDocument& document)
      : prompter_(&document.prompter_),
        folder_(document.folder_
                    ? std::make_unique<platform::TemporaryFolderScope>(*document.folder_)
                    : nullptr) {
    document.message_.clear();
    document.warnings_.clear();
    document.prompter_.Clear();
  }

 private:
  platform::PrompterScope prompter_;
  std::unique_ptr<platform::TemporaryFolderScope> folder_;
};

LibraryDocument::LibraryDocument() = default;

LibraryDocument::~LibraryDocument() {
  if (!folder_) return;
  const platform::TemporaryFolderScope scope(*folder_);
  job_.reset();
}

exqrv_result LibraryDocument::Fail(exqrv_result result, std::string message) {
  message_ = std::move(message);
  return result;
}

exqrv_result LibraryDocument::SetTemporaryFolder(std::string_view folder) {
  if (folder_) return Fail(EXQRV_ERROR_ARGUMENT, "the temporary folder is set before opening");
  message_.clear();
  temporaryBase_ = folder;
  return EXQRV_OK;
}

exqrv_result LibraryDocument::SetMaxExpansion(uint64_t bytes) {
  if (folder_) return Fail(EXQRV_ERROR_ARGUMENT, "the expansion limit is set before opening");
  message_.clear();
  maxExpansion_ = bytes;
  return EXQRV_OK;
}

exqrv_result LibraryDocument::OpenFile(std::string_view path) {
  if (folder_) return Fail(EXQRV_ERROR_ARGUMENT, "a handle opens one document");
  folder_ = std::make_unique<platform::OwnTemporaryFolder>(temporaryBase_);
  const Call call(*this);
  return Open(platform::VerbatimPath(path));
}

// The document is a file to the core: the bytes go into one in the private
// folder first, which goes with the handle.
exqrv_result LibraryDocument::OpenMemory(std::string_view bytes) {
  if (folder_) return Fail(EXQRV_ERROR_ARGUMENT, "a handle opens one document");
  folder_ = std::make_unique<platform::OwnTemporaryFolder>(temporaryBase_);
  const Call call(*this);
  const std::string name = platform::ReserveTemporaryName(kSourcePrefix);
  if (name.empty()) {
    const std::string why = platform::TemporaryFolderProblem();
    return Fail(EXQRV_ERROR_TEMPORARY, why.empty() ? kTemporaryNotMade : why);
  }
  platform::File copy;
  bool written = copy.Open(name, platform::OpenMode::CreateNew);
  for (size_t done = 0; written && done < bytes.size();) {
    const uint32_t piece = static_cast<uint32_t>(std::min<size_t>(kPiece, bytes.size() - done));
    written = copy.Write(bytes.data() + done, piece);
    done += piece;
  }
  written = copy.Close() && written;
  if (!written) {
    platform::CurrentPlatform().DeleteFile(name);
    return Fail(
        EXQRV_ERROR_TEMPORARY,
        "the document's bytes could not be written into a temporary file: " + copy.ErrorText());
  }
  return Open(name);
}

exqrv_result LibraryDocument::Open(const std::string& systemPath) {
  job_ = std::make_unique<TextExtraction>();
  if (maxExpansion_ != 0) job_->LimitExpansion(maxExpansion_);
  if (!job_->Open(systemPath)) {
    OpenFailure failure = WhyNotOpened(systemPath, *job_);
    if (failure.kind == OpenFailure::Kind::TemporaryFile) {
      if (const std::string why = platform::TemporaryFolderProblem(); !why.empty())
        failure.text = why;
    }
    return Fail(ResultOf(failure.kind), std::move(failure.text));
  }
  // Without its notes the text would not be the document's.
  if (job_->temporaryFault() == platform::TemporaryFault::NotMade) {
    return Fail(EXQRV_ERROR_TEMPORARY, std::string(kTemporaryNotMade) + kSoNotesMissing);
  }
  opened_ = true;
  return EXQRV_OK;
}

unsigned LibraryDocument::PageCount() const { return opened_ ? job_->PageCount() : 0; }

exqrv_result LibraryDocument::SetTextOptions(std::string_view encoding, bool lf, bool pageBreak) {
  message_.clear();
  if (!encoding.empty() && !Recoder(std::string(encoding)).Known()) {
    return Fail(EXQRV_ERROR_ARGUMENT, "unknown code page '" + std::string(encoding) + "' (" +
                                          platform::kCodePageListHint + ")");
  }
  options_.encoding = encoding;
  options_.lf = lf;
  options_.pageBreak = pageBreak;
  return EXQRV_OK;
}

exqrv_result LibraryDocument::CheckPage(unsigned page) {
  if (!opened_) return Fail(EXQRV_ERROR_ARGUMENT, "no document is open");
  if (page < 1 || page > job_->PageCount()) {
    return Fail(EXQRV_ERROR_ARGUMENT, "page " + std::to_string(page) +
                                          " is not in the document's " +
                                          std::to_string(job_->PageCount()) + " pages");
  }
  return EXQRV_OK;
}

exqrv_result LibraryDocument::PageText(unsigned page, std::string_view& text) {
  if (const exqrv_result checked = CheckPage(page); checked != EXQRV_OK) return checked;
  const Call call(*this);
  text_.Clear();
  const exqrv_result result = WriteText({page, page}, false, text_);
  text = text_.bytes();
  if (result != EXQRV_OK) return result;
  for (const DamagedPage& damaged : job_->DamagedPages()) {
    if (damaged.page == page) return Fail(EXQRV_ERROR_DAMAGED, DamageText(damaged));
  }
  return EXQRV_OK;
}

// The text goes into memory: the caller wants bytes, and no device has a
// part in that.
exqrv_result LibraryDocument::Text(std::string_view& text) {
  if (!opened_) return Fail(EXQRV_ERROR_ARGUMENT, "no document is open");
  const Call call(*this);
  text_.Clear();
  const exqrv_result result = WriteText({}, true, text_);
  text = text_.bytes();
  return WholeTextResult(result);
}

exqrv_result LibraryDocument::WriteTextTo(exqrv_writer writer, void* context) {
  if (!opened_) return Fail(EXQRV_ERROR_ARGUMENT, "no document is open");
  const Call call(*this);
  WriterSink output(writer, context);
  const exqrv_result written = WriteText({}, true, output);
  if (output.WriteFailed()) return Fail(EXQRV_ERROR_STOPPED, output.ErrorText());
  return WholeTextResult(written);
}

exqrv_result LibraryDocument::WholeTextResult(exqrv_result written) {
  if (written != EXQRV_OK) return written;
  if (const std::string damage = DamageSummary(*job_); !damage.empty()) {
    return Fail(EXQRV_ERROR_DAMAGED, damage);
  }
  return EXQRV_OK;
}

exqrv_result LibraryDocument::WriteText(PageRange range, bool withNotes,
                                        platform::ByteSink& output) {
  std::string error;
  const auto pageDone = [this](uint32_t page) {
    TakeWarnings("page " + std::to_string(page));
    return true;
  };
  const bool written =
      WriteDocumentText(*job_, output, options_, range, withNotes, error, pageDone);
  if (job_->temporaryFault() == platform::TemporaryFault::WriteFailed) {
    return Fail(EXQRV_ERROR_TEMPORARY, kTemporaryNotWritten);
  }
  if (const std::string problem = ExtractionProblem(*job_); !problem.empty()) {
    const bool memory = job_->extractionFault() == ExtractionFault::OutOfMemory;
    return Fail(memory ? EXQRV_ERROR_MEMORY : EXQRV_ERROR_LIMIT, problem);
  }
  // Only memory fails a sink in memory (a writer's stop is its caller's).
  if (!written) return Fail(EXQRV_ERROR_MEMORY, "the text: " + error);
  return EXQRV_OK;
}

void LibraryDocument::TakeWarnings(const std::string& about) {
  for (const std::string& line : prompter_.Lines(about))
    warnings_ += (warnings_.empty() ? "" : "\n") + line;
  prompter_.Clear();
}

exqrv_result LibraryDocument::NoteCount(unsigned page, size_t& count) {
  if (const exqrv_result checked = CheckPage(page); checked != EXQRV_OK) return checked;
  message_.clear();
  count = job_->NotesOf(page).size();
  return EXQRV_OK;
}

exqrv_result LibraryDocument::Note(unsigned page, size_t index, std::string_view& first,
                                   std::string_view& second) {
  if (const exqrv_result checked = CheckPage(page); checked != EXQRV_OK) return checked;
  const std::vector<const NoteRecord*> notes = job_->NotesOf(page);
  if (index >= notes.size()) {
    return Fail(EXQRV_ERROR_ARGUMENT,
                "page " + std::to_string(page) + " has " + std::to_string(notes.size()) + " notes");
  }
  const Call call(*this);
  first_ = options_.Plain() ? notes[index]->text1 : FilteredText(notes[index]->text1, options_);
  second_ = options_.Plain() ? notes[index]->text2 : FilteredText(notes[index]->text2, options_);
  first = first_;
  second = second_;
  return EXQRV_OK;
}

}  // namespace exqrv
