// The text options on qrvtool's command lines (text and convert; info takes
// --encoding).
#pragma once

#include <string>
#include <vector>

#include "app/text_options.h"
#include "tools/command_line.h"

namespace exqrv::tools {

Option EncodingOption(std::string help);
// --encoding, --lf, --page-break, --max-expansion, in the order the usage
// shows them.
std::vector<Option> TextOptionTable();

// Applies one of the text options to options; the complaint about its
// value, empty when it is taken.
std::string ApplyTextOption(const Option& option, const std::string& value, TextOptions& options);

}  // namespace exqrv::tools
