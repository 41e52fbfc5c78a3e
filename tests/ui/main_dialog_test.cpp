// The dialog's wiring on the offscreen platform: its controls, its file lists
// and selectors, Convert and double-click, the overwrite question and the log.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "dialog/batch_conversion.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/dialog_folders.h"
#include "support/scripted_prompter.h"
#include "support/scratch_dir.h"
#include "ui/directory_combo_box.h"
#include "ui/entry_painter.h"
#include "ui/entry_pictures.h"
#include "ui/file_list_box.h"
#include "ui/main_dialog.h"
#include "ui/qt_prompter.h"
#include "ui/qt_test_support.h"
#include "support/scripted_drives.h"

namespace exqrv::ui {
namespace {

using dialog::FailedLine;
using dialog::FindControlTemplate;
using dialog::kConvertButtonId;
using dialog::kDocumentFileListId;
using dialog::kDocumentSelectorId;
using dialog::kDocumentUpButtonId;
using dialog::kExitButtonId;
using dialog::kFirstLogLineId;
using dialog::kLogScrollBarId;
using dialog::kNameOffset;
using dialog::kNoId;
using dialog::kPictureSize;
using dialog::kTextFileListId;
using dialog::kTextSelectorId;
using dialog::kTextUpButtonId;
using dialog::kVisibleLogLines;
using dialog::OverwriteQuestion;
using dialog::PixelRect;
using dialog::SucceededLine;
using dialog::ToPixels;

// Where the screenshots for review go, in the build directory.
std::filesystem::path ScreenshotPath(const char* name) {
  const std::filesystem::path folder = std::filesystem::path(EXQRV_BINARY_DIR) / "screenshots";
  std::filesystem::create_directories(folder);
  return folder / name;
}

// Pixels of a shot that differ from the picture of a view's row, with the
// view's viewport at origin in the shot. The picture stands on the plain
// white ground, so it shows exactly as drawn; what falls left of the
// viewport (a drive's first column) is not compared.
int PictureMismatches(const QImage& shot, QPoint origin, const QAbstractItemView& view, int row,
                      int indent, int picture) {
  const QImage image = LoadEntryPicture(picture);
  const QRect item = view.visualRect(view.model()->index(row, 0));
  const QPoint at(item.left() + indent, item.top() + (item.height() - kPictureSize) / 2);
  int mismatches = 0;
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x) {
      if (at.x() + x < 0) continue;
      mismatches += shot.pixel(origin + at + QPoint(x, y)) != image.pixel(x, y);
    }
  }
  return mismatches;
}

// Pixels of an area that differ from its ground: the ink of its text.
int InkPixels(const QImage& shot, const QRect& area, QRgb ground) {
  int ink = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ink += shot.pixel(x, y) != ground;
  }
  return ink;
}

std::vector<std::string> Texts(const FileListBox& list) { return list.ItemNames(); }

// A selector's items for a directory the only drive holds: the root, then
// each folder down to the directory.
std::vector<std::string> ChainOf(const std::string& directory) {
  std::vector<std::string> items{directory.substr(0, 3)};
  std::string rest = directory.substr(3);
  while (!rest.empty()) {
    const size_t end = rest.find('\\');
    items.push_back(rest.substr(0, end));
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
  }
  return items;
}

// Chooses an item of a selector with the mouse, in its dropped list.
void ChooseItem(DirectoryComboBox& selector, const std::string& text) {
  const int row =
      selector.findText(QString::fromStdString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
  ASSERT_GE(row, 0) << text;
  selector.showPopup();
  QAbstractItemView* view = selector.view();
  ASSERT_TRUE(view->isVisible());
  const QModelIndex index = selector.model()->index(row, 0);
  view->scrollTo(index);
  const QPoint at = view->visualRect(index).center();
  QTest::mouseMove(view->viewport(), at);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  EXPECT_FALSE(view->isVisible());
}

class MainDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { uitest::EnsureApplication(); }

  void SetUp() override {
    build::MakeDialogFolders(scratch_, app_);
    dialog_ = std::make_unique<MainDialog>(app_);
  }

  FileListBox& Documents() { return *dialog_->FileList(DocumentSide); }
  FileListBox& TextFiles() { return *dialog_->FileList(TextSide); }
  QString LogLine(int k) {
    return static_cast<QLabel*>(dialog_->Control(kFirstLogLineId + k))->text();
  }
  // Selects the document list's items by their stored names.
  void Select(const std::vector<std::string>& names) {
    const std::vector<std::string> shown = Documents().ItemNames();
    for (size_t row = 0; row < shown.size(); ++row) {
      Documents()
          .item(static_cast<int>(row))
          ->setSelected(std::find(names.begin(), names.end(), shown[row]) != names.end());
    }
  }
  void Click(int id) {
    QTest::mouseClick(static_cast<QAbstractButton*>(dialog_->Control(id)), Qt::LeftButton);
  }
  // Double-clicks the item of a stored name.
  void DoubleClick(FileListBox& list, const std::string& name) {
    const std::vector<std::string> shown = list.ItemNames();
    const auto found = std::find(shown.begin(), shown.end(), name);
    ASSERT_NE(found, shown.end()) << name;
    QListWidgetItem* item = list.item(static_cast<int>(found - shown.begin()));
    list.scrollToItem(item);
    const QPoint at = list.visualItemRect(item).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
  }

  // A click on one part of the scroll bar: an arrow or the trough on either
  // side of the thumb (there is none beyond a thumb at its end).
  static void ClickScrollBar(QScrollBar& bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.singleStep = bar.singleStep();
    option.pageStep = bar.pageStep();
    option.subControls = QStyle::SC_All;
    const QRect rect = bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar);
    ASSERT_FALSE(rect.isEmpty()) << part;
    QTest::mouseClick(&bar, Qt::LeftButton, {}, rect.center());
  }

  build::ScratchDir scratch_;
  ConverterApp app_;
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope installed_{&prompter_};
  std::unique_ptr<MainDialog> dialog_;
};

// The dialog's template, written down here from the dialog's description and
// not taken from the dialog's own table: id (or object name where a control
// has none), text, tooltip and place in dialog units.
struct TemplateRow {
  int id;
  const char* objectName;
  const char* text;
  const char* toolTip;
  int x, y, width, height;
};

