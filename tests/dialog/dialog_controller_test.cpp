// The controller both dialogs share, through a view that writes down what it
// is asked to show: what each event shows, in which order, and that a batch
// runs under the wait cursor and gives the window its turns.
#include <array>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "dialog/dialog_controller.h"
#include "dialog/dialog_template.h"
#include "platform/prompter.h"
#include "support/dialog_folders.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace exqrv::dialog {
namespace {

std::string Of(Side side) { return side == DocumentSide ? "documents" : "texts"; }

// Item indexes come from the test; what the view is asked to do goes into
// the journal, each turn of the window with the newest log line.
class JournalView : public DialogView {
 public:
  void ShowFileList(Side side, size_t count) override {
    journal.push_back(Of(side) + " list shows " + std::to_string(count));
  }
  void InsertFileListItem(Side side, int index) override {
    journal.push_back(Of(side) + " list gains item " + std::to_string(index));
  }
  void ScrollFileListToTop(Side side) override { journal.push_back(Of(side) + " list at top"); }
  std::vector<int> SelectedItems(Side side) const override {
    return side == DocumentSide ? selectedDocuments : selectedTexts;
  }
  int CaretItem(Side) const override { return caret; }
  void ShowSelector(Side side, int selection) override {
    journal.push_back(Of(side) + " selector at " + std::to_string(selection));
  }
  int ChosenSelectorItem(Side) const override { return -1; }
  void ShowLogLine(int field, const std::string& text) override {
    fields.at(static_cast<size_t>(field)) = text;
  }
  void ShowLogScrollBar(const LogScrollState& bar) override {
    journal.push_back("bar at " + std::to_string(bar.position));
  }
  void BeginWaitCursor() override { journal.push_back("wait"); }
  void EndWaitCursor() override { journal.push_back("wait ends"); }
  void ProcessEvents() override {
    journal.push_back("turn: " + NewestField());
    if (duringEvents) duringEvents();
  }

  // The last field that holds a line.
  std::string NewestField() const {
    for (auto field = fields.rbegin(); field != fields.rend(); ++field) {
      if (!field->empty()) return *field;
    }
    return {};
  }

  std::vector<std::string> journal;
  std::array<std::string, kVisibleLogLines> fields;
  std::vector<int> selectedDocuments;
  std::vector<int> selectedTexts;
  int caret = -1;
  // What the user does while the window answers during a batch.
  std::function<void()> duringEvents;
};

class DialogControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { build::MakeDialogFolders(scratch_, app_); }

  // "<side> selector at <the item of the open folder>"; other drives may
  // follow it.
  std::string SelectorAtOpenFolder(Side side) const {
    const EntryList& list =
        side == DocumentSide ? app_.DocumentDirectoryList : app_.TextDirectoryList;
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i]->Picture == OpenFolderPicture) {
        return Of(side) + " selector at " + std::to_string(i);
      }
    }
    return "no open folder";
  }
  std::vector<std::string> TakeJournal() { return std::exchange(view_.journal, {}); }

  build::ScratchDir scratch_;
  ConverterApp app_;
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope installed_{&prompter_};
  JournalView view_;
  // Turns are given after a batch's first page, then not again this hour.
  DialogController controller_{app_, view_, std::chrono::hours(1)};
};

using Journal = std::vector<std::string>;

TEST_F(DialogControllerTest, InitialiseShowsBothSelectorsThenBothListsFromTheTop) {
  controller_.Initialise();
  EXPECT_EQ(TakeJournal(),
            (Journal{SelectorAtOpenFolder(DocumentSide), SelectorAtOpenFolder(TextSide),
                     "documents list shows 4", "documents list at top", "texts list shows 2",
                     "texts list at top"}));
}

TEST_F(DialogControllerTest, ConvertLogsAndInsertsUnderTheWaitCursorWithTurnsSpaced) {
  controller_.Initialise();
  TakeJournal();
  // SUB, B.QRV and a.QRV, and an item that shows no entry.
  view_.selectedDocuments = {0, 1, 3, 7};
  controller_.OnConvert();
  // One turn, after the first page; none while the interval lasts.
  EXPECT_EQ(TakeJournal(), (Journal{"wait", "turn: ", "texts list gains item 1",
                                    "texts list gains item 1", "wait ends"}));
  EXPECT_EQ(controller_.Log().LogLines(),
            (std::deque<std::string>{"Convert C.QRV to C.TXT succeeded",
                                     "Convert B.QRV to B.TXT succeeded",
                                     "Convert a.QRV to a.TXT failed: not a Quillor document"}));
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "texts/C.TXT"), "gamma");

  // Nothing that names an entry: no batch, and no wait cursor either.
  for (const std::vector<int>& selection : {std::vector<int>{}, std::vector<int>{4, -1}}) {
    view_.selectedDocuments = selection;
    controller_.OnConvert();
    EXPECT_EQ(TakeJournal(), Journal{});
  }
  EXPECT_EQ(controller_.Log().LogLines().size(), 3u);
}

