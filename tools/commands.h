// qrvtool's subcommands. Each takes the words after its name and returns the
// process's exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exqrv {
class TextExtraction;
}

namespace exqrv::tools {

using Args = std::vector<std::string>;

int InfoCommand(const Args& args);
int MakeCommand(const Args& args);
int TextCommand(const Args& args);
int VerifyCommand(const Args& args);
int ExplodeCommand(const Args& args);
int ImplodeCommand(const Args& args);
int ConvertCommand(const Args& args);
int RecollSetupCommand(const Args& args);

// Why job could not open the document at path, in words for a user.
std::string OpenProblem(const std::string& path, const TextExtraction& job);
// What the temporary folder cost a job that wrote its text: it failed, or
// (with notes wanted) the notes are missing. Empty when nothing.
std::string TemporaryProblem(const TextExtraction& job, bool withNotes);

}  // namespace exqrv::tools
