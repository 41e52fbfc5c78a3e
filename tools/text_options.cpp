// The text options: one page at a time goes into a spool file in the private
// temporary folder, and from there through the filters into the output, so
// that a page break falls exactly between two pages and no document is held
// in memory whole.
#include "tools/text_options.h"

#include <algorithm>
#include <cctype>

#include "platform/file.h"
#include "platform/platform.h"

namespace exqrv::tools {
namespace {

constexpr char kFormFeed = '\f';
constexpr char kSpoolPrefix[] = "PGT";
constexpr uint32_t kChunk = 64 * 1024;
constexpr size_t kMaxDigits = 18;  // fits 64 bits
// A summary names this many damaged pages; a document damaged throughout
// would otherwise give a line of megabytes.
constexpr size_t kDamagedPagesNamed = 5;

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

  bool Put(std::string_view bytes, platform::File& output) {
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
  bool Flush(platform::File& output) {
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

  bool EndPage(platform::File& output) {
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

// Moves the spool's first length bytes through the filter, then rewinds it
// for the next page.
bool Drain(platform::File& spool, int64_t length, TextFilter& filter, platform::File& output) {
  std::string piece(kChunk, '\0');
  spool.Seek(0, platform::SeekOrigin::Begin);
  for (int64_t done = 0; done < length;) {
    const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(kChunk, length - done));
    const uint32_t got = spool.Read(piece.data(), want);
    if (got == 0) return false;
    if (!filter.Put(std::string_view(piece.data(), got), output)) return false;
    done += got;
  }
  spool.Seek(0, platform::SeekOrigin::Begin);
  return true;
}

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
    moved = Drain(spool.file(), length, filter, output) && filter.EndPage(output);
    return moved && (!pageDone || pageDone(page));
  };
  const bool spooled = job.WriteText(spool.file(), range, withNotes, eachPage);
  if (spooled && filter.Flush(output) && output.Flush()) return true;
  if (spool.file().WriteFailed()) error = "the spool file: " + spool.file().ErrorText();
  else if (!moved) error = output.ErrorText().empty() ? "the spool file cannot be read" : output.ErrorText();
  else error = output.ErrorText();
  return false;
}

}  // namespace exqrv::tools
