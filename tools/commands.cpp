// What qrvtool's commands share: how they fail, how they show a tag.
#include "tools/commands.h"

#include <cstdio>

namespace exqrv::tools {

int Fail(const std::string& message) {
  std::fprintf(stderr, "qrvtool: %s\n", message.c_str());
  return kFailure;
}

std::string PrintableTag(const std::array<char, 4>& tag) {
  std::string text;
  for (char c : tag) text += (c >= 0x20 && c < 0x7F) ? c : '.';
  return text;
}

const char* WhyNotOpened(OpenResult opened) {
  return opened == OpenResult::FormatError ? "a chunk does not expand" : "a table is cut short";
}

}  // namespace exqrv::tools
