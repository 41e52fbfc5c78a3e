#include "ui/main_dialog.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

#include "ui/directory_combo_box.h"
#include "ui/display_text.h"
#include "ui/entry_painter.h"
#include "ui/entry_pictures.h"
#include "ui/file_list_box.h"
#include "dialog/selector_rules.h"

namespace exqrv::ui {

// The log's scroll bar, made to behave as a classic one: it never moves its
// thumb on its own (the dialog places it), and it tells when a scroll action
// ends, which is when the visible lines follow.
class LogScrollBar : public QScrollBar {
 public:
  LogScrollBar(MainDialog& dialog, QWidget* parent)
      : QScrollBar(Qt::Vertical, parent), dialog_(dialog) {
    setFocusPolicy(Qt::NoFocus);
    setTracking(false);
    setPageStep(1);
    connect(this, &QAbstractSlider::actionTriggered, this, &LogScrollBar::OnAction);
    connect(this, &QAbstractSlider::sliderReleased, this,
            [this] { dialog_.OnLogScroll(ScrollCode::ThumbPosition, sliderPosition()); });
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QScrollBar::mouseReleaseEvent(event);
    dialog_.OnLogScroll(ScrollCode::EndScroll, 0);
  }
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }

 private:
  void OnAction(int action) {
    switch (action) {
      case SliderSingleStepSub: Step(ScrollCode::LineUp); break;
      case SliderSingleStepAdd: Step(ScrollCode::LineDown); break;
      case SliderPageStepSub: Step(ScrollCode::PageUp); break;
      case SliderPageStepAdd: Step(ScrollCode::PageDown); break;
      case SliderToMinimum: Step(ScrollCode::Top); break;
      case SliderToMaximum: Step(ScrollCode::Bottom); break;
      default: dialog_.OnLogScroll(ScrollCode::ThumbTrack, sliderPosition()); break;
    }
  }
  void Step(ScrollCode code) {
    dialog_.OnLogScroll(code, 0);
    setSliderPosition(dialog_.Log().ScrollBar().position);
  }

  MainDialog& dialog_;
};

namespace {

// Shows the wait cursor while it lives.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

DialogUnits UnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  return {AverageCharWidth(metrics.horizontalAdvance(DisplayText(kAlphabet))), metrics.height()};
}

}  // namespace

MainDialog::MainDialog(ConverterApp& app, QWidget* parent)
    : QDialog(parent),
      app_(app),
      units_(UnitsOf(font())),
      batch_(app, BatchHooks{
                      [&app](const std::string& document, const std::string& text) {
                        return app.ConvertFile(document, text);
                      },
                      [this] { return textList_->ItemNames(); },
                      [this](const std::string& line) {
                        AddLogLine(line);
                        RepaintLog();
                      },
                      [this] {
                        RefillFileList(TextSide);
                        textList_->RepaintNow();
                      },
                  }) {
  setWindowTitle(DisplayText(kDialogTitle));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  const PixelRect size = ToPixels(units_, kDialogSize);
  setFixedSize(size.width, size.height);
  CreateControls();
  Initialise();
}

MainDialog::~MainDialog() = default;

QWidget* MainDialog::Control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

FileListBox* MainDialog::FileList(Side side) const {
  return side == DocumentSide ? documentList_ : textList_;
}

DirectoryComboBox* MainDialog::Selector(Side side) const {
  return side == DocumentSide ? documentSelector_ : textSelector_;
}

void MainDialog::CreateControls() {
  QWidget* previousTabStop = nullptr;
  for (const ControlTemplate& control : DialogControls()) {
    QWidget* widget = CreateControl(control);
    PlaceControl(widget, control);
    if (control.id != kNoId) {
      controls_[control.id] = widget;
      widget->setProperty("controlId", control.id);
    }
    if (!control.tabStop) continue;
    if (previousTabStop != nullptr) setTabOrder(previousTabStop, widget);
    previousTabStop = widget;
  }
  ConnectEvents();
}

