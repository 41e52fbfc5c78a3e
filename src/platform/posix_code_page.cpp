// Code pages through iconv.
#include <errno.h>
#include <iconv.h>

#include "platform/code_page.h"

namespace exqrv::platform {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

const char kCodePageListHint[] = "'iconv --list' shows the supported ones";

CodePageDecoder::CodePageDecoder(const std::string& codePage)
    : converter_(codePage.empty() ? kNoConverter : ::iconv_open("UTF-8", codePage.c_str())) {}

CodePageDecoder::~CodePageDecoder() {
  if (Known()) ::iconv_close(static_cast<iconv_t>(converter_));
}

bool CodePageDecoder::Known() const { return converter_ != kNoConverter; }

void CodePageDecoder::Convert(std::string_view bytes, std::string& out) {
  pending_.append(bytes);
  if (!Known()) {
    out += pending_;
    pending_.clear();
    return;
  }
  const iconv_t converter = static_cast<iconv_t>(converter_);
  char* in = pending_.data();
  size_t inLeft = pending_.size();
  std::string buffer(4 * inLeft + 16, '\0');
  while (inLeft > 0) {
    char* to = buffer.data();
    size_t toLeft = buffer.size();
    const size_t result = ::iconv(converter, &in, &inLeft, &to, &toLeft);
    out.append(buffer.data(), buffer.size() - toLeft);
    if (result != static_cast<size_t>(-1)) break;
    if (errno == EINVAL) break;  // cut short: waits for the next piece
    if (errno == EILSEQ) {
      out += kReplacement;
      ++in;
      --inLeft;
      ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    // E2BIG: the buffer was emptied into out; go on.
  }
  pending_.erase(0, pending_.size() - inLeft);
}

void CodePageDecoder::Finish(std::string& out) {
  if (!pending_.empty()) out += kReplacement;
  pending_.clear();
  if (Known()) ::iconv(static_cast<iconv_t>(converter_), nullptr, nullptr, nullptr, nullptr);
}

}  // namespace exqrv::platform
