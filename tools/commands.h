// qrvtool's subcommands. Each takes the words after its name and returns the
// process's exit status.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/text_extraction.h"
#include "document/document.h"
#include "tools/command_line.h"

namespace exqrv {
class TextExtraction;
}

namespace exqrv::tools {

// Says why on stderr, as "qrvtool: message", and returns kExitFailure (the
// statuses are exqrv's, converter_app.h).
int Fail(const std::string& message);
// Says why and how the command is used ("usage: qrvtool synopsis") on
// stderr, and returns the usage status, which is every command's.
int UsageError(const std::string& message, const CommandGrammar& grammar);
// A chunk tag as text, with '.' for each byte that does not print.
std::string PrintableTag(const std::array<char, 4>& tag);
// A document's text as a terminal shows it without obeying it: control
// characters as escapes ("\r", "\n", "\t", else "\x1b"), a backslash
// doubled; the other bytes as they are.
std::string VisibleText(std::string_view bytes);
// Why Document::Open failed, in a few words.
const char* WhyNotOpened(OpenResult opened);

// Each command's options and usage.
const CommandGrammar& InfoGrammar();
const CommandGrammar& TextGrammar();
const CommandGrammar& ConvertGrammar();
const CommandGrammar& VerifyGrammar();
const CommandGrammar& MakeGrammar();
const CommandGrammar& ExplodeGrammar();
const CommandGrammar& ImplodeGrammar();
const CommandGrammar& RecollSetupGrammar();

int InfoCommand(const Args& args);
int MakeCommand(const Args& args);
int TextCommand(const Args& args);
int VerifyCommand(const Args& args);
int ExplodeCommand(const Args& args);
int ImplodeCommand(const Args& args);
int ConvertCommand(const Args& args);
// As ConvertCommand, telling pageWritten of each page on disk.
int ConvertCommand(const Args& args, const PageWritten& pageWritten);
int RecollSetupCommand(const Args& args);

// What the temporary folder cost a job that wrote its text: it failed, or
// (with notes wanted) the notes are missing. Empty when nothing.
std::string TemporaryProblem(const TextExtraction& job, bool withNotes);

}  // namespace exqrv::tools
