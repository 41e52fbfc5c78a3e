// The messages a document's conversion shows (an unrecognised page command,
// a write error while expanding), kept to be reported with its name: a page
// of unknown commands would otherwise show one line per command.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompter.h"

namespace exqrv::tools {

// Installed on the thread that converts one document; a question is
// answered No, as nobody is there to answer it.
class DocumentMessages : public platform::Prompter {
 public:
  platform::Answer Show(std::string_view text, platform::Buttons buttons, platform::Icon) override;

  // One line per message, "document: message", with " (N times)" when it
  // was shown more than once.
  std::vector<std::string> Lines(const std::string& document) const;

 private:
  std::map<std::string, size_t> counts_;
};

}  // namespace exqrv::tools
