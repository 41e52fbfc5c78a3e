// The dialog's wiring on the offscreen platform: its controls, its file lists
// and selectors, Convert and double-click, the overwrite question and the log.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/document_builder.h"
#include "support/scratch_dir.h"
#include "ui/directory_combo_box.h"
#include "ui/file_list_box.h"
#include "ui/main_dialog.h"
#include "ui/qt_prompter.h"
#include "ui/qt_test_support.h"
#include "ui/scripted_drives.h"

namespace exqrv::ui {
namespace {

std::string Document(const std::string& text) {
  build::DocumentSpec spec;
  spec.pages = {build::TextPage({text})};
  return build::BuildDocument(spec);
}

std::vector<std::string> Texts(const FileListBox& list) { return list.ItemTexts(); }

class MainDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { uitest::EnsureApplication(); }

  void SetUp() override {
    std::filesystem::create_directories(scratch_ / "docs/SUB");
    std::filesystem::create_directories(scratch_ / "texts");
    build::WriteFileBytes(scratch_ / "docs/SUB/A.QRV", Document("alpha"));
    build::WriteFileBytes(scratch_ / "docs/B.QRV", Document("beta"));
    build::WriteFileBytes(scratch_ / "docs/Report.QRV", Document("report"));
    build::WriteFileBytes(scratch_ / "docs/bad.QRV", "not a document");
    build::WriteFileBytes(scratch_ / "texts/REPORT.TXT", "old");
    app_.SourceDirectory = platform::SystemPath(scratch_ / "docs");
    app_.TargetDirectory = platform::SystemPath(scratch_ / "texts");
    dialog_ = std::make_unique<MainDialog>(app_);
  }

  FileListBox& Documents() { return *dialog_->FileList(DocumentSide); }
  FileListBox& TextFiles() { return *dialog_->FileList(TextSide); }
  QString LogLine(int k) {
    return static_cast<QLabel*>(dialog_->Control(kFirstLogLineId + k))->text();
  }
  void Select(const std::vector<std::string>& names) {
    for (int row = 0; row < Documents().count(); ++row) {
      const std::string text = Documents().item(row)->text().toStdString();
      Documents().item(row)->setSelected(std::find(names.begin(), names.end(), text) !=
                                         names.end());
    }
  }
  void Click(int id) {
    QTest::mouseClick(static_cast<QAbstractButton*>(dialog_->Control(id)), Qt::LeftButton);
  }
  void DoubleClick(FileListBox& list, const QString& text) {
    QListWidgetItem* item = list.findItems(text, Qt::MatchExactly).value(0);
    ASSERT_NE(item, nullptr) << text.toStdString();
    const QPoint at = list.visualItemRect(item).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
  }

