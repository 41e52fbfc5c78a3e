#include "ui/batch_conversion.h"

#include "platform/platform.h"
#include "platform/prompter.h"
#include "ui/selector_rules.h"

namespace exqrv::ui {
namespace {

// The document's own name, without the sub-folder it was found in.
std::string_view ShownName(std::string_view documentName) {
  const size_t backslash = documentName.rfind('\\');
  return backslash == std::string_view::npos ? documentName : documentName.substr(backslash + 1);
}

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

void BatchConversion::ConvertSelection(const std::vector<std::string>& selectedNames) {
  for (const std::string& name : selectedNames) {
    if (IsDirectory(JoinPath(app_.SourceDirectory, name))) {
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
  if (!system.SetCurrentDirectory(JoinPath(app_.SourceDirectory, folderName))) return;
  std::string prefix = folderName;
  if (prefix.empty() || prefix.back() != '\\') prefix += '\\';

  for (const platform::FoundEntry& found : system.FindFiles(kDocumentSearchPattern)) {
    if (found.isDirectory) continue;
    ConvertItem(prefix + found.name, TextFileNameFor(found.name));
  }
}

void BatchConversion::ConvertItem(const std::string& documentName, const std::string& textName) {
  // The question rests on the list as shown, not on the disk.
  const bool listed = hooks_.textListShows(textName);
  if (listed) {
    const platform::Answer answer = platform::CurrentPrompter().Show(
        OverwriteQuestion(textName), platform::Buttons::OkCancel, platform::Icon::Question);
    if (answer != platform::Answer::Ok) return;
  }

  const bool converted = hooks_.convertFile(documentName, textName);
  const std::string_view shown = ShownName(documentName);
  if (!converted) {
    hooks_.addLogLine(FailedLine(shown, textName));
    return;
  }
  hooks_.addLogLine(SucceededLine(shown, textName));
  if (!listed) {
    app_.InsertFileEntry(textName, TextFilePicture, 0, TextSide);
    hooks_.refillTextList();
  }
}

}  // namespace exqrv::ui
