// qrvtool's command lines. Each command keeps its options in one table, and
// both its parser and its usage text are made from that table, so that what
// the usage shows is what the parser takes.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace exqrv::tools {

using Args = std::vector<std::string>;

// Every option of every command; a command's table says which it takes.
enum class OptionId {
  // The text options, shared by text and convert; info takes --encoding.
  Encoding,
  Lf,
  PageBreak,
  MaxExpansion,
  // text
  Pages,
  NoNotes,
  // convert
  Workers,
  OutputFolder,
  Recurse,
  KeepExisting,
  Progress,
  Quiet,
  // text, convert and info
  Json,
  // text and convert
  JsonLines,
  // make
  Out,
  Note,
  Compress,
  CompressNotes,
  // implode
  Dictionary,
  Ascii,
};

struct Option {
  OptionId id = {};
  std::string name = {};      // "--pages", "-j"
  std::string argument = {};  // the value as the usage shows it ("FIRST-LAST"); empty: a flag
  std::string wants = {};     // what the value must be, for the complaint ("a folder")
  std::string alias = {};     // another spelling the parser takes: "-q" for --quiet
  std::string help = {};      // what it does, for the command's --help
  bool glued = false;         // the value may follow the name in the same word: -j4
  bool repeats = false;       // each use adds one: shown as [--note ...]...
  // One choice with the option before it: shown as [--progress|--quiet].
  bool orPrevious = false;
};

struct CommandGrammar {
  std::string name;
  std::vector<Option> options = {};
  std::string operands = {};   // as the usage shows them: "DOC|-..."
  std::string summary = {};    // what the command does, in a line
  std::string details = {};    // what --help says after the options; may be empty
  bool takesOptions = true;    // else every word is an operand
  bool dashIsOperand = false;  // "-" names a file, not an option
  bool doubleDashEndsOptions = false;
};

// Called for each option given, with its value ("" for a flag); returns the
// complaint about the value, empty when it is taken.
using OptionTaker = std::function<std::string(const Option& option, const std::string& value)>;
// Called for each operand; returns the complaint, empty when it is taken.
using OperandTaker = std::function<std::string(const std::string& word)>;

// Takes every operand into words.
OperandTaker Collect(std::vector<std::string>& words);

// Reads args in order as grammar says; the first complaint ends it and is
// returned, empty when every word was taken.
std::string ParseCommandLine(const CommandGrammar& grammar, const Args& args,
                             const OptionTaker& option, const OperandTaker& operand);

// "--pages wants FIRST-LAST": the complaint about a missing or wrong value.
std::string Wants(const Option& option);

// The usage in one line, as usage errors show it: "info [--json] ... DOC".
std::string Synopsis(const CommandGrammar& grammar);
// The usage as the list of commands shows it, folded to fit after
// "  qrvtool ", then the summary.
std::string ListedUsage(const CommandGrammar& grammar);
// What `qrvtool COMMAND --help` prints: the usage, the summary and every
// option with what it does.
std::string CommandHelp(const CommandGrammar& grammar);

}  // namespace exqrv::tools
