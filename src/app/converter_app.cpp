// Start-up, the command-line grammar and command-line mode.
#include "app/converter_app.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "platform/prompter.h"

namespace exqrv {
namespace {

constexpr size_t kCommandLineBuffer = platform::kMaxPath;
// Drive numbers count A: as 1.
constexpr int kDriveNumberBase = 'A' - 1;

// The system's separators (on POSIX "/" too, except for the one slash that
// introduces the target directory).
bool IsSeparator(char c) { return platform::kDirectorySeparators.find(c) != std::string_view::npos; }

size_t FindLastSeparator(const std::string& text) {
  return text.find_last_of(platform::kDirectorySeparators);
}

void RemoveTrailingSeparator(std::string& directory) {
  // An empty path names nothing; a lone separator stays the root.
  if (directory.size() > 1 && IsSeparator(directory.back())) directory.pop_back();
}

std::string Format(const char* pattern, const std::string& value) {
  std::string text = pattern;
  text.replace(text.find("%s"), 2, value);
  return text;
}

// Command-line mode reports no conversion, except one that the temporary
// folder let down: the document is sound, and the user can do something
// about a full or missing temporary folder. True when such a line was due,
// which makes the run a failure.
bool ReportTemporaryFault(platform::TemporaryFault fault, bool converted,
                          const std::string& documentName) {
  const char* what = nullptr;
  if (fault == platform::TemporaryFault::WriteFailed) {
    what = "a temporary file could not be written, so it was not converted";
  } else if (fault == platform::TemporaryFault::NotMade) {
    what = converted ? "no temporary file could be made, so its notes are missing"
                     : "no temporary file could be made, so it was not converted";
  }
  if (what == nullptr) return false;
  std::fprintf(stderr, "exqrv: %s: %s\n", documentName.c_str(), what);
  return true;
}

}  // namespace

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
  const std::string drive = colon == std::string::npos ? std::string() : document.substr(0, colon + 1);
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
    prompter.Show(std::string("Arguments ERROR!\r\n") + kUsage, platform::Buttons::Ok,
                  platform::Icon::Stop);
    return kExitUsage;
  }
  if (!system.GetStatus(TargetDirectory)) {
    const platform::Answer answer =
        prompter.Show(Format("%s Directory not exist!\r\nCreate it?", TargetDirectory),
                      platform::Buttons::YesNo, platform::Icon::Question);
    if (answer != platform::Answer::Yes) return kExitUsage;
    if (!system.CreateDirectory(TargetDirectory)) {
      prompter.Show(Format("Create Directory %s Failed!", TargetDirectory), platform::Buttons::Ok,
                    platform::Icon::Stop);
      return kExitUsage;
    }
  }
  system.SetCurrentDirectory(SourceDirectory);
  // Every match is tried, directories included; only files count as
  // documents for the exit status ("*" also matches "." and "..").
  size_t documents = 0;
  bool allConverted = true;
  for (const platform::FoundEntry& entry : system.FindFiles(FilePattern)) {
    lastFault_ = platform::TemporaryFault::None;
    const bool converted = ConvertFile(entry.name, TextFileNameFor(entry.name));
    if (entry.isDirectory) continue;
    ++documents;
    const bool fault = ReportTemporaryFault(lastFault_, converted, entry.name);
    allConverted = allConverted && converted && !fault;
  }
  return documents > 0 && allConverted ? kExitSuccess : kExitFailure;
}

bool ConverterApp::ConvertFile(const std::string& documentName, const std::string& textName) {
  return ConvertDocument(platform::JoinPath(SourceDirectory, documentName),
                         platform::JoinPath(TargetDirectory, textName)) == 1;
}

}  // namespace exqrv