const TemplateRow kTemplate[] = {
    {1, "", "Exit", "Exit Quillor Extract Text Utility", 266, 161, 50, 14},
    {1011, "", "", "", 7, 38, 133, 66},
    {1012, "", "", "", 7, 23, 118, 60},
    {1013, "", "..", "QRV Directory Up", 128, 23, 12, 12},
    {1014, "", "QRV File List", "", 7, 7, 133, 11},
    {1015, "", "", "", 183, 38, 133, 66},
    {1016, "", "", "", 183, 23, 118, 60},
    {1017, "", "..", "TXT Directory Up", 304, 23, 12, 12},
    {1018, "", "QRT File List", "", 183, 7, 133, 11},
    {1019, "", "Convert", "Convert QRV To TXT", 146, 65, 32, 14},
    {kNoId, kApplicationIconName, "", "", 282, 124, 18, 20},
    {kNoId, kLogFrameName, "", "", 7, 108, 255, 67},
    {1024, "", "", "", 250, 110, 10, 63},
    {1025, "", "", "", 9, 110, 240, 10},
    {1026, "", "", "", 9, 120, 240, 10},
    {1027, "", "", "", 9, 130, 240, 10},
    {1028, "", "", "", 9, 140, 240, 10},
    {1029, "", "", "", 9, 150, 240, 10},
    {1030, "", "", "", 9, 160, 240, 10},
};

// Dialog units to pixels for a font: a horizontal unit is a quarter of the
// average width of the 52 letters, a vertical unit an eighth of the font's
// height, each edge rounded to the nearest pixel.
QRect TemplatePixels(const QFont& font, int x, int y, int width, int height) {
  const QFontMetrics metrics(font);
  const double unitX = std::lround(metrics.horizontalAdvance(QStringLiteral(
                                       "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                                   52.0) /
                       4.0;
  const double unitY = metrics.height() / 8.0;
  const auto px = [unitX](int units) { return static_cast<int>(std::lround(units * unitX)); };
  const auto py = [unitY](int units) { return static_cast<int>(std::lround(units * unitY)); };
  return QRect(QPoint(px(x), py(y)), QPoint(px(x + width) - 1, py(y + height) - 1));
}

QString TextOf(QWidget& control) {
  if (auto* button = qobject_cast<QAbstractButton*>(&control)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(&control)) return label->text();
  return {};
}

TEST_F(MainDialogTest, EveryControlHasItsTemplatesIdTextAndPlace) {
  const QFont& font = dialog_->font();
  EXPECT_EQ(dialog_->size(), TemplatePixels(font, 0, 0, 323, 182).size());
  for (const TemplateRow& row : kTemplate) {
    SCOPED_TRACE(row.id == kNoId ? row.objectName : std::to_string(row.id));
    QWidget* control =
        row.id == kNoId ? dialog_->findChild<QWidget*>(row.objectName) : dialog_->Control(row.id);
    ASSERT_NE(control, nullptr);
    if (row.id != kNoId) {
      EXPECT_EQ(control->property("controlId").toInt(), row.id);
    }
    EXPECT_EQ(TextOf(*control).toStdString(), row.text);
    EXPECT_EQ(control->toolTip().toStdString(), row.toolTip);

    const QRect expected = TemplatePixels(font, row.x, row.y, row.width, row.height);
    const QRect actual = control->geometry();
    if (dynamic_cast<DirectoryComboBox*>(control) != nullptr) {
      // A selector's template height includes its dropped list.
      EXPECT_EQ(actual.topLeft(), expected.topLeft());
      EXPECT_EQ(actual.width(), expected.width());
      EXPECT_LT(actual.height(), expected.height());
    } else if (row.objectName == std::string(kApplicationIconName)) {
      // An icon keeps its own size.
      EXPECT_EQ(actual.topLeft(), expected.topLeft());
      EXPECT_EQ(actual.size(), ApplicationPixmap().size());
    } else {
      EXPECT_EQ(actual, expected);
    }
  }
}

TEST_F(MainDialogTest, StartsWithItsTitleDefaultButtonAndAnEmptyLog) {
  EXPECT_EQ(dialog_->windowTitle().toStdString(), "Quillor QRV to Text QRT");
  EXPECT_TRUE(static_cast<QPushButton*>(dialog_->Control(kExitButtonId))->isDefault());
  EXPECT_TRUE(dialog_->Control(kLogScrollBarId)->isHidden());
  for (int k = 0; k < kVisibleLogLines; ++k) EXPECT_TRUE(LogLine(k).isEmpty());
}

TEST_F(MainDialogTest, TabOrderFollowsTheTemplate) {
  dialog_->show();
  std::vector<int> order;
  QWidget* widget = dialog_->Control(kExitButtonId);
  do {
    if (widget->focusPolicy() & Qt::TabFocus) {
      order.push_back(widget->property("controlId").toInt());
    }
    widget = widget->nextInFocusChain();
  } while (widget != dialog_->Control(kExitButtonId) && order.size() < 20);
  const std::vector<int> expected{kExitButtonId,       kDocumentFileListId, kDocumentSelectorId,
                                  kDocumentUpButtonId, kTextFileListId,     kTextSelectorId,
                                  kTextUpButtonId,     kConvertButtonId};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(dialog_->focusWidget(), dialog_->Control(kExitButtonId));
}

TEST_F(MainDialogTest, ListsAndSelectorsShowTheTwoDirectories) {
  EXPECT_EQ(Texts(Documents()), (std::vector<std::string>{"SUB", "B.QRV", "Report.QRV", "a.QRV"}));
  EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"arch", "REPORT.TXT"}));
  EXPECT_TRUE(Documents().selectedItems().isEmpty());
  for (Side side : {DocumentSide, TextSide}) {
    SCOPED_TRACE(side == DocumentSide ? "documents" : "texts");
    const DirectoryComboBox& selector = *dialog_->Selector(side);
    const std::vector<std::string> chain =
        ChainOf(side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory);
    EXPECT_EQ(selector.ItemNames(), chain);
    EXPECT_EQ(selector.currentIndex(), static_cast<int>(chain.size()) - 1);
  }
  EXPECT_EQ(dialog_->Selector(DocumentSide)->currentText().toStdString(), "docs");
  EXPECT_EQ(dialog_->Selector(TextSide)->currentText().toStdString(), "texts");
}

