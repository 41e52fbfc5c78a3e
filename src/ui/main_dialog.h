// The only window of the interactive mode: a selector and a file list for the
// documents on the left and for the text files on the right, "Convert" between
// them, and a six-line log below.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QColor>
#include <QDialog>

#include "app/converter_app.h"
#include "dialog/dialog_controller.h"
#include "dialog/dialog_template.h"

class QFileSystemWatcher;
class QLabel;
class QTimer;
class QPushButton;
class QScrollBar;

namespace exqrv::ui {

class DirectoryComboBox;
class FileListBox;
class LogScrollBar;

// Object names of the two controls without an id.
inline constexpr char kApplicationIconName[] = "applicationIcon";
inline constexpr char kLogFrameName[] = "logFrame";

// The grey of the frame around the log.
inline constexpr QColor kLogFrameColor{0x80, 0x80, 0x80};

// The Qt view of the shared controller: it makes the controls from the
// template, forwards their events to the controller and paints.
class MainDialog : public QDialog, private dialog::DialogView {
 public:
  explicit MainDialog(ConverterApp& app, QWidget* parent = nullptr);
  ~MainDialog() override;

  // The control with this id, or nullptr.
  QWidget* Control(int id) const;
  FileListBox* FileList(Side side) const;
  DirectoryComboBox* Selector(Side side) const;
  const dialog::DialogUnits& Units() const { return units_; }
  dialog::DialogController& Controller() { return controller_; }

  // Selects the document of that name and gives its list the focus; a name
  // that is not listed selects nothing.
  void SelectDocument(const std::string& name);

  // Escape and the close box stop a running batch instead of closing.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // The wheel over the log scrolls it; while a batch runs, input other
  // than Escape is set aside.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  QWidget* CreateControl(const dialog::ControlTemplate& control);
  void PlaceControl(QWidget* widget, const dialog::ControlTemplate& control);
  void ConnectEvents();
  void AddToolTips();
  // A list whose folder changes on disk is read again, a moment after the
  // last change and never during a batch.
  void WatchFolders();
  void WatchFolder(Side side);
  void OnFolderChanged();
  // The wheel over the log scrolls it as its scroll bar's arrows do.
  void ScrollLog(const QWheelEvent& wheel);

  // The view.
  void ShowFileList(Side side, size_t count) override;
  void InsertFileListItem(Side side, int index) override;
  void ScrollFileListToTop(Side side) override;
  std::vector<int> SelectedItems(Side side) const override;
  int CaretItem(Side side) const override;
  void ShowSelector(Side side, int selection) override;
  int ChosenSelectorItem(Side side) const override;
  void ShowLogLine(int field, const std::string& text) override;
  void ShowLogScrollBar(const dialog::LogScrollState& bar) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void ProcessEvents() override;

  ConverterApp& app_;
  dialog::DialogUnits units_;
  std::map<int, QWidget*> controls_;
  FileListBox* documentList_ = nullptr;
  FileListBox* textList_ = nullptr;
  DirectoryComboBox* documentSelector_ = nullptr;
  DirectoryComboBox* textSelector_ = nullptr;
  LogScrollBar* logScrollBar_ = nullptr;
  QFileSystemWatcher* folderWatcher_ = nullptr;
  QTimer* folderRefresh_ = nullptr;
  std::map<Side, std::string> watchedFolders_;
  std::set<std::string> changedFolders_;
  dialog::DialogController controller_;
};

}  // namespace exqrv::ui
