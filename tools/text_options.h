// The text options on qrvtool's command lines (text and convert).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/text_extraction.h"
#include "app/text_options.h"
#include "tools/commands.h"

namespace exqrv::tools {

inline constexpr char kTextOptionsUsage[] =
    "[--encoding CODEPAGE] [--lf] [--page-break] [--max-expansion BYTES]";

enum class OptionTaken { No, Yes, Bad };

// Takes args[at] (and the value after it) when it is a text option, moving at
// to the last word used. Bad carries the usage message in error.
OptionTaken TakeTextOption(const Args& args, size_t& at, TextOptions& options, std::string& error);

}  // namespace exqrv::tools