TEST_F(MainDialogTest, ConvertRunsOverTheSelectionAndLogsEachDocument) {
  // Appears on disk after the text list was read: the list is refilled from
  // its entries, not read again.
  build::WriteFileBytes(scratch_ / "texts/LATE.TXT", "late");
  Select({"SUB", "B.QRV", "a.QRV"});
  Click(kConvertButtonId);
  EXPECT_EQ(LogLine(0).toStdString(), SucceededLine("C.QRV", "C.TXT"));
  EXPECT_EQ(LogLine(1).toStdString(), SucceededLine("B.QRV", "B.TXT"));
  EXPECT_EQ(LogLine(2).toStdString(),
            dialog::WithReason(FailedLine("a.QRV", "a.TXT"), kNotADocument));
  EXPECT_TRUE(LogLine(3).isEmpty());
  EXPECT_EQ(dialog_->Controller().Log().LogLines().size(), 3u);
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/C.TXT"), "gamma");
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/B.TXT"), "beta");
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "texts/SUB"));
  EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"arch", "B.TXT", "C.TXT", "REPORT.TXT"}));
  EXPECT_EQ(Texts(Documents()), (std::vector<std::string>{"SUB", "B.QRV", "Report.QRV", "a.QRV"}));
  EXPECT_EQ(Documents().selectedItems().size(), 3);
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(MainDialogTest, OverwriteQuestionCancelSkipsAndOkConverts) {
  // REPORT.TXT is another file on this file system: Report.TXT is written
  // beside it without a question, and the list shows both.
  Select({"Report.QRV"});
  Click(kConvertButtonId);
  EXPECT_TRUE(prompter_.shown.empty());
  EXPECT_EQ(LogLine(0).toStdString(), SucceededLine("Report.QRV", "Report.TXT"));
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/Report.TXT"), "report");
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/REPORT.TXT"), "old");
  const std::vector<std::string> both{"arch", "REPORT.TXT", "Report.TXT"};
  EXPECT_EQ(Texts(TextFiles()), both);

  // Now the file to be written exists: the question names it.
  build::WriteFileBytes(scratch_ / "texts/Report.TXT", "kept");
  prompter_.answers = {platform::Answer::Cancel};
  Click(kConvertButtonId);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, OverwriteQuestion("Report.TXT"));
  EXPECT_TRUE(LogLine(1).isEmpty());
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/Report.TXT"), "kept");

  prompter_.answers = {platform::Answer::Ok};
  Click(kConvertButtonId);
  EXPECT_EQ(prompter_.shown.size(), 2u);
  EXPECT_EQ(LogLine(1).toStdString(), SucceededLine("Report.QRV", "Report.TXT"));
  EXPECT_TRUE(LogLine(2).isEmpty());
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/Report.TXT"), "report");
  EXPECT_EQ(Texts(TextFiles()), both);
}

TEST_F(MainDialogTest, DoubleClickOpensFoldersAndConvertsDocuments) {
  dialog_->show();
  DoubleClick(Documents(), "B.QRV");
  EXPECT_EQ(LogLine(0).toStdString(), SucceededLine("B.QRV", "B.TXT"));
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/B.TXT"), "beta");

  prompter_.answers = {platform::Answer::Cancel};
  DoubleClick(Documents(), "B.QRV");  // asks first, like Convert
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, OverwriteQuestion("B.TXT"));
  EXPECT_TRUE(LogLine(1).isEmpty());

  const std::string texts = app_.TargetDirectory;
  DoubleClick(TextFiles(), "B.TXT");  // a text file is not opened
  EXPECT_EQ(app_.TargetDirectory, texts);
  EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"arch", "B.TXT", "REPORT.TXT"}));
  EXPECT_TRUE(LogLine(1).isEmpty());

  DoubleClick(TextFiles(), "arch");
  EXPECT_EQ(app_.TargetDirectory, texts + "\\arch");
  EXPECT_TRUE(Texts(TextFiles()).empty());
  EXPECT_EQ(dialog_->Selector(TextSide)->currentText().toStdString(), "arch");

  const std::string docs = app_.SourceDirectory;
  DoubleClick(Documents(), "SUB");
  EXPECT_EQ(app_.SourceDirectory, docs + "\\SUB");
  EXPECT_EQ(Texts(Documents()), std::vector<std::string>{"C.QRV"});
  EXPECT_EQ(dialog_->Selector(DocumentSide)->currentText().toStdString(), "SUB");
  EXPECT_EQ(dialog_->Controller().Log().LogLines().size(), 1u);

  Click(kDocumentUpButtonId);
  EXPECT_EQ(app_.SourceDirectory, docs);
  EXPECT_EQ(dialog_->Selector(DocumentSide)->currentText().toStdString(), "docs");
}

TEST_F(MainDialogTest, ChoosingAFolderOfTheChainGoesThere) {
  DirectoryComboBox& selector = *dialog_->Selector(TextSide);
  const int parent = selector.currentIndex() - 1;
  selector.setCurrentIndex(parent);
  emit selector.activated(parent);
  EXPECT_EQ(app_.TargetDirectory, platform::SystemPath(scratch_.path()));
  EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"docs", "texts"}));

  selector.setCurrentIndex(0);
  emit selector.activated(0);
  EXPECT_EQ(app_.TargetDirectory, "C:\\");
  EXPECT_EQ(selector.count(), 1);
  EXPECT_EQ(selector.currentIndex(), 0);
}

