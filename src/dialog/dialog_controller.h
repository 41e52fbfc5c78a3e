// The dialog's controller, shared by every front end: what the dialog holds
// beyond its windows (the log, the batch) and what each of its events does.
// It reaches the window only through DialogView, which each front end
// implements with its own toolkit.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/converter_app.h"
#include "dialog/batch_conversion.h"
#include "dialog/dialog_log.h"

namespace exqrv::dialog {

// The window as the controller sees it. Item i of a file list or a selector
// shows entry i of the side's list in ConverterApp; the view paints items
// from those entries and reports items by index, never by the text they show.
class DialogView {
 public:
  virtual ~DialogView() = default;

  // Makes the side's file list show the first count entries, one item each.
  virtual void ShowFileList(Side side, size_t count) = 0;
  // Adds an item at index for the entry just inserted there; the items
  // after it move down, the selection stays with its items. It is painted
  // with the window's next turn.
  virtual void InsertFileListItem(Side side, int index) = 0;
  virtual void ScrollFileListToTop(Side side) = 0;
  // The selected items of the side's file list, in list order.
  virtual std::vector<int> SelectedItems(Side side) const = 0;
  // The item of the side's file list that has the caret, or -1.
  virtual int CaretItem(Side side) const = 0;

  // Makes the side's selector show every directory entry, item `selection`
  // chosen (-1 for none).
  virtual void ShowSelector(Side side, int selection) = 0;
  // The item chosen in the side's selector, or -1.
  virtual int ChosenSelectorItem(Side side) const = 0;

  // Field k (0 to 5) of the log shows text.
  virtual void ShowLogLine(int field, const std::string& text) = 0;
  // Called only while the bar is visible.
  virtual void ShowLogScrollBar(const LogScrollState& bar) = 0;

  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // Lets the window answer between two pages of a batch (painting what
  // changed, the window manager, Escape and the close box, which stop the
  // batch); other input waits until the batch ends.
  virtual void ProcessEvents() = 0;
};

// Shows the wait cursor while it lives.
class WaitCursorScope {
 public:
  explicit WaitCursorScope(DialogView& view) : view_(view) { view_.BeginWaitCursor(); }
  ~WaitCursorScope() { view_.EndWaitCursor(); }
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;

 private:
  DialogView& view_;
};

// A batch gives the window a turn after its first page, then at most this
// often: often enough to answer Escape and the window manager at once, rare
// enough that painting each new line and text costs a long batch little.
inline constexpr std::chrono::milliseconds kWindowTurnInterval{50};
// Where painting is slow (a loaded machine, a remote display), turns are
// spaced further, so that they take at most a fifth of a batch's time: the
// next comes no sooner than this many times the last one's length after it.
inline constexpr int kWorkPerTurnTime = 4;

class DialogController {
 public:
  // Neither is used before Initialise, so a view may hand itself over while
  // it is still being made.
  DialogController(ConverterApp& app, DialogView& view,
                   std::chrono::milliseconds turnInterval = kWindowTurnInterval);

  // Fills both selectors and both file lists.
  void Initialise();

  void OnConvert();
  void OnDocumentDoubleClick();
  void OnTextDoubleClick();

  // Escape or the close box: a running batch stops after its current page
  // and the dialog stays open. False when no batch runs: the dialog closes.
  bool StopBatch();
  bool BatchRunning() const { return batch_.Running(); }

  // F5, or a folder that changed: both selectors and both lists read afresh.
  void RefreshAll();

  void AddLogLine(const std::string& line);
  void OnLogScroll(ScrollCode code, int thumbPosition);
  const DialogLog& Log() const { return log_; }

  // Reads the side's directory again and shows it from its first entry.
  void RefreshFileList(Side side);
  // Shows the side's entries again, without reading the directory.
  void RefillFileList(Side side);

  void FillDirectoryCombo(Side side);
  void OnDirectoryChosen(Side side);
  void ChangeDirectory(Side side, const std::string& path);
  void GoUp(Side side);

 private:
  BatchHooks MakeBatchHooks();
  // Under the wait cursor, the window's turns counted from the batch's start.
  void RunBatch(const std::function<void()>& work);
  ConversionResult ConvertDuringBatch(const std::string& documentName, const std::string& textName);
  // After each page: the window's turn when one is due; false to stop.
  bool GoesOnAfterPage();
  void ShowLog();
  // The stored names of the items, skipping any that show no entry.
  std::vector<std::string> NamesOfItems(const EntryList& entries,
                                        const std::vector<int>& items) const;
  std::string& DirectoryOf(Side side);

  ConverterApp& app_;
  DialogView& view_;
  DialogLog log_;
  BatchConversion batch_;
  std::chrono::milliseconds turnInterval_;
  // When the window's next turn in the running batch is due; none before
  // its first.
  std::optional<std::chrono::steady_clock::time_point> nextTurn_;
  // The document list is read again once the batch ends.
  bool documentListChanged_ = false;
};

}  // namespace exqrv::dialog
