// Parsing a command's words by its option table, and its usage from the same
// table.
#include "tools/command_line.h"

#include <string_view>

namespace exqrv::tools {
namespace {

// The list of commands is read in a terminal of 100 columns or more.
constexpr size_t kListWidth = 100;
constexpr std::string_view kListPrefix = "  qrvtool ";
constexpr std::string_view kContinuation = "        ";

// The option the word names, or nullptr; glued is set when the word also
// carries the value (-j4).
const Option* FindOption(const CommandSpec& spec, const std::string& word, bool& glued) {
  for (const Option& option : spec.options) {
    glued = false;
    if (word == option.name || (!option.alias.empty() && word == option.alias)) return &option;
    glued = option.glued && word.size() > option.name.size() && word.starts_with(option.name);
    if (glued) return &option;
  }
  return nullptr;
}

bool IsOptionWord(const CommandSpec& spec, const std::string& word) {
  return spec.takesOptions && !word.empty() && word[0] == '-' &&
         !(spec.dashIsOperand && word == "-");
}

// The usage's pieces: the name, one per option (choices together), the
// operands.
std::vector<std::string> UsagePieces(const CommandSpec& spec, const std::string& operands) {
  std::vector<std::string> pieces{spec.name};
  for (const Option& option : spec.options) {
    const std::string shown =
        option.argument.empty() ? option.name : option.name + " " + option.argument;
    if (option.orPrevious) {
      pieces.back().insert(pieces.back().size() - 1, "|" + shown);
      continue;
    }
    pieces.push_back("[" + shown + "]" + (option.repeats ? "..." : ""));
  }
  if (!operands.empty()) pieces.push_back(operands);
  return pieces;
}

}  // namespace

std::string ParseCommandLine(const CommandSpec& spec, const Args& args, const OptionTaker& option,
                             const OperandTaker& operand) {
  bool optionsEnd = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnd || !IsOptionWord(spec, word)) {
      if (std::string complaint = operand(word); !complaint.empty()) return complaint;
      continue;
    }
    if (spec.doubleDashEndsOptions && word == "--") {
      optionsEnd = true;
      continue;
    }
    bool glued = false;
    const Option* found = FindOption(spec, word, glued);
    if (found == nullptr) return "unknown option " + word;
    std::string value;
    if (glued) {
      value = word.substr(found->name.size());
    } else if (!found->argument.empty()) {
      if (i + 1 == args.size()) return Wants(*found);
      value = args[++i];
    }
    if (std::string complaint = option(*found, value); !complaint.empty()) return complaint;
  }
  return {};
}

std::string Wants(const Option& option) { return option.name + " wants " + option.wants; }

std::string Synopsis(const CommandSpec& spec) {
  std::string line;
  const std::string& operands =
      spec.operandsInErrors.empty() ? spec.operands : spec.operandsInErrors;
  for (const std::string& piece : UsagePieces(spec, operands)) {
    line += (line.empty() ? "" : " ") + piece;
  }
  return line;
}

std::string ListedUsage(const CommandSpec& spec) {
  std::string usage;
  size_t column = kListPrefix.size();
  for (const std::string& piece : UsagePieces(spec, spec.operands)) {
    if (usage.empty()) {
      usage = piece;
      column += piece.size();
    } else if (column + 1 + piece.size() > kListWidth) {
      usage += "\n" + std::string(kContinuation) + piece;
      column = kContinuation.size() + piece.size();
    } else {
      usage += " " + piece;
      column += 1 + piece.size();
    }
  }
  return usage + spec.summary;
}

}  // namespace exqrv::tools