TEST_F(MainDialogTest, LogScrollBarAppearsWithTheSeventhLineAndScrollsWithinItsRange) {
  dialog_->show();
  auto* bar = static_cast<QScrollBar*>(dialog_->Control(kLogScrollBarId));
  for (int i = 0; i < 6; ++i) dialog_->Controller().AddLogLine("line " + std::to_string(i));
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(LogLine(5).toStdString(), "line 5");

  dialog_->Controller().AddLogLine("line 6");
  ASSERT_TRUE(bar->isVisible());
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 6);
  EXPECT_EQ(bar->value(), 1);
  EXPECT_EQ(LogLine(0).toStdString(), "line 1");
  EXPECT_EQ(LogLine(5).toStdString(), "line 6");

  // Clicks on the bar's arrows and trough, each from where the one before
  // left the log (7 lines, LogTop 1).
  struct Step {
    const char* what;
    QStyle::SubControl part;
    int top;
    const char* first;   // field 1025
    const char* second;  // field 1026
  };
  const Step steps[] = {
      {"line up", QStyle::SC_ScrollBarSubLine, 0, "line 0", "line 1"},
      {"line up at the minimum", QStyle::SC_ScrollBarSubLine, 0, "line 0", "line 1"},
      {"page down", QStyle::SC_ScrollBarAddPage, 3, "line 3", "line 4"},
      {"page down to the maximum", QStyle::SC_ScrollBarAddPage, 6, "line 6", ""},
      {"line down at the maximum", QStyle::SC_ScrollBarAddLine, 6, "line 6", ""},
      {"line up", QStyle::SC_ScrollBarSubLine, 5, "line 5", "line 6"},
      {"page up", QStyle::SC_ScrollBarSubPage, 2, "line 2", "line 3"},
      {"page up from 2", QStyle::SC_ScrollBarSubPage, 0, "line 0", "line 1"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    ClickScrollBar(*bar, step.part);
    EXPECT_EQ(dialog_->Controller().Log().LogTop(), step.top);
    EXPECT_EQ(bar->value(), step.top);
    EXPECT_EQ(LogLine(0).toStdString(), step.first);
    EXPECT_EQ(LogLine(1).toStdString(), step.second);
  }

  for (int i = 7; i < 13; ++i) dialog_->Controller().AddLogLine("line " + std::to_string(i));
  EXPECT_EQ(dialog_->Controller().Log().LogLines().size(), 12u);
  EXPECT_EQ(dialog_->Controller().Log().LogLines().front(), "line 1");
  EXPECT_EQ(bar->value(), 6);
  EXPECT_EQ(bar->maximum(), 6);
  EXPECT_EQ(LogLine(0).toStdString(), "line 7");
  EXPECT_EQ(LogLine(5).toStdString(), "line 12");
  ClickScrollBar(*bar, QStyle::SC_ScrollBarSubPage);
  ClickScrollBar(*bar, QStyle::SC_ScrollBarSubPage);
  EXPECT_EQ(LogLine(0).toStdString(), "line 1");  // the first line is gone
  EXPECT_TRUE(bar->isVisible());
}

TEST_F(MainDialogTest, ScreenshotAfterASmallBatchShowsNamesPicturesAndLog) {
  dialog_->show();
  Select({"SUB", "B.QRV", "a.QRV"});
  Click(kConvertButtonId);
  TextFiles().findItems("B.TXT", Qt::MatchExactly).value(0)->setSelected(true);
  Documents().setFocus();

  const QImage shot = dialog_->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ScreenshotPath("dialog.png").string())));
  EXPECT_EQ(shot.size(), dialog_->size());

  for (FileListBox* list : {&Documents(), &TextFiles()}) {
    SCOPED_TRACE(list->side() == DocumentSide ? "documents" : "texts");
    const QPoint origin = list->viewport()->mapTo(dialog_.get(), QPoint(0, 0));
    for (int row = 0; row < list->count(); ++row) {
      SCOPED_TRACE(list->item(row)->text().toStdString());
      EXPECT_EQ(PictureMismatches(shot, origin, *list, row, 0, list->Entries()[row]->Picture), 0);
      // The name is written on the selection colour or on white, inside the
      // one-pixel frame.
      const QRect item = list->visualItemRect(list->item(row)).translated(origin);
      const QRgb ground =
          list->item(row)->isSelected() ? kActiveCaptionColor.rgb() : QColor(Qt::white).rgb();
      EXPECT_EQ(shot.pixel(item.right() - 2, item.center().y()), ground);
      EXPECT_GT(InkPixels(shot, item.adjusted(kNameOffset + 1, 1, -1, -1), ground), 0);
    }
  }
  for (int k = 0; k < kVisibleLogLines; ++k) {
    const QRect line = dialog_->Control(kFirstLogLineId + k)->geometry();
    EXPECT_EQ(InkPixels(shot, line, shot.pixel(line.topLeft())) > 0, k < 3) << k;
  }
}

TEST_F(MainDialogTest, NamesAreUsedAsStoredWhateverTheyShow) {
  // Latin-1 names, which are not UTF-8, and a name holding a backslash.
  const std::string folder = "d\xe9j\xe0";
  const std::string cafe = "caf\xe9.QRV";
  const std::string slashed = "a\\b.QRV";
  std::filesystem::create_directories(scratch_ / ("docs/" + folder));
  std::filesystem::create_directories(scratch_ / ("texts/" + folder));
  build::WriteFileBytes(scratch_ / ("docs/" + folder + "/IN.QRV"),
                        build::DocumentWithText("inside"));
  build::WriteFileBytes(scratch_ / ("docs/" + cafe), build::DocumentWithText("coffee"));
  // Written past the platform, whose path services take a backslash apart.
  std::ofstream(scratch_ / ("docs/" + slashed), std::ios::binary)
      << build::DocumentWithText("slashed");
  ASSERT_TRUE(std::filesystem::exists(scratch_ / ("docs/" + slashed)));
  dialog_->Controller().RefreshFileList(DocumentSide);
  dialog_->Controller().RefreshFileList(TextSide);
  dialog_->show();

  Select({folder, slashed, cafe});
  Click(kConvertButtonId);
  const std::deque<std::string> lines{SucceededLine("IN.QRV", "IN.TXT"),
                                      FailedLine("a\\b.QRV", "a\\b.TXT"),
                                      SucceededLine("caf\xe9.QRV", "caf\xe9.TXT")};
  EXPECT_EQ(dialog_->Controller().Log().LogLines(), lines);
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/IN.TXT"), "inside");
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/caf\xe9.TXT"), "coffee");
  EXPECT_EQ(Texts(TextFiles()),
            (std::vector<std::string>{"arch", folder, "IN.TXT", "REPORT.TXT", "caf\xe9.TXT"}));
  // What does not decode shows as a visible substitute, in lists and log.
  const std::vector<std::string> names = Documents().ItemNames();
  const int cafeRow = static_cast<int>(std::find(names.begin(), names.end(), cafe) - names.begin());
  EXPECT_EQ(Documents().item(cafeRow)->text(), QStringLiteral(u"caf\uFFFD.QRV"));
  EXPECT_EQ(LogLine(2), QStringLiteral(u"Convert caf\uFFFD.QRV to caf\uFFFD.TXT succeeded"));
  EXPECT_EQ(LogLine(1).toStdString(), lines[1]);
  const QImage shot = dialog_->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ScreenshotPath("stored_names.png").string())));
  const QRect cafeItem =
      Documents()
          .visualItemRect(Documents().item(cafeRow))
          .translated(Documents().viewport()->mapTo(dialog_.get(), QPoint(0, 0)));
  EXPECT_GT(
      InkPixels(shot, cafeItem.adjusted(kNameOffset + 1, 1, -1, -1), kActiveCaptionColor.rgb()), 0);

  // The folders open by their stored names, on both sides.
  const std::string docs = app_.SourceDirectory;
  DoubleClick(Documents(), folder);
  EXPECT_EQ(app_.SourceDirectory, docs + "\\" + folder);
  EXPECT_EQ(Texts(Documents()), std::vector<std::string>{"IN.QRV"});
  EXPECT_EQ(dialog_->Selector(DocumentSide)->ItemNames().back(), folder);
  EXPECT_EQ(dialog_->Selector(DocumentSide)->currentText(), QStringLiteral(u"d\uFFFDj\uFFFD"));
  const std::string texts = app_.TargetDirectory;
  DoubleClick(TextFiles(), folder);
  EXPECT_EQ(app_.TargetDirectory, texts + "\\" + folder);
  EXPECT_EQ(dialog_->Controller().Log().LogLines().size(), 3u);
}

