// Code pages through the system's own tables: MultiByteToWideChar, then
// WideCharToMultiByte into UTF-8.
#include <windows.h>

#include <cctype>

#include "platform/code_page.h"

namespace exqrv::platform {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// "CP1252", "WINDOWS-1252", "1252", "UTF-8": the code page's number, or 0.
unsigned CodePageNumber(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name == "UTF-8" || name == "UTF8") return CP_UTF8;
  for (const char* prefix : {"WINDOWS-", "CP", "IBM"}) {
    if (name.rfind(prefix, 0) == 0) {
      name.erase(0, std::string_view(prefix).size());
      break;
    }
  }
  if (name.empty() || name.size() > 5 ||
      name.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  const unsigned number = static_cast<unsigned>(std::stoul(name));
  return IsValidCodePage(number) ? number : 0;
}

// The length of the character that starts at text[0], in bytes.
size_t CharacterLength(unsigned codePage, const char* text, size_t available) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (codePage == CP_UTF8) {
    const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
    // Only as far as the continuation bytes go: a broken sequence is one
    // undefined byte, not a character cut short.
    size_t valid = 1;
    while (valid < length && valid < available &&
           (static_cast<unsigned char>(text[valid]) & 0xC0) == 0x80) {
      ++valid;
    }
    return valid == available ? length : valid;
  }
  return IsDBCSLeadByteEx(codePage, lead) ? 2 : 1;
}

void AppendUtf8(const wchar_t* wide, int count, std::string& out) {
  if (count <= 0) return;
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, wide, count, out.data() + at, size, nullptr, nullptr);
}

// Whole characters only; one the code page does not define becomes U+FFFD.
void Decode(unsigned codePage, const char* text, size_t length, std::string& out) {
  std::wstring wide(length + 1, L'\0');
  const int whole =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, static_cast<int>(length),
                          wide.data(), static_cast<int>(wide.size()));
  if (whole > 0 || length == 0) {
    AppendUtf8(wide.data(), whole, out);
    return;
  }
  for (size_t at = 0; at < length;) {
    const size_t size = std::min(CharacterLength(codePage, text + at, length - at), length - at);
    wchar_t one[4];
    const int got = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text + at,
                                        static_cast<int>(size), one, 4);
    if (got > 0) AppendUtf8(one, got, out);
    else out += kReplacement;
    at += got > 0 ? size : 1;
  }
}

}  // namespace

const char kCodePageListHint[] = "a Windows code page, such as CP1252 or 1252";

CodePageDecoder::CodePageDecoder(const std::string& codePage)
    : codePage_(codePage.empty() ? 0 : CodePageNumber(codePage)) {}

CodePageDecoder::~CodePageDecoder() = default;

bool CodePageDecoder::Known() const { return codePage_ != 0; }

void CodePageDecoder::Convert(std::string_view bytes, std::string& out) {
  pending_.append(bytes);
  if (!Known()) {
    out += pending_;
    pending_.clear();
    return;
  }
  // Up to the last whole character; a cut one waits for the next piece.
  size_t whole = 0;
  while (whole < pending_.size()) {
    const size_t size =
        CharacterLength(codePage_, pending_.data() + whole, pending_.size() - whole);
    if (whole + size > pending_.size()) break;
    whole += size;
  }
  Decode(codePage_, pending_.data(), whole, out);
  pending_.erase(0, whole);
}

void CodePageDecoder::Finish(std::string& out) {
  if (!pending_.empty()) out += kReplacement;
  pending_.clear();
}

}  // namespace exqrv::platform