  build::ScratchDir scratch_;
  ConverterApp app_;
  platform::ScriptedPrompter prompter_;
  uitest::PrompterInstalled installed_{prompter_};
  std::unique_ptr<MainDialog> dialog_;
};

TEST_F(MainDialogTest, ControlsCarryTheTemplatesTextsAndToolTips) {
  struct Case {
    int id;
    const char* text;
    const char* toolTip;
  };
  const Case cases[] = {
      {kExitButtonId, "Exit", "Exit Quillor Extract Text Utility"},
      {kDocumentUpButtonId, "..", "QRV Directory Up"},
      {kTextUpButtonId, "..", "TXT Directory Up"},
      {kConvertButtonId, "Convert", "Convert QRV To TXT"},
      {kDocumentLabelId, "QRV File List", ""},
      {kTextLabelId, "QRT File List", ""},
  };
  for (const Case& c : cases) {
    QWidget* control = dialog_->Control(c.id);
    ASSERT_NE(control, nullptr) << c.id;
    const QString text = qobject_cast<QAbstractButton*>(control)
                             ? static_cast<QAbstractButton*>(control)->text()
                             : static_cast<QLabel*>(control)->text();
    EXPECT_EQ(text.toStdString(), c.text) << c.id;
    EXPECT_EQ(control->toolTip().toStdString(), c.toolTip) << c.id;
    EXPECT_EQ(control->property("controlId").toInt(), c.id);
  }
  EXPECT_EQ(dialog_->windowTitle().toStdString(), "Quillor QRV to Text QRT");
  EXPECT_TRUE(static_cast<QPushButton*>(dialog_->Control(kExitButtonId))->isDefault());
  EXPECT_TRUE(dialog_->Control(kLogScrollBarId)->isHidden());
  for (int k = 0; k < kVisibleLogLines; ++k) EXPECT_TRUE(LogLine(k).isEmpty());

  const PixelRect size = ToPixels(dialog_->Units(), kDialogSize);
  EXPECT_EQ(dialog_->size(), QSize(size.width, size.height));
  const PixelRect convert =
      ToPixels(dialog_->Units(), FindControlTemplate(kConvertButtonId)->rect);
  EXPECT_EQ(dialog_->Control(kConvertButtonId)->geometry(),
            QRect(convert.x, convert.y, convert.width, convert.height));
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
  const std::vector<int> expected{kExitButtonId,   kDocumentFileListId, kDocumentSelectorId,
                                  kDocumentUpButtonId, kTextFileListId, kTextSelectorId,
                                  kTextUpButtonId, kConvertButtonId};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(dialog_->focusWidget(), dialog_->Control(kExitButtonId));
}

TEST_F(MainDialogTest, ListsAndSelectorsShowTheTwoDirectories) {
  EXPECT_EQ(Texts(Documents()),
            (std::vector<std::string>{"SUB", "B.QRV", "Report.QRV", "bad.QRV"}));
  EXPECT_EQ(Texts(TextFiles()), std::vector<std::string>{"REPORT.TXT"});
  EXPECT_EQ(dialog_->Selector(DocumentSide)->currentText().toStdString(), "docs");
  EXPECT_EQ(dialog_->Selector(TextSide)->currentText().toStdString(), "texts");
  EXPECT_EQ(dialog_->Selector(TextSide)->itemText(0).toStdString(), "C:\\");
}

TEST_F(MainDialogTest, ConvertRunsOverTheSelectionAndLogsEachDocument) {
  Select({"SUB", "B.QRV", "bad.QRV"});
  Click(kConvertButtonId);
  EXPECT_EQ(LogLine(0).toStdString(), "Convert A.QRV to A.TXT succeeded");
  EXPECT_EQ(LogLine(1).toStdString(), "Convert B.QRV to B.TXT succeeded");
  EXPECT_EQ(LogLine(2).toStdString(), "Convert bad.QRV to bad.TXT failed");
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/A.TXT"), "alpha");
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/B.TXT"), "beta");
  EXPECT_EQ(Texts(TextFiles()), (std::vector<std::string>{"A.TXT", "B.TXT", "REPORT.TXT"}));
  EXPECT_EQ(Documents().selectedItems().size(), 3);
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(MainDialogTest, OverwriteQuestionCancelSkipsAndOkConverts) {
  Select({"Report.QRV"});
  prompter_.answers = {platform::Answer::Cancel};
  Click(kConvertButtonId);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, "Report.TXT already exist! Overwrite it?");
  EXPECT_TRUE(LogLine(0).isEmpty());
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "texts/Report.TXT"));

  prompter_.answers = {platform::Answer::Ok};
  Click(kConvertButtonId);
  EXPECT_EQ(LogLine(0).toStdString(), "Convert Report.QRV to Report.TXT succeeded");
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/Report.TXT"), "report");
  EXPECT_EQ(Texts(TextFiles()), std::vector<std::string>{"REPORT.TXT"});
}

TEST_F(MainDialogTest, DoubleClickOpensFoldersAndConvertsDocuments) {
  dialog_->show();
  DoubleClick(Documents(), "B.QRV");
  EXPECT_EQ(LogLine(0).toStdString(), "Convert B.QRV to B.TXT succeeded");

  DoubleClick(TextFiles(), "B.TXT");  // a text file is not opened
  EXPECT_EQ(app_.TargetDirectory, platform::SystemPath(scratch_ / "texts"));

  const std::string docs = app_.SourceDirectory;
  DoubleClick(Documents(), "SUB");
  EXPECT_EQ(app_.SourceDirectory, docs + "\\SUB");
  EXPECT_EQ(Texts(Documents()), std::vector<std::string>{"A.QRV"});
  EXPECT_EQ(dialog_->Selector(DocumentSide)->currentText().toStdString(), "SUB");

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

TEST_F(MainDialogTest, LogScrollBarAppearsWithTheSeventhLineAndScrolls) {
  dialog_->show();
  for (int i = 0; i < 7; ++i) dialog_->AddLogLine("line " + std::to_string(i));
  auto* bar = static_cast<QScrollBar*>(dialog_->Control(kLogScrollBarId));
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 6);
  EXPECT_EQ(bar->value(), 1);
  EXPECT_EQ(LogLine(0).toStdString(), "line 1");

  QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));  // the up arrow
  EXPECT_EQ(dialog_->Log().LogTop(), 0);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(LogLine(0).toStdString(), "line 0");
}

TEST_F(MainDialogTest, EnterInAFileListClosesTheDialog) {
  dialog_->show();
  Documents().setFocus();
  QTest::keyClick(&Documents(), Qt::Key_Return);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_TRUE(prompter_.shown.empty());
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
  EXPECT_EQ(prompter.Show("B.TXT already exist! Overwrite it?", platform::Buttons::OkCancel,
                          platform::Icon::Question),
            platform::Answer::Cancel);
  EXPECT_EQ(caption.toStdString(), "Quillor Extract Text");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
}

}  // namespace
}  // namespace exqrv::ui