TEST_F(MainDialogTest, EveryChangeOfDirectoryShowsTheFirstEntryAtTheTop) {
  // Folders enough to scroll, two of them with documents and text files
  // enough to scroll.
  for (int i = 0; i < 30; ++i) {
    std::filesystem::create_directories(scratch_ / ("many/F" + std::to_string(10 + i)));
  }
  for (const char* folder : {"F10", "F39"}) {
    for (int i = 0; i < 30; ++i) {
      for (const char* extension : {".QRV", ".TXT"}) {
        build::WriteFileBytes(
            scratch_ / ("many/" + std::string(folder) + "/D" + std::to_string(i) + extension), "x");
      }
    }
  }
  const std::string many = platform::SystemPath(scratch_ / "many");
  dialog_->show();
  for (Side side : {DocumentSide, TextSide}) {
    SCOPED_TRACE(side == DocumentSide ? "documents" : "texts");
    FileListBox& list = *dialog_->FileList(side);
    const std::string& directory =
        side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory;
    const auto scrollAway = [&list] {
      list.scrollToBottom();
      QCoreApplication::processEvents();
      ASSERT_GT(list.verticalScrollBar()->value(), 0);
    };
    const auto expectAtTop = [&list] {
      QCoreApplication::processEvents();
      EXPECT_EQ(list.verticalScrollBar()->value(), 0);
      EXPECT_EQ(list.indexAt(QPoint(1, 1)).row(), 0);
    };

    dialog_->Controller().ChangeDirectory(side, many + "\\F10");
    scrollAway();
    Click(side == DocumentSide ? kDocumentUpButtonId : kTextUpButtonId);
    EXPECT_EQ(directory, many);
    expectAtTop();

    scrollAway();
    DoubleClick(list, "F39");
    EXPECT_EQ(directory, many + "\\F39");
    expectAtTop();

    scrollAway();
    ChooseItem(*dialog_->Selector(side), "many");
    EXPECT_EQ(directory, many);
    expectAtTop();
  }
}

// Answers every question with OK after taking a look at the window: the
// question stops a batch in its middle.
class LookingPrompter : public platform::Prompter {
 public:
  explicit LookingPrompter(std::function<void()> look) : look_(std::move(look)) {}
  platform::Answer Show(std::string_view, platform::Buttons, platform::Icon) override {
    look_();
    return platform::Answer::Ok;
  }

 private:
  std::function<void()> look_;
};

TEST_F(MainDialogTest, ABatchPaintsEachLogLineAndTextFileAsItGoes) {
  // Nine documents; the eighth's text file exists, so the batch asks with
  // seven done, the log scrolled and the text list grown by seven.
  std::filesystem::create_directories(scratch_ / "batch");
  for (int i = 1; i <= 9; ++i) {
    build::WriteFileBytes(scratch_ / ("batch/D" + std::to_string(i) + ".QRV"),
                          build::DocumentWithText("page " + std::to_string(i)));
  }
  build::WriteFileBytes(scratch_ / "texts/D8.TXT", "old");
  dialog_->Controller().ChangeDirectory(DocumentSide, platform::SystemPath(scratch_ / "batch"));
  dialog_->Controller().RefreshFileList(TextSide);
  dialog_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
  QCoreApplication::processEvents();

  QImage onScreen;
  QImage current;
  bool waitCursor = false;
  bool dispatched = false;
  bool answeredBeforeQuestion = false;
  LookingPrompter looking([&] {
    answeredBeforeQuestion = dispatched;
    // What the window system was given so far, and what the window holds.
    onScreen = dialog_->screen()->grabWindow(dialog_->winId()).toImage();
    current = dialog_->grab().toImage();
    waitCursor = QApplication::overrideCursor() != nullptr &&
                 QApplication::overrideCursor()->shape() == Qt::WaitCursor;
  });
  platform::PrompterScope scope(&looking);
  Documents().selectAll();
  QTimer::singleShot(0, dialog_.get(), [&dispatched] { dispatched = true; });
  Click(kConvertButtonId);
  // The window answers between the pages of a batch, and has painted what
  // the batch did when it asks.
  EXPECT_TRUE(answeredBeforeQuestion);
  EXPECT_EQ(dialog_->Controller().Log().LogLines().size(), 9u);

  ASSERT_FALSE(onScreen.isNull());
  ASSERT_TRUE(onScreen.save(QString::fromStdString(ScreenshotPath("batch.png").string())));
  EXPECT_TRUE(waitCursor);
  ASSERT_EQ(onScreen.size(), current.size());
  const QWidget* frame = dialog_->findChild<QWidget*>(kLogFrameName);
  for (const QRect& area : {frame->geometry(), TextFiles().geometry()}) {
    EXPECT_TRUE(onScreen.copy(area) == current.copy(area)) << area.x() << "," << area.y();
  }
  // The seven lines so far, the last six shown, and the scroll bar with them.
  for (int k = 0; k < kVisibleLogLines; ++k) {
    const QRect line = dialog_->Control(kFirstLogLineId + k)->geometry();
    EXPECT_GT(InkPixels(onScreen, line, onScreen.pixel(line.topLeft())), 0) << k;
  }
  const QRect bar = dialog_->Control(kLogScrollBarId)->geometry();
  EXPECT_GT(InkPixels(onScreen, bar, onScreen.pixel(frame->geometry().center())), 0);
}

