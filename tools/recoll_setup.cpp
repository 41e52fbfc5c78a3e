// qrvtool recoll-setup: teaches a Recoll configuration folder to index
// Quillor documents. Recoll reads a folder's own mimemap and mimeconf on top
// of its defaults, so the entries of the fragment installed under
// share/exqrv/recoll are all it takes. The user's lines stay as they are,
// byte for byte, and an entry that is already there is not added again.
//
// Run by root on another user's folder, it follows no link that user could
// have planted there, and changes no file by a name they could swap.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/converter_app.h"
#include "platform/file.h"
#include "platform/file_access.h"
#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/recoll_fragment.h"

namespace exqrv::tools {
namespace {

namespace fs = std::filesystem;

// One "name = value" of a configuration file, in its section ("" before the
// first "[section]" header).
struct Entry {
  std::string section, name, value;
};

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A configuration file as Recoll reads it: "#" starts a comment line,
// "[name]" a section, "name = value" is an entry with the blanks around both
// trimmed, and a backslash at the end of a line joins the next line to it.
class ConfigText {
 public:
  explicit ConfigText(std::string text) : text_(std::move(text)) { Parse(); }

  const std::string& text() const { return text_; }
  const std::vector<Entry>& entries() const { return entries_; }

  // The value Recoll takes for name in section: the last one given.
  std::optional<std::string> Find(const std::string& section, const std::string& name) const {
    std::optional<std::string> value;
    for (const Entry& entry : entries_) {
      if (entry.section == section && entry.name == name) value = entry.value;
    }
    return value;
  }

  // Adds the entry where Recoll reads it as part of its section, under a
  // comment that says where it came from. Entries of the top section go
  // before the first header; others at the end, under their header unless
  // the file already ends in that section.
  void Add(const Entry& entry) {
    std::string block = "# Quillor documents (qrvtool recoll-setup)\n";
    if (entry.section.empty() && firstHeaderAt_ != std::string::npos) {
      text_.insert(firstHeaderAt_, block + entry.name + " = " + entry.value + "\n");
    } else {
      // A last line without its line end, or one that goes on, must not
      // swallow the new lines.
      if (!text_.empty() && text_.back() != '\n') text_ += '\n';
      if (endsContinued_) text_ += '\n';
      if (entry.section != lastSection_) block += "[" + entry.section + "]\n";
      text_ += block + entry.name + " = " + entry.value + "\n";
    }
    entries_.clear();
    Parse();
  }

 private:
  void Parse() {
    std::string section;
    firstHeaderAt_ = std::string::npos;
    endsContinued_ = false;
    size_t at = 0;
    while (at < text_.size()) {
      const size_t start = at;
      std::string line = NextLogicalLine(at);
      const std::string_view content = Trimmed(line);
      if (content.empty() || content.front() == '#') continue;
      if (content.front() == '[' && content.back() == ']') {
        section = std::string(Trimmed(content.substr(1, content.size() - 2)));
        if (firstHeaderAt_ == std::string::npos) firstHeaderAt_ = start;
        continue;
      }
      const size_t equals = content.find('=');
      if (equals == std::string_view::npos) continue;
      entries_.push_back({section, std::string(Trimmed(content.substr(0, equals))),
                          std::string(Trimmed(content.substr(equals + 1)))});
    }
    lastSection_ = section;
  }

  // The physical lines from at that make one line, joined; at moves past them.
  std::string NextLogicalLine(size_t& at) {
    std::string line;
    while (at < text_.size()) {
      const size_t end = std::min(text_.find('\n', at), text_.size());
      std::string_view piece(text_.data() + at, end - at);
      at = end + 1;
      if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
      if (piece.empty() || piece.back() != '\\') {
        line += piece;
        endsContinued_ = false;
        break;
      }
      piece.remove_suffix(1);
      line += piece;
      endsContinued_ = true;
    }
    return line;
  }

