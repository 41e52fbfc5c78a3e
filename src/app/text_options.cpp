// The text options: one page at a time goes into a spool file in the private
// temporary folder, and from there through the filters into the output, so
// that a page break falls exactly between two pages and no document is held
// in memory whole.
#include "app/text_options.h"

#include <algorithm>

#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kFormFeed = '\f';
constexpr char kSpoolPrefix[] = "PGT";
constexpr uint32_t kChunk = 64 * 1024;

bool WriteAll(platform::File& output, const std::string& bytes) {
  return output.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// A temporary file that is deleted with its owner.
class Spool {
 public:
  Spool() : name_(platform::ReserveTemporaryName(kSpoolPrefix)) {
    if (!name_.empty()) file_.Open(name_, platform::OpenMode::ReadWrite);
  }
  ~Spool() {
    file_.Close();
    if (!name_.empty()) platform::CurrentPlatform().DeleteFile(name_);
  }
  bool IsOpen() const { return file_.IsOpen(); }
  platform::File& file() { return file_; }

 private:
  std::string name_;
  platform::File file_;
};

// CR LF to LF and the code page to UTF-8, in that order: CR and LF are the
// same bytes in every Windows code page, and never part of another character.
class TextFilter {
 public:
  explicit TextFilter(const TextOptions& options) : options_(options), recoder_(options.encoding) {}

  // The filtered bytes of the next piece.
  std::string Put(std::string_view bytes) {
    std::string joined;
    if (options_.lf) {
      JoinLineEnds(bytes, joined);
      bytes = joined;
    }
    if (options_.encoding.empty()) return std::string(bytes);
    std::string utf8;
    recoder_.Convert(bytes, utf8);
    return utf8;
  }

  // What waits for the next bytes, as it is.
  std::string Flush() {
    std::string rest;
    if (heldReturn_) rest += '\r';
    heldReturn_ = false;
    if (options_.encoding.empty()) return rest;
    std::string utf8;
    recoder_.Convert(rest, utf8);
    recoder_.Finish(utf8);
    return utf8;
  }

  // What closes a page.
  std::string EndPage() { return options_.pageBreak ? Flush() + kFormFeed : std::string(); }

 private:
  // A CR at the end of a piece waits: the LF may start the next one.
  void JoinLineEnds(std::string_view bytes, std::string& out) {
    out.reserve(bytes.size() + 1);
    for (const char c : bytes) {
      if (heldReturn_) {
        heldReturn_ = false;
        if (c == '\n') {
          out += '\n';
          continue;
        }
        out += '\r';
      }
      if (c == '\r') heldReturn_ = true;
      else out += c;
    }
  }

  const TextOptions& options_;
  Recoder recoder_;
  bool heldReturn_ = false;
};

// Moves the spool's first length bytes through the filter, then rewinds it
// for the next page.
bool Drain(platform::File& spool, int64_t length, TextFilter& filter, platform::File& output) {
  std::string piece(kChunk, '\0');
  spool.Seek(0, platform::SeekOrigin::Begin);
  for (int64_t done = 0; done < length;) {
    const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(kChunk, length - done));
    const uint32_t got = spool.Read(piece.data(), want);
    if (got == 0) return false;
    if (!WriteAll(output, filter.Put(std::string_view(piece.data(), got)))) return false;
    done += got;
  }
  spool.Seek(0, platform::SeekOrigin::Begin);
  return true;
}

}  // namespace

void ApplyBeforeOpen(const TextOptions& options, TextExtraction& job) {
  if (options.maxExpansion != 0) job.LimitExpansion(options.maxExpansion);
}

bool WriteDocumentText(TextExtraction& job, platform::File& output, const TextOptions& options,
                       PageRange range, bool withNotes, std::string& error,
                       const TextExtraction::PageDone& pageDone) {
  if (options.Plain()) {
    if (job.WriteText(output, range, withNotes, pageDone) && output.Flush()) return true;
    error = output.ErrorText();
    return false;
  }
  Spool spool;
  if (!spool.IsOpen()) {
    error = "no temporary file could be made for the text options";
    return false;
  }
  TextFilter filter(options);
  bool moved = true;
  const auto eachPage = [&](uint32_t page) {
    const int64_t length = spool.file().Position();
    moved = Drain(spool.file(), length, filter, output) && WriteAll(output, filter.EndPage());
    return moved && (!pageDone || pageDone(page));
  };
  const bool spooled = job.WriteText(spool.file(), range, withNotes, eachPage);
  if (spooled && WriteAll(output, filter.Flush()) && output.Flush()) return true;
  if (spool.file().WriteFailed()) error = "the spool file: " + spool.file().ErrorText();
  else if (!moved) error = output.ErrorText().empty() ? "the spool file cannot be read" : output.ErrorText();
  else error = output.ErrorText();
  return false;
}

std::string FilteredText(std::string_view bytes, const TextOptions& options) {
  TextFilter filter(options);
  std::string text = filter.Put(bytes);
  return text + filter.Flush();
}

}  // namespace exqrv
