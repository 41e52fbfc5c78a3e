// The text options: the text goes through the filters on its way to the
// output, a page at a time at most, so that a page break falls exactly
// between two pages and no document is held in memory whole.
#include "tools/text_options.h"

#include <algorithm>
#include <cctype>

#include "platform/file.h"
#include "platform/platform.h"

namespace exqrv::tools {
namespace {

constexpr char kFormFeed = '\f';
constexpr uint32_t kChunk = 64 * 1024;
constexpr size_t kMaxDigits = 18;  // fits 64 bits
// A summary names this many damaged pages; a document damaged throughout
// would otherwise give a line of megabytes.
constexpr size_t kDamagedPagesNamed = 5;

bool WriteAll(platform::ByteSink& output, const std::string& bytes) {
  return output.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// CR LF to LF and the code page to UTF-8, in that order: CR and LF are the
// same bytes in every Windows code page, and never part of another character.
class TextFilter {
 public:
  explicit TextFilter(const TextOptions& options) : options_(options), recoder_(options.encoding) {}

  bool Put(std::string_view bytes, platform::ByteSink& output) {
    std::string joined;
    if (options_.lf) {
      JoinLineEnds(bytes, joined);
      bytes = joined;
    }
    if (options_.encoding.empty()) return output.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    std::string utf8;
    recoder_.Convert(bytes, utf8);
    return WriteAll(output, utf8);
  }

  // What waits for the next bytes goes out as it is.
  bool Flush(platform::ByteSink& output) {
    std::string rest;
    if (heldReturn_) rest += '\r';
    heldReturn_ = false;
    if (!options_.encoding.empty()) {
      std::string utf8;
      recoder_.Convert(rest, utf8);
      recoder_.Finish(utf8);
      rest = utf8;
    }
    return WriteAll(output, rest);
  }

  bool EndPage(platform::ByteSink& output) {
    if (!options_.pageBreak) return true;
    return Flush(output) && output.Write(&kFormFeed, 1);
  }

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
  bool EndPage() { return Pass() && filter_.EndPage(output_); }
  // After the last page: whatever the filters still hold.
  bool Finish() { return Pass() && filter_.Flush(output_) && output_.Flush(); }

 private:
  bool Pass() {
    if (passed_ && !pending_.empty()) passed_ = filter_.Put(pending_, output_);
    pending_.clear();
    return passed_;
  }

  TextFilter filter_;
  platform::ByteSink& output_;
  std::string pending_;
  bool passed_ = true;
};

// Digits, then K, M or G for binary multiples; at least one byte.
bool ParseByteCount(const std::string& text, uint64_t& bytes) {
  const size_t end = text.find_first_not_of("0123456789");
  const std::string number = text.substr(0, end);
  const std::string suffix = end == std::string::npos ? "" : text.substr(end);
  if (number.empty() || number.size() > kMaxDigits || suffix.size() > 1) return false;
  bytes = std::stoull(number);
  if (!suffix.empty()) {
    const size_t power = std::string_view("KMG").find(static_cast<char>(std::toupper(suffix[0])));
    if (power == std::string_view::npos) return false;
    const unsigned shift = 10 * static_cast<unsigned>(power + 1);
    if (bytes > (UINT64_MAX >> shift)) return false;
    bytes <<= shift;
  }
  return bytes > 0;
}

}  // namespace

void ApplyBeforeOpen(const TextOptions& options, TextExtraction& job) {
  if (options.maxExpansion != 0) job.LimitExpansion(options.maxExpansion);
}

std::vector<std::string> DamageLines(const TextExtraction& job) {
  std::vector<std::string> lines;
  for (const DamagedPage& damaged : job.DamagedPages()) lines.push_back(DamageText(damaged));
  return lines;
}

std::string DamageSummary(const TextExtraction& job) {
  const std::vector<std::string> lines = DamageLines(job);
  std::string summary;
  for (size_t i = 0; i < lines.size() && i < kDamagedPagesNamed; ++i) {
    summary += (i == 0 ? "" : "; ") + lines[i];
  }
  if (lines.size() > kDamagedPagesNamed) {
    summary += "; and " + std::to_string(lines.size() - kDamagedPagesNamed) + " more damaged pages";
  }
  return summary;
}

OptionTaken TakeTextOption(const Args& args, size_t& at, TextOptions& options,
                           std::string& error) {
  const std::string& word = args[at];
  if (word == "--max-expansion") {
    if (at + 1 >= args.size() || !ParseByteCount(args[at + 1], options.maxExpansion)) {
      error = "--max-expansion wants a number of bytes, such as 2000000000 or 2G";
      return OptionTaken::Bad;
    }
    ++at;
  } else if (word == "--lf") {
    options.lf = true;
  } else if (word == "--page-break") {
    options.pageBreak = true;
  } else if (word == "--encoding") {
    if (at + 1 >= args.size()) {
      error = "--encoding wants a code page, such as CP1252";
      return OptionTaken::Bad;
    }
    options.encoding = args[++at];
    if (!Recoder(options.encoding).Known()) {
      error = "unknown code page '" + options.encoding +
              "' (" + platform::kCodePageListHint + ")";
      return OptionTaken::Bad;
    }
  } else {
    return OptionTaken::No;
  }
  return OptionTaken::Yes;
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

}  // namespace exqrv::tools
