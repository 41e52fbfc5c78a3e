#include "ui/main_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
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
  LogScrollBar(dialog::DialogController& controller, QWidget* parent)
      : QScrollBar(Qt::Vertical, parent), controller_(controller) {
    setFocusPolicy(Qt::NoFocus);
    setTracking(false);
    setPageStep(1);
    connect(this, &QAbstractSlider::actionTriggered, this, &LogScrollBar::OnAction);
    connect(this, &QAbstractSlider::sliderReleased, this, [this] {
      controller_.OnLogScroll(dialog::ScrollCode::ThumbPosition, sliderPosition());
    });
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QScrollBar::mouseReleaseEvent(event);
    controller_.OnLogScroll(dialog::ScrollCode::EndScroll, 0);
  }
  // The dialog scrolls the log by the wheel, wherever over the log it turns.
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }

 private:
  void OnAction(int action) {
    switch (action) {
      case SliderSingleStepSub: Step(dialog::ScrollCode::LineUp); break;
      case SliderSingleStepAdd: Step(dialog::ScrollCode::LineDown); break;
      case SliderPageStepSub: Step(dialog::ScrollCode::PageUp); break;
      case SliderPageStepAdd: Step(dialog::ScrollCode::PageDown); break;
      case SliderToMinimum: Step(dialog::ScrollCode::Top); break;
      case SliderToMaximum: Step(dialog::ScrollCode::Bottom); break;
      default: controller_.OnLogScroll(dialog::ScrollCode::ThumbTrack, sliderPosition()); break;
    }
  }
  void Step(dialog::ScrollCode code) {
    controller_.OnLogScroll(code, 0);
    setSliderPosition(controller_.Log().ScrollBar().position);
  }

  dialog::DialogController& controller_;
};

namespace {

// How long the folder of a list stays quiet before the list is read again.
constexpr int kFolderRefreshDelayMs = 200;

// Set on the controls of the log: the wheel over them scrolls it.
constexpr char kScrollsLog[] = "scrollsLog";

// Input that a running batch holds back: it would start another batch, or
// change a directory under it.
bool IsHeldInput(const QEvent& event) {
  switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyRelease:
    case QEvent::Shortcut: return true;
    case QEvent::KeyPress: return static_cast<const QKeyEvent&>(event).key() != Qt::Key_Escape;
    default: return false;
  }
}

dialog::DialogUnits UnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  return {dialog::AverageCharWidth(metrics.horizontalAdvance(DisplayText(dialog::kAlphabet))),
          metrics.height()};
}

}  // namespace

MainDialog::MainDialog(ConverterApp& app, QWidget* parent)
    : QDialog(parent), app_(app), units_(UnitsOf(font())), controller_(app, *this) {
  setWindowTitle(DisplayText(dialog::kDialogTitle));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  const dialog::PixelRect size = dialog::ToPixels(units_, dialog::kDialogSize);
  setFixedSize(size.width, size.height);
  CreateControls();
  controller_.Initialise();
  AddToolTips();
  WatchFolders();
  Control(dialog::kExitButtonId)->setFocus();
}

MainDialog::~MainDialog() = default;

void MainDialog::SelectDocument(const std::string& name) {
  // Item i shows entry i.
  const EntryList& entries = app_.DocumentFileList;
  for (int row = 0; row < documentList_->count(); ++row) {
    if (static_cast<size_t>(row) >= entries.size() || entries[row]->Name != name) continue;
    documentList_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    documentList_->setFocus();
    return;
  }
}

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
  for (const dialog::ControlTemplate& control : dialog::DialogControls()) {
    QWidget* widget = CreateControl(control);
    PlaceControl(widget, control);
    if (control.kind == dialog::ControlKind::LogLine ||
        control.kind == dialog::ControlKind::Frame ||
        control.kind == dialog::ControlKind::ScrollBar) {
      widget->setProperty(kScrollsLog, true);
      widget->installEventFilter(this);
    }
    if (control.id != dialog::kNoId) {
      controls_[control.id] = widget;
      widget->setProperty("controlId", control.id);
    }
    if (!control.tabStop) continue;
    if (previousTabStop != nullptr) setTabOrder(previousTabStop, widget);
    previousTabStop = widget;
  }
  ConnectEvents();
}

