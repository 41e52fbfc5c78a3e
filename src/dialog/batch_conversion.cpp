#include "dialog/batch_conversion.h"

#include <algorithm>

#include "document/document.h"
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

// Whether an item showing shown shows the file name names: the same name,
// or where the file system ignores case, another spelling of the same file.
bool ShowsFile(std::string_view shown, std::string_view directory, std::string_view name) {
  if (shown == name) return true;
  return EqualsIgnoringCase(shown, name) &&
         platform::IsSameFile(platform::JoinPath(directory, shown),
                              platform::JoinPath(directory, name));
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

std::string WithReason(std::string line, std::string_view reason) {
  if (!reason.empty()) line += Concat({": ", reason});
  return line;
}

std::string LostTextLine(std::string_view shownName, std::string_view textName,
                         std::string_view whatWasLost) {
  return Concat({SucceededLine(shownName, textName), ", but text is missing: ", whatWasLost});
}

std::string StoppedAtLine(std::string_view shownName, std::string_view textName,
                          std::string_view where) {
  return Concat({"Batch stopped at ", shownName, where.empty() ? "" : " ", where, "; ", textName,
                 " not written"});
}

std::string StoppedBeforeLine(std::string_view shownName) {
  return Concat({"Batch stopped before ", shownName});
}

std::string FolderNotOpenedLine(std::string_view folderName, std::string_view reason) {
  return WithReason(Concat({"Cannot open folder ", folderName}), reason);
}

bool IsDirectory(const std::string& path) {
  const auto status = platform::CurrentPlatform().StatusOf(path);
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
  return std::any_of(shownNames.begin(), shownNames.end(),
                     [&](const std::string& shown) { return ShowsFile(shown, directory, name); });
}

bool ListShowsFile(const EntryList& shown, std::string_view directory, std::string_view name) {
  return std::any_of(shown.begin(), shown.end(),
                     [&](const auto& entry) { return ShowsFile(entry->Name, directory, name); });
}

// Marks the batch running while it lives; the outermost one ends it.
class BatchConversion::Run {
 public:
  explicit Run(BatchConversion& batch) : batch_(batch), outermost_(!batch.running_) {
    if (!outermost_) return;
    batch_.running_ = true;
    batch_.stopRequested_ = false;
    batch_.stopLogged_ = false;
  }
  ~Run() {
    if (outermost_) batch_.running_ = batch_.stopRequested_ = false;
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

 private:
  BatchConversion& batch_;
  bool outermost_;
};

void BatchConversion::ConvertSelection(const std::vector<std::string>& selectedNames) {
  const Run run(*this);
  const WorkingCopyReuse reuse;  // one working copy for the batch's documents
  for (const std::string& name : selectedNames) {
    if (!GoesOn(name)) return;
    ConvertSelectedName(name);
  }
}

void BatchConversion::ConvertSelectedName(const std::string& name) {
  const std::string path = platform::JoinPath(app_.SourceDirectory, name);
  if (IsSingleName(name) && IsDirectory(path)) {
    ConvertFolder(name);
    return;
  }
  // An item whose file went away since the list was read: the list is out
  // of date.
  if (IsSingleName(name) && !platform::CurrentPlatform().StatusOf(path)) {
    hooks_.documentListChanged();
  }
  ConvertItem(name, TextFileNameFor(name));
}

void BatchConversion::ConvertFolder(const std::string& folderName) {
  const Run run(*this);
  platform::Platform& system = platform::CurrentPlatform();
  // The search is relative to the folder; searching anywhere else would
  // convert the wrong documents.
  if (!system.SetCurrentDirectory(platform::JoinPath(app_.SourceDirectory, folderName))) {
    hooks_.addLogLine(FolderNotOpenedLine(folderName, platform::LastSystemErrorText()));
    return;
  }
  for (const platform::FoundEntry& found : system.FindFiles(kDocumentPattern)) {
    if (found.isDirectory) continue;
    if (!GoesOn(found.name)) return;
    ConvertItem(folderName, found.name, TextFileNameFor(found.name));
  }
}

void BatchConversion::ConvertItem(const std::string& documentName, const std::string& textName) {
  const Run run(*this);
  if (GoesOn(documentName)) ConvertItem({}, documentName, textName);
}

bool BatchConversion::GoesOn(const std::string& nextDocument) {
  if (!stopRequested_) return true;
  if (!stopLogged_) hooks_.addLogLine(StoppedBeforeLine(nextDocument));
  stopLogged_ = true;
  return false;
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
    // The question is answered while the window answers too: a stop given
    // meanwhile holds.
    if (!GoesOn(documentName)) return;
  }

  const std::string path = folder.empty() ? documentName : platform::JoinPath(folder, documentName);
  const ConversionResult result = hooks_.convertFile(path, textName);
  Log(result, documentName, textName);
  if (result.outcome != Outcome::Converted && result.outcome != Outcome::LostText) return;
  if (!hooks_.textListShows(textName)) {
    const int index = app_.InsertFileEntry(textName, TextFilePicture, 0, TextSide);
    if (index >= 0) hooks_.showInsertedText(index);
  }
}

void BatchConversion::Log(const ConversionResult& result, const std::string& shownName,
                          const std::string& textName) {
  switch (result.outcome) {
    case Outcome::Converted: hooks_.addLogLine(SucceededLine(shownName, textName)); return;
    case Outcome::LostText:
      hooks_.addLogLine(LostTextLine(shownName, textName, result.detail));
      return;
    case Outcome::Failed:
      hooks_.addLogLine(WithReason(FailedLine(shownName, textName), result.detail));
      return;
    case Outcome::Stopped:
      stopRequested_ = true;
      stopLogged_ = true;
      hooks_.addLogLine(StoppedAtLine(shownName, textName, result.detail));
      return;
  }
}

}  // namespace exqrv::dialog