TEST_F(MainDialogTest, ClosedSelectorPaintsItsNameOnTheFieldsOwnGround) {
  dialog_->show();
  DirectoryComboBox& selector = *dialog_->Selector(DocumentSide);
  ASSERT_FALSE(selector.hasFocus());
  const QImage named = selector.grab().toImage();
  const int current = selector.currentIndex();
  selector.setCurrentIndex(-1);
  const QImage bare = selector.grab().toImage();
  selector.setCurrentIndex(current);

  // Only the picture and the letters of the name differ from the bare field.
  QRect changed;
  for (int y = 0; y < named.height(); ++y) {
    for (int x = 0; x < named.width(); ++x) {
      if (named.pixel(x, y) != bare.pixel(x, y)) changed |= QRect(x, y, 1, 1);
    }
  }
  ASSERT_FALSE(changed.isEmpty());
  EXPECT_LE(changed.width(), kNameOffset + selector.fontMetrics().horizontalAdvance("docs") + 1);
  EXPECT_LE(changed.height(), EntryItemHeight(selector.fontMetrics()));
}

TEST_F(MainDialogTest, LogFrameIsGrey) {
  const QImage shot = dialog_->grab().toImage();
  const QRect frame = dialog_->findChild<QWidget*>(kLogFrameName)->geometry();
  const QPoint edges[] = {frame.topLeft(), frame.bottomRight(),
                          QPoint(frame.left(), frame.center().y()),
                          QPoint(frame.center().x(), frame.top())};
  for (const QPoint at : edges) {
    const QColor edge = shot.pixelColor(at);
    EXPECT_EQ(edge.red(), edge.green()) << at.x() << "," << at.y();
    EXPECT_EQ(edge.green(), edge.blue());
    EXPECT_GT(edge.red(), 0x40);
    EXPECT_LT(edge.red(), 0xE0);
  }
}

TEST_F(MainDialogTest, FocusedListWithNothingSelectedFramesItsCurrentItem) {
  dialog_->show();
  dialog_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
  Documents().setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(Documents().hasFocus());
  ASSERT_TRUE(Documents().selectedItems().isEmpty());
  ASSERT_GE(Documents().currentRow(), 0);

  const QImage shot = Documents().viewport()->grab().toImage();
  const QRect item = Documents().visualItemRect(Documents().currentItem());
  // The frame's right edge lies clear of the name: there it shows its dots.
  int dots = 0;
  for (int y = item.top(); y <= item.bottom(); ++y) {
    dots += shot.pixel(item.right(), y) != QColor(Qt::white).rgb();
  }
  EXPECT_GE(dots, item.height() / 3);
}

TEST_F(MainDialogTest, EnterInAFileListClosesTheDialog) {
  dialog_->show();
  Documents().setFocus();
  QTest::keyClick(&Documents(), Qt::Key_Return);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_TRUE(prompter_.shown.empty());
}

// The selectors with the scripted drives A:, E: and F: (listed as f:\), whose
// folders do not exist: a directory is shown whether or not it can be read.
class SelectorDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { uitest::EnsureApplication(); }

  std::unique_ptr<MainDialog> DialogAt(Side side, const std::string& directory) {
    app_.SourceDirectory = side == DocumentSide ? directory : kOtherDirectory;
    app_.TargetDirectory = side == TextSide ? directory : kOtherDirectory;
    auto dialog = std::make_unique<MainDialog>(app_);
    dialog->show();
    return dialog;
  }

  static constexpr const char* kOtherDirectory = "A:\\";
  uitest::ScriptedDrives drives_;
  ConverterApp app_;
};

TEST_F(SelectorDialogTest, ChoosingAnItemOrGoingUpChangesOnlyThatSide) {
  const std::vector<std::string> drives{"A:\\", "E:\\", "F:\\"};
  const std::vector<std::string> chain{"A:\\", "E:\\", "WORK", "DOCS", "F:\\"};
  struct Case {
    const char* what;
    const char* start;
    const char* choice;  // an item's text, or ".." for the up button
    const char* directory;
    std::vector<std::string> items;
    const char* shown;
  };
  const Case cases[] = {
      {"a folder above",
       "E:\\WORK\\DOCS",
       "WORK",
       "E:\\WORK",
       {"A:\\", "E:\\", "WORK", "F:\\"},
       "WORK"},
      {"the directory's drive", "E:\\WORK\\DOCS", "E:\\", "E:\\", drives, "E:\\"},
      {"another drive: its root", "E:\\WORK\\DOCS", "F:\\", "F:\\", drives, "F:\\"},
      {"the open folder", "E:\\WORK\\DOCS", "DOCS", "E:\\WORK\\DOCS", chain, "DOCS"},
      {"the root already shown", "E:\\", "E:\\", "E:\\", drives, "E:\\"},
      {"up from a folder", "E:\\WORK", "..", "E:\\", drives, "E:\\"},
      {"up from a root", "E:\\", "..", "E:\\", drives, "E:\\"},
  };
  for (Side side : {DocumentSide, TextSide}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (side == DocumentSide ? " (documents)" : " (texts)"));
      std::unique_ptr<MainDialog> dialog = DialogAt(side, c.start);
      DirectoryComboBox& selector = *dialog->Selector(side);
      if (c.start == std::string("E:\\WORK\\DOCS")) {
        EXPECT_EQ(selector.ItemNames(), chain);
        EXPECT_EQ(selector.currentIndex(), 3);
      }
      if (c.choice == std::string("..")) {
        QTest::mouseClick(static_cast<QAbstractButton*>(dialog->Control(
                              side == DocumentSide ? kDocumentUpButtonId : kTextUpButtonId)),
                          Qt::LeftButton);
      } else {
        ChooseItem(selector, c.choice);
      }
      EXPECT_EQ(side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory, c.directory);
      EXPECT_EQ(selector.ItemNames(), c.items);
      EXPECT_EQ(selector.currentText().toStdString(), c.shown);
      EXPECT_EQ(side == DocumentSide ? app_.TargetDirectory : app_.SourceDirectory,
                kOtherDirectory);
      EXPECT_EQ(dialog->Selector(side == DocumentSide ? TextSide : DocumentSide)->ItemNames(),
                drives);
    }
  }
}