TEST_F(DialogControllerTest, DocumentDoubleClickOpensAFolderOrConvertsADocument) {
  controller_.Initialise();
  TakeJournal();
  view_.caret = 1;  // B.QRV
  controller_.OnDocumentDoubleClick();
  EXPECT_EQ(TakeJournal(), (Journal{"wait", "turn: ", "texts list gains item 1", "wait ends"}));
  EXPECT_EQ(view_.NewestField(), "Convert B.QRV to B.TXT succeeded");

  view_.caret = 4;  // no entry
  controller_.OnDocumentDoubleClick();
  EXPECT_EQ(TakeJournal(), Journal{});

  const std::string docs = app_.SourceDirectory;
  view_.caret = 0;  // SUB: opened, without the wait cursor
  controller_.OnDocumentDoubleClick();
  EXPECT_EQ(app_.SourceDirectory, docs + "\\SUB");
  EXPECT_EQ(TakeJournal(), (Journal{SelectorAtOpenFolder(DocumentSide), "documents list shows 1",
                                    "documents list at top"}));
}

TEST_F(DialogControllerTest, StopDuringABatchEndsItAfterThePageAndKeepsTheDialog) {
  controller_.Initialise();
  TakeJournal();
  bool stopped = false;
  view_.duringEvents = [&] {
    // Escape, then Convert again: the second batch waits for the first.
    stopped = controller_.StopBatch();
    view_.selectedDocuments = {1};
    controller_.OnConvert();
    controller_.RefreshAll();
  };
  view_.selectedDocuments = {0, 1, 3};  // SUB, B.QRV and a.QRV
  controller_.OnConvert();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(TakeJournal(), (Journal{"wait", "turn: ", "wait ends"}));
  EXPECT_EQ(view_.NewestField(), "Batch stopped at C.QRV page 1; C.TXT not written");
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "texts/C.TXT"));
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "texts/B.TXT"));
  // Outside a batch there is nothing to stop: the dialog closes.
  EXPECT_FALSE(controller_.StopBatch());
}

TEST_F(DialogControllerTest, RefreshReadsBothSidesAgain) {
  controller_.Initialise();
  TakeJournal();
  build::WriteFileBytes(scratch_ / "docs/NEW.QRV", build::DocumentWithText("new"));
  controller_.RefreshAll();
  EXPECT_EQ(TakeJournal(), (Journal{SelectorAtOpenFolder(DocumentSide), "documents list shows 5",
                                    "documents list at top", SelectorAtOpenFolder(TextSide),
                                    "texts list shows 2", "texts list at top"}));

  // A listed document that went away is reported, and the list read again.
  std::filesystem::remove(scratch_ / "docs/NEW.QRV");
  view_.selectedDocuments = {2};  // NEW.QRV
  controller_.OnConvert();
  EXPECT_EQ(TakeJournal(),
            (Journal{"wait", "wait ends", "documents list shows 4", "documents list at top"}));
  EXPECT_EQ(view_.NewestField().rfind("Convert NEW.QRV to NEW.TXT failed: ", 0), 0u);
}

TEST_F(DialogControllerTest, TextDoubleClickEntersOnlyAFolder) {
  controller_.Initialise();
  TakeJournal();
  const std::string texts = app_.TargetDirectory;
  for (const std::vector<int>& selection : {std::vector<int>{}, std::vector<int>{1}}) {
    view_.selectedTexts = selection;  // nothing, then REPORT.TXT
    controller_.OnTextDoubleClick();
    EXPECT_EQ(TakeJournal(), Journal{});
  }
  view_.selectedTexts = {0};  // arch
  controller_.OnTextDoubleClick();
  EXPECT_EQ(app_.TargetDirectory, texts + "\\arch");
  EXPECT_EQ(TakeJournal(),
            (Journal{SelectorAtOpenFolder(TextSide), "texts list shows 0", "texts list at top"}));
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(DialogControllerTest, LogFillsTheSixFieldsAndShowsTheBarFromTheSeventhLine) {
  for (int i = 0; i < 6; ++i) controller_.AddLogLine("line " + std::to_string(i));
  EXPECT_EQ(TakeJournal(), Journal{});
  EXPECT_EQ(view_.fields.front(), "line 0");
  EXPECT_EQ(view_.fields.back(), "line 5");

  controller_.AddLogLine("line 6");
  EXPECT_EQ(TakeJournal(), Journal{"bar at 1"});
  EXPECT_EQ(view_.fields.front(), "line 1");
  EXPECT_EQ(view_.fields.back(), "line 6");

  // The bar and the fields follow a scroll when it ends.
  controller_.OnLogScroll(ScrollCode::LineUp, 0);
  EXPECT_EQ(TakeJournal(), Journal{});
  EXPECT_EQ(view_.fields.front(), "line 1");
  controller_.OnLogScroll(ScrollCode::EndScroll, 0);
  EXPECT_EQ(TakeJournal(), Journal{"bar at 0"});
  EXPECT_EQ(view_.fields.front(), "line 0");
}

}  // namespace
}  // namespace exqrv::dialog
