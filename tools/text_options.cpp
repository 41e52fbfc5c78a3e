// The text options as qrvtool's command lines give them.
#include "tools/text_options.h"

#include <cctype>

namespace exqrv::tools {
namespace {

constexpr size_t kMaxDigits = 18;  // fits 64 bits

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

OptionTaken TakeTextOption(const Args& args, size_t& at, TextOptions& options, std::string& error) {
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
      error = "unknown code page '" + options.encoding + "' (" + platform::kCodePageListHint + ")";
      return OptionTaken::Bad;
    }
  } else {
    return OptionTaken::No;
  }
  return OptionTaken::Yes;
}

}  // namespace exqrv::tools