TEST_F(SelectorDialogTest, WheelChangesTheDirectoryOnlyWhileTheSelectorHasTheFocus) {
  for (Side side : {DocumentSide, TextSide}) {
    SCOPED_TRACE(side == DocumentSide ? "documents" : "texts");
    std::unique_ptr<MainDialog> dialog = DialogAt(side, "E:\\WORK\\DOCS");
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    DirectoryComboBox& selector = *dialog->Selector(side);
    const std::string& directory =
        side == DocumentSide ? app_.SourceDirectory : app_.TargetDirectory;
    const auto turnWheelUp = [&selector] {
      const QPointF at = selector.rect().center();
      QWheelEvent notch(at, selector.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(&selector, &notch);
    };

    ASSERT_FALSE(selector.hasFocus());
    turnWheelUp();
    turnWheelUp();
    EXPECT_EQ(directory, "E:\\WORK\\DOCS");
    EXPECT_EQ(selector.currentText().toStdString(), "DOCS");

    selector.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(selector.hasFocus());
    turnWheelUp();
    EXPECT_EQ(directory, "E:\\WORK");
  }
}

TEST_F(SelectorDialogTest, ScreenshotOfTheDroppedSelectorShowsTheWholeChain) {
  // Five items fit the room the template leaves below the field.
  std::unique_ptr<MainDialog> dialog = DialogAt(DocumentSide, "E:\\WORK\\DOCS");
  DirectoryComboBox& selector = *dialog->Selector(DocumentSide);
  selector.setFocus();
  selector.showPopup();
  QAbstractItemView& view = *selector.view();
  QWidget& popup = *view.window();
  ASSERT_TRUE(popup.isVisible());

  // The list drops below the field, within the height the template gives the
  // selector.
  const QPoint popupAt = dialog->mapFromGlobal(popup.mapToGlobal(QPoint(0, 0)));
  const PixelRect room = ToPixels(dialog->Units(), FindControlTemplate(kDocumentSelectorId)->rect);
  EXPECT_GE(popupAt.y(), selector.geometry().bottom());
  EXPECT_LE(popupAt.y() + popup.height(), room.y + room.height);

  // The dialog with the dropped list laid over it where it stands.
  const QRect canvas = dialog->rect().united(QRect(popupAt, popup.size()));
  QImage shot(canvas.size(), QImage::Format_RGB32);
  shot.fill(Qt::white);
  {
    QPainter painter(&shot);
    painter.drawPixmap(-canvas.topLeft(), dialog->grab());
    painter.drawPixmap(popupAt - canvas.topLeft(), popup.grab());
  }
  ASSERT_TRUE(shot.save(QString::fromStdString(ScreenshotPath("selector.png").string())));

  ASSERT_EQ(selector.count(), 5);
  const QPoint origin = popupAt - canvas.topLeft() + view.viewport()->mapTo(&popup, QPoint(0, 0));
  int shown = 0;
  for (int row = 0; row < selector.count(); ++row) {
    const QRect item = view.visualRect(selector.model()->index(row, 0));
    if (!view.viewport()->rect().contains(item)) continue;
    ++shown;
    const ListEntry& entry = *selector.Entries()[row];
    EXPECT_EQ(PictureMismatches(shot, origin, view, row, entry.Indent, entry.Picture), 0)
        << entry.Name;
  }
  EXPECT_EQ(shown, selector.count());
  selector.hidePopup();
}

// Three documents of three pages each, in the folder "batch", shown on the
// document side and all selected.
void ShowThreePageDocuments(const build::ScratchDir& scratch, MainDialog& dialog) {
  std::filesystem::create_directories(scratch / "batch");
  for (const char* name : {"D1", "D2", "D3"}) {
    build::WriteFileBytes(
        scratch / ("batch/" + std::string(name) + ".QRV"),
        build::BuildDocument({.pages = {build::TextPage({"one"}), build::TextPage({"two"}),
                                        build::TextPage({"three"})}}));
  }
  dialog.Controller().ChangeDirectory(DocumentSide, platform::SystemPath(scratch / "batch"));
  dialog.FileList(DocumentSide)->selectAll();
}

TEST_F(MainDialogTest, EscapeOrTheCloseBoxStopsABatchAfterItsPage) {
  struct Case {
    const char* what;
    std::function<void(MainDialog&)> stop;  // posted before the batch starts
  };
  const std::vector<Case> cases{
      {"Escape",
       [](MainDialog& dialog) {
         QCoreApplication::postEvent(
             &dialog, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
       }},
      {"the close box",
       [](MainDialog& dialog) {
         QCoreApplication::postEvent(dialog.windowHandle(), new QCloseEvent);
       }},
  };
  ShowThreePageDocuments(scratch_, *dialog_);
  dialog_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.stop(*dialog_);
    Click(kConvertButtonId);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->Controller().Log().LogLines().back(),
              "Batch stopped at D1.QRV page 1; D1.TXT not written");
    EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"arch", "REPORT.TXT"}));
    // Nothing half-written is left in the text folder.
    std::vector<std::string> onDisk;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_ / "texts")) {
      onDisk.push_back(entry.path().filename().string());
    }
    std::sort(onDisk.begin(), onDisk.end());
    EXPECT_EQ(onDisk, (std::vector<std::string>{"REPORT.TXT", "arch"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  const QImage shot = dialog_->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ScreenshotPath("stopped_batch.png").string())));

  // With no batch running, Escape closes the dialog as before.
  QTest::keyClick(dialog_.get(), Qt::Key_Escape);
  EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(MainDialogTest, DamagedPageShowsOneBoxAndTheLogSaysTextIsMissing) {
  build::PageStream damaged;
  for (int i = 0; i < 1486; ++i) damaged.Code("DT");
  damaged.TextRun({build::PageStream::Item("kept")}).End();
  build::WriteFileBytes(
      scratch_ / "docs/BADCMD.QRV",
      build::BuildDocument({.pages = {build::TextPage({"one "}), damaged.bytes()}}));
  dialog_->Controller().RefreshFileList(DocumentSide);
  dialog_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));

  QtPrompter boxes(dialog_.get());
  const platform::PrompterScope scope(&boxes);
  std::vector<std::string> texts;
  std::function<void()> answer = [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    texts.push_back(box->text().toStdString());
    if (texts.size() == 1) {
      const QImage shot = box->grab().toImage();
      EXPECT_TRUE(
          shot.save(QString::fromStdString(ScreenshotPath("damaged_page_box.png").string())));
    }
    // Clicked as a person would: the batch holds back only the dialog's input.
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  };
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, answer);
  poll.start(10);
  Select({"BADCMD.QRV"});
  Click(kConvertButtonId);
  poll.stop();
  EXPECT_EQ(texts, std::vector<std::string>{"unexpect command!\n1486 unknown commands on page 2"});
  EXPECT_EQ(dialog_->Controller().Log().LogLines().back(),
            "Convert BADCMD.QRV to BADCMD.TXT succeeded, but text is missing: page 2: 1486 "
            "unknown commands");
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/BADCMD.TXT"), "one kept");
}

