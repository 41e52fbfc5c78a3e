// The text options as qrvtool's command lines give them.
#include "tools/text_options.h"

#include <cctype>
#include <cstdint>
#include <string_view>
#include <utility>

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

Option EncodingOption(std::string help) {
  return {.id = OptionId::Encoding,
          .name = "--encoding",
          .argument = "CODEPAGE",
          .wants = "a code page, such as CP1252",
          .help = std::move(help)};
}

std::vector<Option> TextOptionTable() {
  return {EncodingOption("converts the text from the Windows code page CODEPAGE (such as CP1252, "
                         "CP1250, CP1251) to UTF-8"),
          {.id = OptionId::Lf, .name = "--lf", .help = "turns CR LF into LF"},
          {.id = OptionId::PageBreak,
           .name = "--page-break",
           .help = "writes a form feed after each page and its notes"},
          {.id = OptionId::MaxExpansion,
           .name = "--max-expansion",
           .argument = "BYTES",
           .wants = "a number of bytes, such as 2000000000 or 2G",
           .help = "what one document may expand to in temporary files, in bytes or with K, M "
                   "or G (default: 256M or 200 times its size, whichever is more)"}};
}

std::string ApplyTextOption(const Option& option, const std::string& value, TextOptions& options) {
  switch (option.id) {
    case OptionId::MaxExpansion:
      if (!ParseByteCount(value, options.maxExpansion)) return Wants(option);
      break;
    case OptionId::Lf: options.lf = true; break;
    case OptionId::PageBreak: options.pageBreak = true; break;
    case OptionId::Encoding:
      options.encoding = value;
      if (!Recoder(options.encoding).Known()) {
        return "unknown code page '" + value + "' (" + platform::kCodePageListHint + ")";
      }
      break;
    default: break;
  }
  return {};
}

}  // namespace exqrv::tools