  std::string text_;
  std::vector<Entry> entries_;
  size_t firstHeaderAt_ = std::string::npos;  // offset of the first section header
  std::string lastSection_;                   // the section in force at the end
  bool endsContinued_ = false;                // the last line asks for another
};

struct FragmentFile {
  const char* name;
  const char* text;
};

constexpr FragmentFile kFragment[] = {
    {"mimemap", kRecollMimemap},
    {"mimeconf", kRecollMimeconf},
};

// Where Recoll itself looks when it is given no folder.
std::string DefaultConfigFolder() {
  if (const char* own = std::getenv("RECOLL_CONFDIR"); own != nullptr && *own != '\0') return own;
  const char* home = std::getenv("HOME");
  return home != nullptr && *home != '\0' ? std::string(home) + "/.recoll" : std::string();
}

// Writes text under a fresh name beside path and puts it in place of path in
// one step, so a failure leaves the old file whole. The file keeps its
// permissions.
bool ReplaceFile(const fs::path& path, const std::string& text, std::string& error) {
  const std::string part =
      platform::VerbatimPath((path.parent_path() / ("." + path.filename().string() + ".qrvtool-" +
                                                    std::to_string(platform::ProcessId())))
                                 .string());
  platform::File file;
  if (!file.Open(part, platform::OpenMode::CreateNew)) {
    error = "cannot write into " + path.parent_path().string() + ": " + file.ErrorText();
    return false;
  }
  std::string why;
  if (!platform::CopyPermissions(file, platform::VerbatimPath(path.string()), why) ||
      !file.Write(text.data(), static_cast<uint32_t>(text.size())) || !file.Sync()) {
    if (why.empty()) why = file.ErrorText();
  }
  if (!file.Close() && why.empty()) why = file.ErrorText();
  if (why.empty() && platform::PlaceFile(part, platform::VerbatimPath(path.string()), true, why) ==
                         platform::Placement::Placed) {
    return true;
  }
  platform::CurrentPlatform().DeleteFile(part);
  error = "cannot write " + path.string() + ": " + why;
  return false;
}

bool Complain(const std::string& message) {
  std::fprintf(stderr, "qrvtool: recoll-setup: %s\n", message.c_str());
  return false;
}

// Refuses a link another user owns: where it leads is theirs to choose, and
// root would read and rewrite whatever file they named.
bool NotAForeignLink(const fs::path& path) {
  if (!platform::IsForeignLink(platform::VerbatimPath(path.string()))) return true;
  return Complain(path.string() + " is a link another user owns; not following it");
}

// The file a name in the folder stands for: a link of the user's own to a
// file kept elsewhere stays a link.
bool ResolveConfigFile(const fs::path& path, fs::path& target) {
  std::error_code code;
  target = path;
  if (!fs::is_symlink(fs::symlink_status(path, code))) return true;
  if (!NotAForeignLink(path)) return false;
  target = fs::weakly_canonical(path, code);
  return !code || Complain("cannot follow " + path.string() + ": " + code.message());
}

// Adds the missing entries of one fragment file to the folder's file of the
// same name, counting them in added. False when one of them is there with
// another value (which stays), or the file cannot be read or written.
bool MergeFragmentFile(const fs::path& folder, const FragmentFile& fragment, int& added) {
  fs::path path;
  if (!ResolveConfigFile(folder / fragment.name, path)) return false;
  // Read without following a link: one that appeared since it was looked at
  // is refused.
  std::string text, error;
  std::error_code code;
  if (fs::exists(fs::symlink_status(path, code)) &&
      !platform::ReadWithoutFollowing(platform::VerbatimPath(path.string()), text, error)) {
    return Complain("cannot read " + path.string() + ": " + error);
  }
  ConfigText config(text);
  const ConfigText wanted(fragment.text);
  bool agrees = true;
  for (const Entry& entry : wanted.entries()) {
    const std::optional<std::string> value = config.Find(entry.section, entry.name);
    const std::string where =
        path.string() + (entry.section.empty() ? "" : " [" + entry.section + "]");
    if (!value) {
      config.Add(entry);
      std::printf("added to %s: %s = %s\n", where.c_str(), entry.name.c_str(), entry.value.c_str());
      ++added;
    } else if (*value != entry.value) {
      agrees = Complain(where + " has its own " + entry.name + " = " + *value +
                        "; kept it. For Quillor documents it would be: " + entry.value);
    }
  }
  if (config.text() != text && !ReplaceFile(path, config.text(), error)) return Complain(error);
  return agrees;
}

}  // namespace

const CommandGrammar& RecollSetupGrammar() {
  static const CommandGrammar grammar{
      .name = "recoll-setup",
      .operands = "[CONFDIR]",
      .summary = "let Recoll index the documents",
      .details =
          "CONFDIR is a Recoll configuration folder; by default $RECOLL_CONFDIR, else "
          "~/.recoll.",
      .takesOptions = false};
  return grammar;
}

int RecollSetupCommand(const Args& args) {
  if (args.size() > 1 || (!args.empty() && args[0].starts_with('-'))) {
    std::fprintf(stderr, "usage: qrvtool %s\n", Synopsis(RecollSetupGrammar()).c_str());
    return kExitUsage;
  }
  const std::string folder = args.empty() ? DefaultConfigFolder() : args[0];
  std::error_code code;
  if (folder.empty()) {
    Complain("no folder given and HOME is not set");
    return kExitFailure;
  }
  if (!NotAForeignLink(folder)) return kExitFailure;
  if (fs::create_directories(folder, code)) std::printf("created %s\n", folder.c_str());
  if (code) {
    Complain("cannot create " + folder + ": " + code.message());
    return kExitFailure;
  }

  bool sound = true;
  int added = 0;
  for (const FragmentFile& fragment : kFragment)
    sound &= MergeFragmentFile(folder, fragment, added);
  if (sound && added == 0) {
    std::printf("%s already has the entries for Quillor documents\n", folder.c_str());
  } else if (sound) {
    std::printf("recollindex will index Quillor documents from its next run\n");
  }
  return sound ? kExitSuccess : kExitFailure;
}

}  // namespace exqrv::tools