TEST_F(MainDialogTest, FailureLogsTheSystemsReasonAndTheWholeLineInATooltip) {
  // The text folder went away after its list was read.
  std::filesystem::remove_all(scratch_ / "texts");
  Select({"B.QRV"});
  Click(kConvertButtonId);
  const std::string line = "Convert B.QRV to B.TXT failed: cannot write into " +
                           platform::SystemPath(scratch_ / "texts") + ": " +
                           platform::SystemErrorText(ENOENT);
  EXPECT_EQ(dialog_->Controller().Log().LogLines().back(), line);
  auto* field = static_cast<QLabel*>(dialog_->Control(kFirstLogLineId));
  EXPECT_EQ(field->toolTip().toStdString(), line);
  dialog_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
  const QImage shot = dialog_->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ScreenshotPath("failure_reason.png").string())));
}

TEST_F(MainDialogTest, WheelOverTheLogScrollsItAsItsScrollBarDoes) {
  for (int i = 0; i < 12; ++i) dialog_->Controller().AddLogLine("line " + std::to_string(i));
  dialog_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
  const auto turn = [&](int delta, QWidget* over) {
    const QPointF at = QRectF(over->rect()).center();
    QWheelEvent wheel(at, over->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(over, &wheel);
  };
  const int lines = QApplication::wheelScrollLines();
  turn(QWheelEvent::DefaultDeltasPerStep, dialog_->Control(kFirstLogLineId + 2));
  EXPECT_EQ(dialog_->Controller().Log().LogTop(), std::max(6 - lines, 0));
  EXPECT_EQ(LogLine(0).toStdString(), "line " + std::to_string(std::max(6 - lines, 0)));
  turn(-10 * QWheelEvent::DefaultDeltasPerStep, dialog_->Control(kLogScrollBarId));
  EXPECT_EQ(dialog_->Controller().Log().LogTop(), 6);
  EXPECT_EQ(dialog_->Control(kLogScrollBarId)->property("value").toInt(), 6);
}

TEST_F(MainDialogTest, F5ReadsBothListsAgain) {
  build::WriteFileBytes(scratch_ / "docs/NEW.QRV", build::DocumentWithText("new"));
  build::WriteFileBytes(scratch_ / "texts/NEW.TXT", "new");
  dialog_->show();
  QTest::keyClick(dialog_.get(), Qt::Key_F5);
  EXPECT_EQ(Texts(Documents()),
            (std::vector<std::string>{"SUB", "B.QRV", "NEW.QRV", "Report.QRV", "a.QRV"}));
  EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"arch", "NEW.TXT", "REPORT.TXT"}));
}

TEST_F(MainDialogTest, AListIsReadAgainWhenItsFolderChanges) {
  dialog_->show();
  build::WriteFileBytes(scratch_ / "docs/NEW.QRV", build::DocumentWithText("new"));
  const std::vector<std::string> withNew{"SUB", "B.QRV", "NEW.QRV", "Report.QRV", "a.QRV"};
  EXPECT_TRUE(QTest::qWaitFor([&] { return Texts(Documents()) == withNew; }, 5000));
  EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"arch", "REPORT.TXT"}));

  // The text side watches the folder it changed to.
  dialog_->Controller().ChangeDirectory(TextSide, platform::SystemPath(scratch_ / "texts/arch"));
  build::WriteFileBytes(scratch_ / "texts/arch/LATE.TXT", "late");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Texts(TextFiles()) == std::vector<std::string>{"LATE.TXT"}; }, 5000));
}

TEST_F(MainDialogTest, LongNameShowsWholeInATooltip) {
  const std::string longName(60, 'L');
  build::WriteFileBytes(scratch_ / ("docs/" + longName + ".QRV"), "x");
  dialog_->Controller().RefreshFileList(DocumentSide);
  dialog_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
  const auto tipAt = [&](const std::string& name) {
    const std::vector<std::string> shown = Documents().ItemNames();
    const int row = static_cast<int>(std::find(shown.begin(), shown.end(), name) - shown.begin());
    const QPoint at = Documents().visualItemRect(Documents().item(row)).center();
    QHelpEvent help(QEvent::ToolTip, at, Documents().viewport()->mapToGlobal(at));
    QApplication::sendEvent(Documents().viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  };
  EXPECT_EQ(tipAt("B.QRV"), "");  // shown whole already
  EXPECT_EQ(tipAt(longName + ".QRV"), longName + ".QRV");
}

TEST(ApplicationIconTest, DesktopAndWindowsIconsShowTheDialogsPicture) {
  uitest::EnsureApplication();
  const QImage dialogPicture = ApplicationPixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  const std::string icons = std::string(EXQRV_SOURCE_DIR) + "/data/icons/";
  QImage desktop(QString::fromStdString(icons + "exqrv-32.png"));
  EXPECT_EQ(desktop.convertToFormat(QImage::Format_ARGB32), dialogPicture);
  QImage large(QString::fromStdString(icons + "exqrv-64.png"));
  EXPECT_EQ(large.convertToFormat(QImage::Format_ARGB32),
            dialogPicture.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  // The Windows program's icon file, its first (32-pixel) image.
  QImage windows(QString::fromStdString(icons + "exqrv.ico"));
  ASSERT_FALSE(windows.isNull());
  EXPECT_EQ(windows.convertToFormat(QImage::Format_ARGB32), dialogPicture);
}

TEST(QtPrompterTest, AsksWithTheApplicationsCaptionAndIcon) {
  uitest::EnsureApplication();
  QWidget owner;
  QtPrompter prompter(&owner);
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(QMessageBox::Cancel)->click();
  });
  EXPECT_EQ(prompter.Show(OverwriteQuestion("B.TXT"), platform::Buttons::OkCancel,
                          platform::Icon::Question),
            platform::Answer::Cancel);
  EXPECT_EQ(caption.toStdString(), "Quillor Extract Text");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
}

}  // namespace
}  // namespace exqrv::ui