QWidget* MainDialog::CreateControl(const ControlTemplate& control) {
  switch (control.kind) {
    case ControlKind::PushButton: {
      auto* button = new QPushButton(DisplayText(control.text), this);
      button->setDefault(control.id == kExitButtonId);
      return button;
    }
    case ControlKind::FileList: {
      const Side side = control.id == kDocumentFileListId ? DocumentSide : TextSide;
      auto* list = new FileListBox(app_, side, this);
      (side == DocumentSide ? documentList_ : textList_) = list;
      return list;
    }
    case ControlKind::DirectorySelector: {
      const Side side = control.id == kDocumentSelectorId ? DocumentSide : TextSide;
      auto* selector = new DirectoryComboBox(app_, side, this);
      (side == DocumentSide ? documentSelector_ : textSelector_) = selector;
      return selector;
    }
    case ControlKind::Label: return new QLabel(DisplayText(control.text), this);
    case ControlKind::Icon: {
      auto* icon = new QLabel(this);
      icon->setObjectName(kApplicationIconName);
      icon->setPixmap(ApplicationPixmap());
      icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return icon;
    }
    case ControlKind::Frame: {
      auto* frame = new QFrame(this);
      frame->setObjectName(kLogFrameName);
      frame->setFrameStyle(QFrame::Box | QFrame::Plain);
      frame->setLineWidth(1);
      // A plain frame is drawn in the text colour; the log's is grey.
      QPalette palette = frame->palette();
      palette.setColor(QPalette::WindowText, kLogFrameColor);
      frame->setPalette(palette);
      logFrame_ = frame;
      return frame;
    }
    case ControlKind::ScrollBar: {
      logScrollBar_ = new LogScrollBar(*this, this);
      logScrollBar_->setRange(0, 0);
      logScrollBar_->hide();
      return logScrollBar_;
    }
    case ControlKind::LogLine: {
      auto* line = new QLabel(this);
      line->setTextFormat(Qt::PlainText);
      return line;
    }
  }
  return nullptr;
}

void MainDialog::PlaceControl(QWidget* widget, const ControlTemplate& control) {
  const PixelRect place = ToPixels(units_, control.rect);
  if (control.kind == ControlKind::Icon) {
    // An icon keeps its own size, whatever the template says.
    widget->setGeometry(place.x, place.y, ApplicationPixmap().width(),
                        ApplicationPixmap().height());
    return;
  }
  if (control.kind != ControlKind::DirectorySelector) {
    widget->setGeometry(place.x, place.y, place.width, place.height);
    return;
  }
  // A selector's template height includes its dropped list.
  auto* selector = static_cast<QComboBox*>(widget);
  const int fieldHeight = selector->sizeHint().height();
  widget->setGeometry(place.x, place.y, place.width, fieldHeight);
  const int itemHeight = EntryItemHeight(selector->fontMetrics());
  selector->setMaxVisibleItems(std::max(1, (place.height - fieldHeight) / itemHeight));
}

void MainDialog::ConnectEvents() {
  connect(static_cast<QPushButton*>(Control(kExitButtonId)), &QPushButton::clicked, this,
          &QDialog::accept);
  connect(static_cast<QPushButton*>(Control(kConvertButtonId)), &QPushButton::clicked, this,
          &MainDialog::OnConvert);
  connect(static_cast<QPushButton*>(Control(kDocumentUpButtonId)), &QPushButton::clicked, this,
          [this] { GoUp(DocumentSide); });
  connect(static_cast<QPushButton*>(Control(kTextUpButtonId)), &QPushButton::clicked, this,
          [this] { GoUp(TextSide); });
  connect(documentSelector_, &QComboBox::activated, this,
          [this] { OnDirectoryChosen(DocumentSide); });
  connect(textSelector_, &QComboBox::activated, this, [this] { OnDirectoryChosen(TextSide); });
  connect(documentList_, &QListWidget::itemDoubleClicked, this,
          &MainDialog::OnDocumentDoubleClick);
  connect(textList_, &QListWidget::itemDoubleClicked, this, &MainDialog::OnTextDoubleClick);
}

void MainDialog::Initialise() {
  FillDirectoryCombo(DocumentSide);
  FillDirectoryCombo(TextSide);
  RefreshFileList(DocumentSide);
  RefreshFileList(TextSide);
  AddToolTips();
  Control(kExitButtonId)->setFocus();
}

