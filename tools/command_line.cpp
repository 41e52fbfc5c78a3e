// Parsing a command's words by its option table, and its usage from the same
// table.
#include "tools/command_line.h"

#include <string_view>

namespace exqrv::tools {
namespace {

// Usage lines are folded to fit 100 columns, help text to fit 80.
constexpr size_t kUsageWidth = 100;
constexpr size_t kHelpWidth = 80;
constexpr std::string_view kListPrefix = "  qrvtool ";
constexpr std::string_view kHelpPrefix = "usage: qrvtool ";
constexpr std::string_view kContinuation = "        ";
// The gap before a summary on the usage's last line, and the column a
// summary that does not fit there starts at on a line of its own.
constexpr std::string_view kSummaryGap = "   ";
constexpr size_t kSummaryColumn = 27;
// Where the options' help starts in --help.
constexpr size_t kHelpColumn = 26;

// The option the word names, or nullptr; glued is set when the word also
// carries the value (-j4).
const Option* FindOption(const CommandGrammar& grammar, const std::string& word, bool& glued) {
  for (const Option& option : grammar.options) {
    glued = false;
    if (word == option.name || (!option.alias.empty() && word == option.alias)) return &option;
    glued = option.glued && word.size() > option.name.size() && word.starts_with(option.name);
    if (glued) return &option;
  }
  return nullptr;
}

bool IsOptionWord(const CommandGrammar& grammar, const std::string& word) {
  return grammar.takesOptions && !word.empty() && word[0] == '-' &&
         !(grammar.dashIsOperand && word == "-");
}

// The usage's pieces: the name, one per option (choices together), the
// operands.
std::vector<std::string> UsagePieces(const CommandGrammar& grammar) {
  std::vector<std::string> pieces{grammar.name};
  for (const Option& option : grammar.options) {
    const std::string shown =
        option.argument.empty() ? option.name : option.name + " " + option.argument;
    if (option.orPrevious) {
      pieces.back().insert(pieces.back().size() - 1, "|" + shown);
      continue;
    }
    pieces.push_back("[" + shown + "]" + (option.repeats ? "..." : ""));
  }
  if (!grammar.operands.empty()) pieces.push_back(grammar.operands);
  return pieces;
}

// The usage in lines of width at most, the first after a prefix of
// prefixWidth columns, the others indented.
std::string FoldedUsage(const CommandGrammar& grammar, size_t prefixWidth, size_t width) {
  std::string usage;
  size_t column = prefixWidth;
  for (const std::string& piece : UsagePieces(grammar)) {
    if (usage.empty()) {
      usage = piece;
      column += piece.size();
    } else if (column + 1 + piece.size() > width) {
      usage += "\n" + std::string(kContinuation) + piece;
      column = kContinuation.size() + piece.size();
    } else {
      usage += " " + piece;
      column += 1 + piece.size();
    }
  }
  return usage;
}

// Text folded at its blanks into lines of kHelpWidth at most, those after
// the first indented to column indent (the first starts there already).
std::string Folded(const std::string& text, size_t indent) {
  std::string folded;
  size_t column = indent;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (column > indent && column + 1 + word.size() > kHelpWidth) {
      folded += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (column > indent) {
      folded += ' ';
      ++column;
    }
    folded += word;
    column += word.size();
    at = end + 1;
  }
  return folded;
}

}  // namespace

OperandTaker Collect(std::vector<std::string>& words) {
  return [&words](const std::string& word) {
    words.push_back(word);
    return std::string();
  };
}

std::string ParseCommandLine(const CommandGrammar& grammar, const Args& args,
                             const OptionTaker& option, const OperandTaker& operand) {
  bool optionsEnd = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnd || !IsOptionWord(grammar, word)) {
      if (std::string complaint = operand(word); !complaint.empty()) return complaint;
      continue;
    }
    if (grammar.doubleDashEndsOptions && word == "--") {
      optionsEnd = true;
      continue;
    }
    bool glued = false;
    const Option* found = FindOption(grammar, word, glued);
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

std::string Synopsis(const CommandGrammar& grammar) {
  std::string line;
  for (const std::string& piece : UsagePieces(grammar)) line += (line.empty() ? "" : " ") + piece;
  return line;
}

std::string ListedUsage(const CommandGrammar& grammar) {
  std::string usage = FoldedUsage(grammar, kListPrefix.size(), kUsageWidth);
  if (grammar.summary.empty()) return usage;
  const size_t lastLine = usage.rfind('\n') == std::string::npos
                              ? kListPrefix.size() + usage.size()
                              : usage.size() - usage.rfind('\n') - 1;
  if (lastLine + kSummaryGap.size() + grammar.summary.size() <= kUsageWidth) {
    return usage + std::string(kSummaryGap) + grammar.summary;
  }
  return usage + "\n" + std::string(kSummaryColumn, ' ') + grammar.summary;
}

std::string CommandHelp(const CommandGrammar& grammar) {
  std::string help =
      std::string(kHelpPrefix) + FoldedUsage(grammar, kHelpPrefix.size(), kHelpWidth) + "\n";
  if (!grammar.summary.empty()) help += Folded(grammar.summary, 0) + "\n";
  if (!grammar.options.empty()) help += "\noptions:\n";
  for (const Option& option : grammar.options) {
    std::string shown = "  " + option.name;
    if (!option.alias.empty()) shown += ", " + option.alias;
    if (!option.argument.empty()) shown += " " + option.argument;
    if (shown.size() + 1 > kHelpColumn) {
      help += shown + "\n" + std::string(kHelpColumn, ' ');
    } else {
      help += shown + std::string(kHelpColumn - shown.size(), ' ');
    }
    help += Folded(option.help, kHelpColumn) + "\n";
  }
  if (!grammar.details.empty()) help += "\n" + Folded(grammar.details, 0) + "\n";
  return help;
}

}  // namespace exqrv::tools
