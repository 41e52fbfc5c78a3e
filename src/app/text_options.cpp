// The text options: the text goes through the filters on its way to the
// output, a page at a time at most, so that a page break falls exactly
// between two pages and no document is held in memory whole.
#include "app/text_options.h"

#include "platform/byte_stream.h"

namespace exqrv {
namespace {

constexpr char kFormFeed = '\f';
constexpr uint32_t kChunk = 64 * 1024;

bool WriteAll(platform::ByteSink& output, const std::string& bytes) {
  return output.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

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

// The filters as a sink in front of the output. What the page interpreter
// writes item by item is gathered into pieces of up to kChunk bytes, so that
// the filters work on pieces, not on words; the filters themselves carry a
// CR or a character cut between two pieces over to the next.
class FilteredOutput final : public platform::ByteSink {
 public:
  FilteredOutput(const TextOptions& options, platform::ByteSink& output)
      : filter_(options), output_(output) {}

  bool Write(const void* data, uint32_t count) override {
    if (WriteFailed()) return false;
    pending_.append(static_cast<const char*>(data), count);
    return pending_.size() < kChunk || Pass();
  }
  // Passes what is gathered through the filters; what waits in them for
  // the next bytes stays there.
  bool Flush() override { return Pass() && output_.Flush(); }
  bool WriteFailed() const override { return !passed_ || output_.WriteFailed(); }
  const std::string& ErrorText() const override { return output_.ErrorText(); }

  // After each page: its bytes go out, then the page break if asked for.
  bool EndPage() { return Pass() && WriteAll(output_, filter_.EndPage()); }
  // After the last page: whatever the filters still hold.
  bool Finish() { return Pass() && WriteAll(output_, filter_.Flush()) && output_.Flush(); }

 private:
  bool Pass() {
    if (passed_ && !pending_.empty()) passed_ = WriteAll(output_, filter_.Put(pending_));
    pending_.clear();
    return passed_;
  }

  TextFilter filter_;
  platform::ByteSink& output_;
  std::string pending_;
  bool passed_ = true;
};

}  // namespace

void ApplyBeforeOpen(const TextOptions& options, TextExtraction& job) {
  if (options.maxExpansion != 0) job.LimitExpansion(options.maxExpansion);
}

bool WriteDocumentText(TextExtraction& job, platform::ByteSink& output, const TextOptions& options,
                       PageRange range, bool withNotes, std::string& error,
                       const TextExtraction::PageDone& pageDone) {
  if (options.Plain()) {
    if (job.WriteText(output, range, withNotes, pageDone) && output.Flush()) return true;
    error = output.ErrorText();
    return false;
  }
  FilteredOutput filtered(options, output);
  const auto eachPage = [&](uint32_t page) {
    return filtered.EndPage() && (!pageDone || pageDone(page));
  };
  if (job.WriteText(filtered, range, withNotes, eachPage) && filtered.Finish()) return true;
  error = output.ErrorText();
  return false;
}

std::string FilteredText(std::string_view bytes, const TextOptions& options) {
  TextFilter filter(options);
  std::string text = filter.Put(bytes);
  return text + filter.Flush();
}

}  // namespace exqrv