void MainDialog::AddToolTips() {
  for (const ControlTemplate& control : DialogControls()) {
    if (!control.toolTip.empty()) Control(control.id)->setToolTip(DisplayText(control.toolTip));
  }
}

std::string& MainDialog::DirectoryOf(Side side) {
  return side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory;
}

// Conversion.

void MainDialog::OnConvert() {
  const std::vector<std::string> names = documentList_->SelectedNames();
  if (names.empty()) return;
  WaitCursor wait;
  batch_.ConvertSelection(names);
}

void MainDialog::ConvertItem(const std::string& documentName, const std::string& textName) {
  batch_.ConvertItem(documentName, textName);
}

void MainDialog::ConvertFolder(const std::string& folderName) {
  batch_.ConvertFolder(folderName);
}

void MainDialog::OnDocumentDoubleClick() {
  const std::optional<std::string> name = documentList_->CurrentName();
  if (!name) return;
  if (const std::optional<std::string> folder = FolderOpenedBy(app_.SourceDirectory, *name)) {
    ChangeDirectory(DocumentSide, *folder);
    return;
  }
  WaitCursor wait;
  ConvertItem(*name, TextFileNameFor(*name));
}

void MainDialog::OnTextDoubleClick() {
  const std::vector<std::string> selected = textList_->SelectedNames();
  if (selected.empty()) return;
  // A text file is not opened; only a folder is entered.
  if (const auto folder = FolderOpenedBy(app_.TargetDirectory, selected.front())) {
    ChangeDirectory(TextSide, *folder);
  }
}

// The log.

void MainDialog::AddLogLine(const std::string& line) {
  log_.AddLogLine(line);
  SyncScrollBar();
  ShowLogLines();
}

// A batch holds the one thread; what it has done so far is painted at once,
// line by line, instead of when the batch ends.
void MainDialog::RepaintLog() { repaint(logFrame_->geometry()); }

void MainDialog::SyncScrollBar() {
  const auto& bar = log_.ScrollBar();
  if (!bar.visible) return;
  logScrollBar_->setRange(bar.minimum, bar.maximum);
  logScrollBar_->setEnabled(true);
  logScrollBar_->show();
  logScrollBar_->setValue(bar.position);
  logScrollBar_->setSliderPosition(bar.position);
  logScrollBar_->update();
}

void MainDialog::ShowLogLines() {
  for (int k = 0; k < kVisibleLogLines; ++k) {
    static_cast<QLabel*>(Control(kFirstLogLineId + k))->setText(DisplayText(log_.VisibleLine(k)));
  }
}

void MainDialog::OnLogScroll(ScrollCode code, int thumbPosition) {
  if (!log_.OnLogScroll(code, thumbPosition)) return;
  SyncScrollBar();
  ShowLogLines();
}

// File lists.

void MainDialog::RefreshFileList(Side side) {
  const int count = app_.ScanDirectory(side);
  FileListBox* list = FileList(side);
  list->ShowNames(static_cast<size_t>(std::max(count, 0)));
  // A directory read afresh shows its first entry at the top, wherever the
  // list stood before.
  list->scrollToTop();
}

void MainDialog::RefillFileList(Side side) {
  FileListBox* list = FileList(side);
  list->ShowNames(list->Entries().size());
}

// Selectors.

void MainDialog::FillDirectoryCombo(Side side) {
  app_.BuildDirectoryList(side);
  DirectoryComboBox* selector = Selector(side);
  selector->ShowNames();
  selector->setCurrentIndex(
      DirectorySelection(selector->Entries(), selector->ItemNames(), DirectoryOf(side)));
}

void MainDialog::OnDirectoryChosen(Side side) {
  DirectoryComboBox* selector = Selector(side);
  const std::optional<std::string> path =
      ChosenDirectory(selector->ItemNames(), selector->currentIndex(), DirectoryOf(side));
  if (path) ChangeDirectory(side, *path);
}

void MainDialog::ChangeDirectory(Side side, const std::string& path) {
  DirectoryOf(side) = path;
  FillDirectoryCombo(side);
  RefreshFileList(side);
}

void MainDialog::GoUp(Side side) {
  const std::optional<std::string> parent = ParentDirectory(DirectoryOf(side));
  if (parent) ChangeDirectory(side, *parent);
}

}  // namespace exqrv::ui
