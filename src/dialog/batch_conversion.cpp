#include "dialog/batch_conversion.h"

#include "platform/pending_file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "dialog/selector_rules.h"

namespace exqrv::dialog {
namespace {

// Whatever a conversion would replace at the text's name, a link that
// leads nowhere included: the question is about it, not about what the text
// list shows.
bool IsExistingFile(const std::string& path) { return platform::NameIsTaken(path); }

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

}  // namespace

std::string OverwriteQuestion(std::string_view textName) {
  return Concat({textName, " already exist! Overwrite it?"});
}

std::string SucceededLine(std::string_view shownName, std::string_view textName) {
  return Concat({"Convert ", shownName, " to ", textName, " succeeded"});
}

std::string FailedLine(std::string_view shownName, std::string_view textName) {
  return Concat({"Convert ", shownName, " to ", textName, " failed"});
}

bool IsDirectory(const std::string& path) {
  const auto status = platform::CurrentPlatform().GetStatus(path);
  return status && status->isDirectory;
}

bool IsSingleName(std::string_view name) {
  return !name.empty() &&
         name.find_first_of(platform::kPathServiceSeparators) == std::string_view::npos;
}

std::optional<std::string> FolderOpenedBy(std::string_view directory, const std::string& name) {
  std::string path = platform::JoinPath(directory, name);
  if (IsSingleName(name) && IsDirectory(path)) return path;
  return std::nullopt;
}

bool ListShowsFile(const std::vector<std::string>& shownNames, std::string_view directory,
                   std::string_view name) {
  for (const std::string& shown : shownNames) {
    if (shown == name) return true;
    if (EqualsIgnoringCase(shown, name) &&
        platform::IsSameFile(platform::JoinPath(directory, shown),
                             platform::JoinPath(directory, name))) {
      return true;
    }
  }
  return false;
}

void BatchConversion::ConvertSelection(const std::vector<std::string>& selectedNames) {
  for (const std::string& name : selectedNames) {
    if (IsSingleName(name) && IsDirectory(platform::JoinPath(app_.SourceDirectory, name))) {
      ConvertFolder(name);
    } else {
      ConvertItem(name, TextFileNameFor(name));
    }
  }
}

void BatchConversion::ConvertFolder(const std::string& folderName) {
  platform::Platform& system = platform::CurrentPlatform();
  // The search is relative to the folder; searching anywhere else would
  // convert the wrong documents.
  if (!system.SetCurrentDirectory(platform::JoinPath(app_.SourceDirectory, folderName))) return;
  for (const platform::FoundEntry& found : system.FindFiles(kDocumentPattern)) {
    if (found.isDirectory) continue;
    ConvertItem(folderName, found.name, TextFileNameFor(found.name));
  }
}

void BatchConversion::ConvertItem(const std::string& documentName, const std::string& textName) {
  ConvertItem({}, documentName, textName);
}

void BatchConversion::ConvertItem(std::string_view folder, const std::string& documentName,
                                  const std::string& textName) {
  // A name holding a separator would be taken apart by the path services and
  // lead to another file, or out of the target directory: it fails as it is.
  if (!IsSingleName(documentName) || !IsSingleName(textName)) {
    hooks_.addLogLine(FailedLine(documentName, textName));
    return;
  }
  if (IsExistingFile(platform::JoinPath(app_.TargetDirectory, textName))) {
    const platform::Answer answer = platform::CurrentPrompter().Show(
        OverwriteQuestion(textName), platform::Buttons::OkCancel, platform::Icon::Question);
    if (answer != platform::Answer::Ok) return;
  }

  const std::string path =
      folder.empty() ? documentName : platform::JoinPath(folder, documentName);
  if (!hooks_.convertFile(path, textName)) {
    hooks_.addLogLine(FailedLine(documentName, textName));
    return;
  }
  hooks_.addLogLine(SucceededLine(documentName, textName));
  if (!ListShowsFile(hooks_.shownTextNames(), app_.TargetDirectory, textName)) {
    app_.InsertFileEntry(textName, TextFilePicture, 0, TextSide);
    hooks_.refillTextList();
  }
}

}  // namespace exqrv::dialog
