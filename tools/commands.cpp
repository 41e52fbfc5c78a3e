// What qrvtool's commands share: how they fail, how they show a tag and a
// document's text.
#include "tools/commands.h"

#include <cstdio>

#include "app/converter_app.h"

namespace exqrv::tools {
namespace {

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// The length of the well-formed UTF-8 sequence at the start of bytes, or 0.
size_t SequenceLength(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || length > bytes.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(bytes[i]))) return 0;
  }
  return length;
}

void AppendEscaped(std::string& shown, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  shown += "\\x";
  shown += kHex[c >> 4];
  shown += kHex[c & 0xF];
}

}  // namespace

int Fail(const std::string& message) {
  std::fprintf(stderr, "qrvtool: %s\n", message.c_str());
  return kExitFailure;
}

int UsageError(const std::string& message, const CommandGrammar& grammar) {
  std::fprintf(stderr, "qrvtool: %s\nusage: qrvtool %s\n", message.c_str(),
               Synopsis(grammar).c_str());
  return kExitUsage;
}

std::string PrintableTag(const std::array<char, 4>& tag) {
  std::string text;
  for (char c : tag) text += (c >= 0x20 && c < 0x7F) ? c : '.';
  return text;
}

// The controls are C0 and DEL, and C1 (0x80 to 0x9F), which some terminals
// obey as a byte of its own and others as a UTF-8 character (0xC2 0x80 to
// 0xC2 0x9F); the C1 bytes within other UTF-8 characters stay.
std::string VisibleText(std::string_view bytes) {
  std::string shown;
  for (size_t at = 0; at < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[at]);
    const size_t length = SequenceLength(bytes.substr(at));
    if (length > 0) {
      const bool control = c == 0xC2 && static_cast<unsigned char>(bytes[at + 1]) <= 0x9F;
      for (size_t i = 0; i < length; ++i) {
        if (control) AppendEscaped(shown, static_cast<unsigned char>(bytes[at + i]));
        else shown += bytes[at + i];
      }
      at += length;
      continue;
    }
    switch (c) {
      case '\\': shown += "\\\\"; break;
      case '\r': shown += "\\r"; break;
      case '\n': shown += "\\n"; break;
      case '\t': shown += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) AppendEscaped(shown, c);
        else shown += static_cast<char>(c);
    }
    ++at;
  }
  return shown;
}

const char* WhyNotOpened(OpenResult opened) {
  return opened == OpenResult::FormatError ? "a chunk does not expand" : "a table is cut short";
}

}  // namespace exqrv::tools
