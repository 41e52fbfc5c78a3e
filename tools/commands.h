// qrvtool's subcommands. Each takes the words after its name and returns the
// process's exit status.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/document.h"

namespace exqrv {
class TextExtraction;
}

namespace exqrv::tools {

using Args = std::vector<std::string>;

// The status of a command that could not do its work.
inline constexpr int kFailure = 1;

// Says why on stderr, as "qrvtool: message", and returns kFailure.
int Fail(const std::string& message);
// A chunk tag as text, with '.' for each byte that does not print.
std::string PrintableTag(const std::array<char, 4>& tag);
// Why Document::Open failed, in a few words.
const char* WhyNotOpened(OpenResult opened);

int InfoCommand(const Args& args);
int MakeCommand(const Args& args);
int TextCommand(const Args& args);
int VerifyCommand(const Args& args);
int ExplodeCommand(const Args& args);
int ImplodeCommand(const Args& args);
int ConvertCommand(const Args& args);
int RecollSetupCommand(const Args& args);

// What the temporary folder cost a job that wrote its text: it failed, or
// (with notes wanted) the notes are missing. Empty when nothing.
std::string TemporaryProblem(const TextExtraction& job, bool withNotes);

}  // namespace exqrv::tools
