// Start-up, the command-line grammar and command-line mode.
#include "app/converter_app.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "document/document.h"
#include "platform/pending_file.h"
#include "platform/platform.h"
#include "platform/prompter.h"

namespace exqrv {
namespace {

constexpr size_t kCommandLineBuffer = platform::kMaxPath;
// Drive numbers count A: as 1.
constexpr int kDriveNumberBase = 'A' - 1;

// The system's separators (on POSIX "/" too, except for the one slash that
// introduces the target directory).
bool IsSeparator(char c) {
  return platform::kDirectorySeparators.find(c) != std::string_view::npos;
}

size_t FindLastSeparator(const std::string& text) {
  return text.find_last_of(platform::kDirectorySeparators);
}

void RemoveTrailingSeparator(std::string& directory) {
  // An empty path names nothing; a lone separator stays the root.
  if (directory.size() > 1 && IsSeparator(directory.back())) directory.pop_back();
}

// One line on standard error for a document that let the run down: its name
// and why.
void Report(const std::string& name, const std::string& why) {
  std::fprintf(stderr, "exqrv: %s: %s\n", name.c_str(), why.c_str());
}

// The messages a conversion shows on the command line (an unrecognised page
// command, a write error while expanding), said after each page with their
// counts. Page 0: outside the pages.
void SayMessages(platform::CountingPrompter& messages, const std::string& document, uint32_t page) {
  const std::string about = page != 0 ? document + ": page " + std::to_string(page) : document;
  for (const std::string& line : messages.Lines(about))
    std::fprintf(stderr, "exqrv: %s\n", line.c_str());
  messages.Clear();
}

}  // namespace

std::string TemporaryProblem(platform::TemporaryFault fault, bool converted) {
  switch (fault) {
    case platform::TemporaryFault::WriteFailed:
      return std::string(kTemporaryNotWritten) + kSoNotConverted;
    case platform::TemporaryFault::NotMade:
      return std::string(kTemporaryNotMade) + (converted ? kSoNotesMissing : kSoNotConverted);
    case platform::TemporaryFault::None: return {};
  }
  return {};
}

std::string TextFileNameFor(const std::string& documentName) {
  const size_t keep = documentName.size() >= 3 ? documentName.size() - 3 : 0;
  return documentName.substr(0, keep) + "TXT";
}

ConverterApp::~ConverterApp() { ClearEntryLists(EntryLists::All); }

int ConverterApp::StartUp(const std::string& commandLine) {
  startUpDirectory_ = platform::CurrentPlatform().CurrentDirectory();
  SourceDirectory = startUpDirectory_;
  TargetDirectory = startUpDirectory_;
  if (!commandLine.empty()) return RunCommandLine(commandLine);
  if (dialogHook_) return dialogHook_(*this);
  platform::ReportNoDialog(kUsage);
  return kExitUsage;
}

bool ConverterApp::ParseCommandLine(const std::string& commandLine) {
  // The working buffer holds 259 characters and the terminator.
  if (commandLine.size() >= kCommandLineBuffer) return false;

  // Every space but a final one separates; at most one separator is allowed.
  std::vector<size_t> separators;
  for (size_t i = 0; i + 1 < commandLine.size(); ++i) {
    if (commandLine[i] == ' ') separators.push_back(i);
  }
  if (separators.size() > 1) return false;
  std::string buffer = commandLine;
  for (char& c : buffer) {
    if (c == ' ') c = '\0';
  }
  const std::string document = buffer.substr(0, buffer.find('\0'));

  const std::string& startUp = startUpDirectory_;
  if (separators.size() == 1) {
    const size_t begin = document.size() + 1;
    const std::string second = buffer.substr(begin, buffer.find('\0', begin) - begin);
    const size_t slash = second.find('/');
    if (slash == std::string::npos) return false;
    const std::string directory = second.substr(slash + 1);
    if (directory.find_first_of(std::string(":").append(platform::kDirectorySeparators)) ==
        std::string::npos) {
      // A relative target needs a directory to join it to.
      if (TargetDirectory.empty()) return false;
      TargetDirectory = platform::JoinPath(TargetDirectory, directory);
    } else {
      TargetDirectory = directory;
    }
  }

  const size_t colon = document.find(':');
  const std::string drive =
      colon == std::string::npos ? std::string() : document.substr(0, colon + 1);
  const size_t last = FindLastSeparator(document);
  if (last != std::string::npos) {
    const std::string directoryPart = document.substr(0, last + 1);
    FilePattern = document.substr(last + 1);
    if (!drive.empty()) {
      SourceDirectory = directoryPart;
    } else if (IsSeparator(directoryPart.front())) {
      SourceDirectory = startUp.substr(0, 2) + directoryPart;
    } else {
      SourceDirectory = platform::JoinPath(startUp, directoryPart);
    }
  } else if (!drive.empty()) {
    FilePattern = document.substr(colon + 1);
    SourceDirectory = drive;
  } else {
    FilePattern = document;
    SourceDirectory = startUp;
  }

  if (SourceDirectory.size() == 2 && SourceDirectory[1] == ':') {
    for (const std::string& root : platform::LogicalDriveRoots()) {
      if (root.find(SourceDirectory[0]) == std::string::npos) continue;
      const int driveNumber = std::toupper(static_cast<unsigned char>(root[0])) - kDriveNumberBase;
      const std::string current = platform::CurrentPlatform().DriveCurrentDirectory(driveNumber);
      if (!current.empty()) SourceDirectory = current;
      break;
    }
  }

  RemoveTrailingSeparator(SourceDirectory);
  RemoveTrailingSeparator(TargetDirectory);
  return true;
}

int ConverterApp::RunCommandLine(const std::string& commandLine) {
  platform::Prompter& prompter = platform::CurrentPrompter();
  platform::Platform& system = platform::CurrentPlatform();
  if (!ParseCommandLine(commandLine)) {
    prompter.Show(ArgumentsErrorMessage(), platform::Buttons::Ok, platform::Icon::Stop);
    return kExitUsage;
  }
  if (!system.StatusOf(TargetDirectory)) {
    // The folder as the user knows it, not in the one-drive form.
    const std::string shown = platform::DisplayPath(TargetDirectory);
    const platform::Answer answer = prompter.Show(
        CreateDirectoryQuestion(shown), platform::Buttons::YesNo, platform::Icon::Question);
    if (answer != platform::Answer::Yes) return kExitUsage;
    if (!system.CreateDirectory(TargetDirectory)) {
      prompter.Show(DirectoryNotCreatedMessage(shown), platform::Buttons::Ok, platform::Icon::Stop);
      return kExitUsage;
    }
  }
  system.SetCurrentDirectory(SourceDirectory);
  // The folder is opened once, where the texts have always gone (a relative
  // target from the documents' folder): one swapped for a link meanwhile
  // does not move the texts that follow. One that cannot be opened is named
  // with each document.
  platform::TargetFolder target;
  if (target.Open(TargetDirectory)) openTarget_ = &target;

  platform::CountingPrompter messages;
  const platform::PrompterScope scope(&messages);
  const WorkingCopyReuse reuse;
  // Every match is tried, directories included ("*" also matches "." and
  // "..", which are no documents and go unreported).
  std::map<std::string, std::string> textOwners;
  size_t documents = 0;
  bool allConverted = true;
  for (const platform::FoundEntry& entry : system.FindFiles(FilePattern)) {
    const bool dots = entry.name == "." || entry.name == "..";
    const std::string textName = TextFileNameFor(entry.name);
    // Names that differ only in case share a text name: the second would
    // replace the first's text.
    const auto [owner, fresh] = textOwners.emplace(textName, entry.name);
    if (!fresh && !dots) {
      Report(entry.name, SharedTextMessage(textName, owner->second));
      ++documents;
      allConverted = false;
      continue;
    }
    lastFault_ = platform::TemporaryFault::None;
    bool converted = false;
    pageDone_ = [&](uint32_t page) {
      SayMessages(messages, entry.name, page);
      return true;
    };
    try {
      converted = ConvertFile(entry.name, textName);
    } catch (const std::bad_alloc&) {
      lastProblem_ = "not enough memory to convert it";
    }
    pageDone_ = nullptr;
    SayMessages(messages, entry.name, 0);
    if (dots) continue;
    ++documents;
    std::string problem = TemporaryProblem(lastFault_, converted);
    if (lastFault_ == platform::TemporaryFault::NotMade) {
      if (const std::string why = platform::TemporaryFolderProblem(); !why.empty()) {
        problem += " (" + why + ")";
      }
    }
    if (problem.empty() && !converted) problem = lastProblem_;
    if (!problem.empty()) Report(entry.name, problem);
    // The text keeps every byte that could be had; the run still fails.
    for (const DamagedPage& damaged : lastDamagedPages_) Report(entry.name, DamageText(damaged));
    allConverted = allConverted && converted && problem.empty() && lastDamagedPages_.empty();
  }
  openTarget_ = nullptr;
  if (documents == 0) Report(FilePattern, kNothingMatches);
  return documents > 0 && allConverted ? kExitSuccess : kExitFailure;
}

bool ConverterApp::ConvertFile(const std::string& documentName, const std::string& textName) {
  return ConvertDocument(platform::JoinPath(SourceDirectory, documentName),
                         platform::JoinPath(TargetDirectory, textName)) == 1;
}

}  // namespace exqrv
