// The only window of the interactive mode: a selector and a file list for the
// documents on the left and for the text files on the right, "Convert" between
// them, and a six-line log below.
#pragma once

#include <map>
#include <memory>
#include <string>

#include <QColor>
#include <QDialog>

#include "app/converter_app.h"
#include "dialog/batch_conversion.h"
#include "dialog/dialog_log.h"
#include "dialog/dialog_template.h"

class QLabel;
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

class MainDialog : public QDialog {
 public:
  explicit MainDialog(ConverterApp& app, QWidget* parent = nullptr);
  ~MainDialog() override;

  // The control with this id, or nullptr.
  QWidget* Control(int id) const;
  FileListBox* FileList(Side side) const;
  DirectoryComboBox* Selector(Side side) const;
  const DialogUnits& Units() const { return units_; }
  const DialogLog& Log() const { return log_; }

  void OnConvert();
  void ConvertItem(const std::string& documentName, const std::string& textName);
  void ConvertFolder(const std::string& folderName);
  void OnDocumentDoubleClick();
  void OnTextDoubleClick();

  void AddLogLine(const std::string& line);
  void ShowLogLines();
  void OnLogScroll(ScrollCode code, int thumbPosition);

  void RefreshFileList(Side side);
  void RefillFileList(Side side);

  void FillDirectoryCombo(Side side);
  void OnDirectoryChosen(Side side);
  void ChangeDirectory(Side side, const std::string& path);
  void GoUp(Side side);

 private:
  void Initialise();
  void CreateControls();
  QWidget* CreateControl(const ControlTemplate& control);
  void PlaceControl(QWidget* widget, const ControlTemplate& control);
  void ConnectEvents();
  void AddToolTips();
  void SyncScrollBar();
  void RepaintLog();
  std::string& DirectoryOf(Side side);

  ConverterApp& app_;
  DialogUnits units_;
  std::map<int, QWidget*> controls_;
  FileListBox* documentList_ = nullptr;
  FileListBox* textList_ = nullptr;
  DirectoryComboBox* documentSelector_ = nullptr;
  DirectoryComboBox* textSelector_ = nullptr;
  LogScrollBar* logScrollBar_ = nullptr;
  QWidget* logFrame_ = nullptr;
  DialogLog log_;
  BatchConversion batch_;
};

}  // namespace exqrv::ui
