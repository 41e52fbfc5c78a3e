#include "dialog/dialog_controller.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "dialog/dialog_template.h"
#include "dialog/entry_painting.h"
#include "dialog/selector_rules.h"
#include "dialog/watched_conversion.h"
#include "platform/prompter.h"

namespace exqrv::dialog {
namespace {

std::vector<std::string> NamesOf(const EntryList& entries) {
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (const auto& entry : entries) names.push_back(entry->Name);
  return names;
}

const EntryList& FilesOf(const ConverterApp& app, Side side) {
  return side == DocumentSide ? app.DocumentFileList : app.TextFileList;
}

const EntryList& DirectoriesOf(const ConverterApp& app, Side side) {
  return side == DocumentSide ? app.DocumentDirectoryList : app.TextDirectoryList;
}

// During a batch a question or a message is shown over a window that has
// painted what the batch did so far.
class PromptAfterTurn : public platform::Prompter {
 public:
  explicit PromptAfterTurn(DialogView& view)
      : view_(view), shown_(platform::CurrentPrompter()), installed_(this) {}

  platform::Answer Show(std::string_view text, platform::Buttons buttons,
                        platform::Icon icon) override {
    view_.ProcessEvents();
    return shown_.Show(text, buttons, icon);
  }

 private:
  DialogView& view_;
  platform::Prompter& shown_;
  platform::PrompterScope installed_;
};

}  // namespace

DialogController::DialogController(ConverterApp& app, DialogView& view,
                                   std::chrono::milliseconds turnInterval)
    : app_(app), view_(view), batch_(app, MakeBatchHooks()), turnInterval_(turnInterval) {}

BatchHooks DialogController::MakeBatchHooks() {
  return {
      [this](const std::string& document, const std::string& text) {
        return ConvertDuringBatch(document, text);
      },
      // Every entry of the text list is shown.
      [this](const std::string& textName) {
        return ListShowsFile(app_.TextFileList, app_.TargetDirectory, textName);
      },
      [this](const std::string& line) { AddLogLine(line); },
      [this](int index) { view_.InsertFileListItem(TextSide, index); },
      [this] { documentListChanged_ = true; },
  };
}

void DialogController::Initialise() {
  FillDirectoryCombo(DocumentSide);
  FillDirectoryCombo(TextSide);
  RefreshFileList(DocumentSide);
  RefreshFileList(TextSide);
}

std::string& DialogController::DirectoryOf(Side side) {
  return side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory;
}

std::vector<std::string> DialogController::NamesOfItems(const EntryList& entries,
                                                        const std::vector<int>& items) const {
  std::vector<std::string> names;
  for (const int item : items) {
    if (const ListEntry* entry = EntryAt(entries, item)) names.push_back(entry->Name);
  }
  return names;
}

// Conversion. Names are taken from the entries the items show, never read
// back from a control.

// A batch lets the window answer between pages; what the user asks for
// meanwhile, other than a stop, waits for a batch of its own.

void DialogController::OnConvert() {
  if (batch_.Running()) return;
  const std::vector<std::string> names =
      NamesOfItems(app_.DocumentFileList, view_.SelectedItems(DocumentSide));
  if (names.empty()) return;
  RunBatch([&] { batch_.ConvertSelection(names); });
  if (std::exchange(documentListChanged_, false)) RefreshFileList(DocumentSide);
}

bool DialogController::StopBatch() {
  batch_.RequestStop();
  return batch_.Running();
}

void DialogController::RefreshAll() {
  if (batch_.Running()) return;
  for (const Side side : {DocumentSide, TextSide}) {
    FillDirectoryCombo(side);
    RefreshFileList(side);
  }
}

void DialogController::OnDocumentDoubleClick() {
  if (batch_.Running()) return;
  const ListEntry* entry = EntryAt(app_.DocumentFileList, view_.CaretItem(DocumentSide));
  if (entry == nullptr) return;
  const std::string name = entry->Name;
  if (const std::optional<std::string> folder = FolderOpenedBy(app_.SourceDirectory, name)) {
    ChangeDirectory(DocumentSide, *folder);
    return;
  }
  RunBatch([&] { batch_.ConvertItem(name, TextFileNameFor(name)); });
}

void DialogController::OnTextDoubleClick() {
  const std::vector<std::string> selected =
      NamesOfItems(app_.TextFileList, view_.SelectedItems(TextSide));
  if (selected.empty()) return;
  // A text file is not opened; only a folder is entered.
  if (const auto folder = FolderOpenedBy(app_.TargetDirectory, selected.front())) {
    ChangeDirectory(TextSide, *folder);
  }
}

void DialogController::RunBatch(const std::function<void()>& work) {
  const WaitCursorScope wait(view_);
  const PromptAfterTurn prompter(view_);
  nextTurn_.reset();
  work();
}

ConversionResult DialogController::ConvertDuringBatch(const std::string& documentName,
                                                      const std::string& textName) {
  return ConvertWatched(app_, documentName, textName, [this] { return GoesOnAfterPage(); });
}

bool DialogController::GoesOnAfterPage() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  if (!nextTurn_ || start >= *nextTurn_) {
    view_.ProcessEvents();
    const Clock::time_point end = Clock::now();
    const Clock::duration spacing = kWorkPerTurnTime * (end - start);
    nextTurn_ = end + std::max<Clock::duration>(turnInterval_, spacing);
  }
  return !batch_.StopRequested();
}

// The log.

void DialogController::AddLogLine(const std::string& line) {
  log_.AddLogLine(line);
  ShowLog();
}

void DialogController::OnLogScroll(ScrollCode code, int thumbPosition) {
  if (log_.OnLogScroll(code, thumbPosition)) ShowLog();
}

void DialogController::ShowLog() {
  if (log_.ScrollBar().visible) view_.ShowLogScrollBar(log_.ScrollBar());
  for (int k = 0; k < kVisibleLogLines; ++k) view_.ShowLogLine(k, log_.VisibleLine(k));
}

// File lists.

void DialogController::RefreshFileList(Side side) {
  const int count = app_.ScanDirectory(side);
  view_.ShowFileList(side, static_cast<size_t>(std::max(count, 0)));
  // A directory read afresh shows its first entry at the top, wherever the
  // list stood before.
  view_.ScrollFileListToTop(side);
}

void DialogController::RefillFileList(Side side) {
  view_.ShowFileList(side, FilesOf(app_, side).size());
}

// Selectors.

void DialogController::FillDirectoryCombo(Side side) {
  app_.BuildDirectoryList(side);
  const EntryList& entries = DirectoriesOf(app_, side);
  view_.ShowSelector(side, DirectorySelection(entries, NamesOf(entries), DirectoryOf(side)));
}

void DialogController::OnDirectoryChosen(Side side) {
  const std::optional<std::string> path = ChosenDirectory(
      NamesOf(DirectoriesOf(app_, side)), view_.ChosenSelectorItem(side), DirectoryOf(side));
  if (path) ChangeDirectory(side, *path);
}

void DialogController::ChangeDirectory(Side side, const std::string& path) {
  DirectoryOf(side) = path;
  FillDirectoryCombo(side);
  RefreshFileList(side);
}

void DialogController::GoUp(Side side) {
  const std::optional<std::string> parent = ParentDirectory(DirectoryOf(side));
  if (parent) ChangeDirectory(side, *parent);
}

}  // namespace exqrv::dialog
