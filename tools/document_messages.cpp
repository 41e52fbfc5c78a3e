#include "tools/document_messages.h"

namespace exqrv::tools {

platform::Answer DocumentMessages::Show(std::string_view text, platform::Buttons buttons, platform::Icon) {
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  ++counts_[line];
  return buttons == platform::Buttons::YesNo ? platform::Answer::No : platform::Answer::Ok;
}

std::vector<std::string> DocumentMessages::Lines(const std::string& document) const {
  std::vector<std::string> lines;
  for (const auto& [message, count] : counts_) {
    lines.push_back(document + ": " + message + (count > 1 ? " (" + std::to_string(count) + " times)" : ""));
  }
  return lines;
}

}  // namespace exqrv::tools