QWidget* MainDialog::CreateControl(const dialog::ControlTemplate& control) {
  switch (control.kind) {
    case dialog::ControlKind::PushButton: {
      auto* button = new QPushButton(DisplayText(control.text), this);
      button->setDefault(control.id == dialog::kExitButtonId);
      return button;
    }
    case dialog::ControlKind::FileList: {
      const Side side = control.id == dialog::kDocumentFileListId ? DocumentSide : TextSide;
      auto* list = new FileListBox(app_, side, this);
      (side == DocumentSide ? documentList_ : textList_) = list;
      return list;
    }
    case dialog::ControlKind::DirectorySelector: {
      const Side side = control.id == dialog::kDocumentSelectorId ? DocumentSide : TextSide;
      auto* selector = new DirectoryComboBox(app_, side, this);
      (side == DocumentSide ? documentSelector_ : textSelector_) = selector;
      return selector;
    }
    case dialog::ControlKind::Label: return new QLabel(DisplayText(control.text), this);
    case dialog::ControlKind::Icon: {
      auto* icon = new QLabel(this);
      icon->setObjectName(kApplicationIconName);
      icon->setPixmap(ApplicationPixmap());
      icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return icon;
    }
    case dialog::ControlKind::Frame: {
      auto* frame = new QFrame(this);
      frame->setObjectName(kLogFrameName);
      frame->setFrameStyle(QFrame::Box | QFrame::Plain);
      frame->setLineWidth(1);
      // A plain frame is drawn in the text colour; the log's is grey.
      QPalette palette = frame->palette();
      palette.setColor(QPalette::WindowText, kLogFrameColor);
      frame->setPalette(palette);
      return frame;
    }
    case dialog::ControlKind::ScrollBar: {
      logScrollBar_ = new LogScrollBar(controller_, this);
      logScrollBar_->setRange(0, 0);
      logScrollBar_->hide();
      return logScrollBar_;
    }
    case dialog::ControlKind::LogLine: {
      auto* line = new QLabel(this);
      line->setTextFormat(Qt::PlainText);
      return line;
    }
  }
  return nullptr;
}

void MainDialog::PlaceControl(QWidget* widget, const dialog::ControlTemplate& control) {
  const dialog::PixelRect place = dialog::ToPixels(units_, control.rect);
  if (control.kind == dialog::ControlKind::Icon) {
    // An icon keeps its own size, whatever the template says.
    widget->setGeometry(place.x, place.y, ApplicationPixmap().width(),
                        ApplicationPixmap().height());
    return;
  }
  if (control.kind != dialog::ControlKind::DirectorySelector) {
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
  dialog::DialogController& controller = controller_;
  const auto button = [this](int id) { return static_cast<QPushButton*>(Control(id)); };
  connect(button(dialog::kExitButtonId), &QPushButton::clicked, this, &QDialog::accept);
  connect(button(dialog::kConvertButtonId), &QPushButton::clicked, this,
          [&controller] { controller.OnConvert(); });
  connect(button(dialog::kDocumentUpButtonId), &QPushButton::clicked, this,
          [&controller] { controller.GoUp(DocumentSide); });
  connect(button(dialog::kTextUpButtonId), &QPushButton::clicked, this,
          [&controller] { controller.GoUp(TextSide); });
  connect(documentSelector_, &QComboBox::activated, this,
          [&controller] { controller.OnDirectoryChosen(DocumentSide); });
  connect(textSelector_, &QComboBox::activated, this,
          [&controller] { controller.OnDirectoryChosen(TextSide); });
  connect(documentList_, &QListWidget::itemDoubleClicked, this,
          [&controller] { controller.OnDocumentDoubleClick(); });
  connect(textList_, &QListWidget::itemDoubleClicked, this,
          [&controller] { controller.OnTextDoubleClick(); });
}

void MainDialog::AddToolTips() {
  for (const dialog::ControlTemplate& control : dialog::DialogControls()) {
    if (!control.toolTip.empty()) Control(control.id)->setToolTip(DisplayText(control.toolTip));
  }
}

void MainDialog::WatchFolders() {
  folderWatcher_ = new QFileSystemWatcher(this);
  folderRefresh_ = new QTimer(this);
  folderRefresh_->setSingleShot(true);
  folderRefresh_->setInterval(kFolderRefreshDelayMs);
  connect(folderWatcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
    changedFolders_.insert(path.toStdString());
    folderRefresh_->start();
  });
  connect(folderRefresh_, &QTimer::timeout, this, &MainDialog::OnFolderChanged);
  for (const Side side : {DocumentSide, TextSide}) WatchFolder(side);
}

void MainDialog::WatchFolder(Side side) {
  if (folderWatcher_ == nullptr) return;
  const std::string folder =
      platform::DisplayPath(side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory);
  std::string& watched = watchedFolders_[side];
  if (watched == folder) return;
  const std::string& other = watchedFolders_[side == DocumentSide ? TextSide : DocumentSide];
  if (!watched.empty() && watched != other) {
    folderWatcher_->removePath(QString::fromStdString(watched));
  }
  watched = folder;
  folderWatcher_->addPath(QString::fromStdString(folder));
}

void MainDialog::OnFolderChanged() {
  // A batch changes the text folder itself, and shows what it wrote.
  if (controller_.BatchRunning()) {
    folderRefresh_->start();
    return;
  }
  for (const Side side : {DocumentSide, TextSide}) {
    if (changedFolders_.count(watchedFolders_[side]) != 0) controller_.RefreshFileList(side);
  }
  changedFolders_.clear();
}

// The view.

void MainDialog::reject() {
  if (!controller_.StopBatch()) QDialog::reject();
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (controller_.StopBatch()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
    controller_.RefreshAll();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainDialog::ScrollLog(const QWheelEvent& wheel) {
  if (!logScrollBar_->isVisible()) return;
  // A notch (120) moves as many lines as the system's setting says, one
  // line step at a time, then ends the scroll as a released arrow does.
  const int notches = wheel.angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
  const int steps = std::abs(notches) * QApplication::wheelScrollLines();
  const auto code = notches > 0 ? dialog::ScrollCode::LineUp : dialog::ScrollCode::LineDown;
  for (int i = 0; i < steps; ++i) controller_.OnLogScroll(code, 0);
  if (steps > 0) controller_.OnLogScroll(dialog::ScrollCode::EndScroll, 0);
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel && watched->property(kScrollsLog).toBool()) {
    ScrollLog(static_cast<const QWheelEvent&>(*event));
    return true;
  }
  // Only the dialog's own input waits: a question asked during the batch
  // is a window of its own and is answered as usual.
  const auto* widget = qobject_cast<const QWidget*>(watched);
  if (controller_.BatchRunning() && widget != nullptr && widget->window() == this &&
      IsHeldInput(*event)) {
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::ShowFileList(Side side, size_t count) { FileList(side)->ShowNames(count); }

void MainDialog::InsertFileListItem(Side side, int index) { FileList(side)->InsertName(index); }

void MainDialog::ScrollFileListToTop(Side side) { FileList(side)->scrollToTop(); }

std::vector<int> MainDialog::SelectedItems(Side side) const {
  const FileListBox& list = *FileList(side);
  std::vector<int> rows;
  for (int row = 0; row < list.count(); ++row) {
    if (list.item(row)->isSelected()) rows.push_back(row);
  }
  return rows;
}

int MainDialog::CaretItem(Side side) const { return FileList(side)->currentRow(); }

void MainDialog::ShowSelector(Side side, int selection) {
  // The selector is shown for every directory the side changes to.
  WatchFolder(side);
  DirectoryComboBox* selector = Selector(side);
  selector->ShowNames();
  selector->setCurrentIndex(selection);
}

int MainDialog::ChosenSelectorItem(Side side) const { return Selector(side)->currentIndex(); }

void MainDialog::ShowLogLine(int field, const std::string& text) {
  auto* line = static_cast<QLabel*>(Control(dialog::kFirstLogLineId + field));
  const QString shown = DisplayText(text);
  line->setText(shown);
  // A line cut at the log's edge shows whole in its tooltip.
  const bool cut = line->fontMetrics().horizontalAdvance(shown) > line->width();
  line->setToolTip(cut ? shown : QString());
}

void MainDialog::ShowLogScrollBar(const dialog::LogScrollState& bar) {
  logScrollBar_->setRange(bar.minimum, bar.maximum);
  logScrollBar_->setEnabled(true);
  logScrollBar_->show();
  logScrollBar_->setValue(bar.position);
  logScrollBar_->setSliderPosition(bar.position);
  logScrollBar_->update();
}

void MainDialog::BeginWaitCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  qApp->installEventFilter(this);
}

void MainDialog::EndWaitCursor() {
  qApp->removeEventFilter(this);
  QApplication::restoreOverrideCursor();
}

// The lists lay out their new items first: their own layout would wait for
// a timer, and its paint for the turn after.
void MainDialog::ProcessEvents() {
  for (const Side side : {DocumentSide, TextSide}) FileList(side)->LayOutInsertedItems();
  QCoreApplication::processEvents();
}

}  // namespace exqrv::ui
