// The batch behind "Convert": which documents are converted under which text
// names, the overwrite question, and the log lines.
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/scripted_prompter.h"
#include "support/scratch_dir.h"
#include "dialog/batch_conversion.h"
#include "support/scripted_drives.h"
#include "dialog/selector_rules.h"

namespace exqrv::dialog {
namespace {

using Conversion = std::pair<std::string, std::string>;

class BatchConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_ / "SUB/INNER.QRV");
    for (const char* file : {"SUB/A.QRV", "SUB/notes.txt", "B.QRV", "a.QRV"}) {
      build::WriteFileBytes(scratch_ / file, "x");
    }
    app_.SourceDirectory = platform::SystemPath(scratch_.path());
    app_.TargetDirectory = app_.SourceDirectory;
  }

  BatchConversion Batch() {
    return BatchConversion(
        app_, BatchHooks{
                  [this](const std::string& document, const std::string& text) {
                    converted_.emplace_back(document, text);
                    if (const auto scripted = results_.find(document); scripted != results_.end()) {
                      if (scripted->second.outcome == Outcome::Stopped || stopDuring_ == document) {
                        batch_->RequestStop();
                      }
                      return scripted->second;
                    }
                    return failing_ ? ConversionResult{Outcome::Failed, {}}
                                    : ConversionResult{Outcome::Converted, {}};
                  },
                  [this](const std::string& textName) {
                    return ListShowsFile(shownTexts_, app_.TargetDirectory, textName);
                  },
                  [this](const std::string& line) { log_.push_back(line); },
                  [this](int index) {
                    ++refills_;
                    insertedAt_ = index;
                  },
                  [this] { ++listChanges_; },
              });
  }

  build::ScratchDir scratch_;
  ConverterApp app_;
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope installed_{&prompter_};
  std::vector<Conversion> converted_;
  std::vector<std::string> log_;
  std::vector<std::string> shownTexts_;
  bool failing_ = false;
  int refills_ = 0;
  int insertedAt_ = -1;
  int listChanges_ = 0;
  // What a document's conversion gives, where it is not plain success.
  std::map<std::string, ConversionResult> results_;
  // The batch is asked to stop while this document converts.
  std::string stopDuring_;
  BatchConversion* batch_ = nullptr;
};

TEST_F(BatchConversionTest, FolderDocumentsFirstThenTheSelectedDocuments) {
  Batch().ConvertSelection({"SUB", "B.QRV", "a.QRV"});
  const std::vector<Conversion> expected{
      {"SUB\\A.QRV", "A.TXT"}, {"B.QRV", "B.TXT"}, {"a.QRV", "a.TXT"}};
  EXPECT_EQ(converted_, expected);
  const std::vector<std::string> lines{"Convert A.QRV to A.TXT succeeded",
                                       "Convert B.QRV to B.TXT succeeded",
                                       "Convert a.QRV to a.TXT succeeded"};
  EXPECT_EQ(log_, lines);
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(BatchConversionTest, DoubleClickOpensOnlyAFolderNamedAlone) {
  const std::string& dir = app_.SourceDirectory;
  EXPECT_EQ(FolderOpenedBy(dir, "SUB"), platform::JoinPath(dir, "SUB"));
  EXPECT_EQ(FolderOpenedBy(dir, "B.QRV"), std::nullopt);
  EXPECT_EQ(FolderOpenedBy(dir, "GONE"), std::nullopt);  // removed since it was listed
  EXPECT_EQ(FolderOpenedBy(dir, "SUB\\INNER.QRV"), std::nullopt);
}

TEST_F(BatchConversionTest, FailureLogsTheNameWithoutItsFolder) {
  failing_ = true;
  Batch().ConvertSelection({"SUB"});
  EXPECT_EQ(log_, std::vector<std::string>{"Convert A.QRV to A.TXT failed"});
  EXPECT_TRUE(app_.TextFileList.empty());
  EXPECT_EQ(refills_, 0);
}

TEST_F(BatchConversionTest, EmptyFolderOrSelectionConvertsNothing) {
  std::filesystem::create_directory(scratch_ / "EMPTY");
  Batch().ConvertSelection({"EMPTY"});
  Batch().ConvertSelection({});
  EXPECT_TRUE(converted_.empty());
  EXPECT_TRUE(log_.empty());
}

TEST_F(BatchConversionTest, NameThatVanishedCountsAsADocument) {
  failing_ = true;
  Batch().ConvertSelection({"GONE.QRV"});
  EXPECT_EQ(converted_, (std::vector<Conversion>{{"GONE.QRV", "GONE.TXT"}}));
  EXPECT_EQ(log_, std::vector<std::string>{"Convert GONE.QRV to GONE.TXT failed"});
}

TEST_F(BatchConversionTest, NameWithASeparatorFailsAsStoredAndReachesNoOtherFile) {
  // Joined to its directory, each of these names would lead to another file:
  // SUB\A.QRV exists, and ..\B.TXT lies outside the target directory.
  const std::vector<std::string> names{"SUB\\A.QRV", "..\\B.QRV", "x/y.QRV"};
  Batch().ConvertSelection(names);
  Batch().ConvertItem("B.QRV", "..\\B.TXT");
  EXPECT_TRUE(converted_.empty());
  const std::vector<std::string> lines{
      "Convert SUB\\A.QRV to SUB\\A.TXT failed", "Convert ..\\B.QRV to ..\\B.TXT failed",
      "Convert x/y.QRV to x/y.TXT failed", "Convert B.QRV to ..\\B.TXT failed"};
  EXPECT_EQ(log_, lines);
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(BatchConversionTest, QuestionComesExactlyWhenTheFileToBeWrittenExists) {
  // Report.TXT is written; what the list shows does not decide the question.
  struct Case {
    const char* what;
    const char* onDisk;  // a text file present before the conversion, or null
    std::vector<std::string> shown;
    bool asked;
    bool inserted;      // the list then gains Report.TXT
    bool link = false;  // onDisk is a link that leads nowhere
  };
  std::vector<Case> cases = {
      {"listed and on disk", "Report.TXT", {"Report.TXT"}, true, false},
      {"on disk, appeared after the list was read", "Report.TXT", {}, true, true},
      {"another file listed in another case", "REPORT.TXT", {"REPORT.TXT"}, false, true},
      {"listed but gone from disk", nullptr, {"Report.TXT"}, false, false},
  };
#ifndef _WIN32
  // The conversion replaces the link itself, so it asks first.
  cases.push_back({"a link that leads nowhere", "Report.TXT", {}, true, true, true});
#endif
  if (platform::IsSameFile(app_.TargetDirectory + "\\B.QRV", app_.TargetDirectory + "\\b.qrv")) {
    GTEST_SKIP() << "the file system ignores case";
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(scratch_ / "Report.TXT");
    std::filesystem::remove(scratch_ / "REPORT.TXT");
    if (c.link) {
      std::filesystem::create_symlink(scratch_ / "nowhere", scratch_ / c.onDisk);
    } else if (c.onDisk != nullptr) {
      build::WriteFileBytes(scratch_ / c.onDisk, "old");
    }
    app_.ClearEntryLists(EntryLists::TextFiles);
    shownTexts_ = c.shown;
    refills_ = 0;
    for (platform::Answer answer : {platform::Answer::Cancel, platform::Answer::Ok}) {
      converted_.clear();
      log_.clear();
      prompter_.shown.clear();
      prompter_.answers = {answer};
      Batch().ConvertItem("Report.QRV", "Report.TXT");

      const bool skipped = c.asked && answer == platform::Answer::Cancel;
      ASSERT_EQ(prompter_.shown.size(), c.asked ? 1u : 0u);
      if (c.asked) {
        EXPECT_EQ(prompter_.shown[0].text, "Report.TXT already exist! Overwrite it?");
        EXPECT_EQ(prompter_.shown[0].buttons, platform::Buttons::OkCancel);
        EXPECT_EQ(prompter_.shown[0].icon, platform::Icon::Question);
      }
      const std::vector<Conversion> none;
      const std::vector<Conversion> report{{"Report.QRV", "Report.TXT"}};
      EXPECT_EQ(converted_, skipped ? none : report);
      const std::vector<std::string> succeeded{"Convert Report.QRV to Report.TXT succeeded"};
      EXPECT_EQ(log_, skipped ? std::vector<std::string>() : succeeded);
      if (!c.inserted || skipped) {
        EXPECT_TRUE(app_.TextFileList.empty());
        EXPECT_EQ(refills_, 0);
      } else {
        ASSERT_EQ(app_.TextFileList.size(), 1u);
        EXPECT_EQ(app_.TextFileList[0]->Name, "Report.TXT");
        EXPECT_EQ(refills_, 1);
      }
      if (!c.asked) break;  // an unasked conversion needs no answer
    }
  }
}

TEST_F(BatchConversionTest, NewTextFileJoinsTheTextFilesAfterTheFolders) {
  app_.InsertFileEntry("zz", ClosedFolderPicture, 0, TextSide);
  app_.InsertFileEntry("C.TXT", TextFilePicture, 1, TextSide);
  Batch().ConvertItem("B.QRV", "B.TXT");
  ASSERT_EQ(app_.TextFileList.size(), 3u);
  EXPECT_EQ(app_.TextFileList[1]->Name, "B.TXT");
  EXPECT_EQ(app_.TextFileList[1]->Picture, TextFilePicture);
  EXPECT_EQ(refills_, 1);
  EXPECT_EQ(insertedAt_, 1);
}

TEST_F(BatchConversionTest, LogLinesKeepTheirWordsAndAddWhatWentWrong) {
  results_ = {{"SUB\\A.QRV", {Outcome::Failed, "Permission denied"}},
              {"B.QRV", {Outcome::LostText, "page 1: 3 unknown commands"}},
              {"a.QRV", {Outcome::Failed, ""}}};
  Batch().ConvertSelection({"SUB", "B.QRV", "a.QRV"});
  const std::vector<std::string> lines{
      "Convert A.QRV to A.TXT failed: Permission denied",
      "Convert B.QRV to B.TXT succeeded, but text is missing: page 1: 3 unknown commands",
      "Convert a.QRV to a.TXT failed"};
  EXPECT_EQ(log_, lines);
  // The text that holds what could be had is listed; nothing else is.
  ASSERT_EQ(app_.TextFileList.size(), 1u);
  EXPECT_EQ(app_.TextFileList[0]->Name, "B.TXT");
}

TEST_F(BatchConversionTest, StopEndsTheBatchAndSaysWhere) {
  struct Case {
    const char* what;
    std::map<std::string, ConversionResult> results;
    std::string stopDuring;
    std::vector<Conversion> converted;
    std::vector<std::string> log;
  };
  const std::vector<Case> cases{
      {"within a document",
       {{"B.QRV", {Outcome::Stopped, "page 2"}}},
       "",
       {{"SUB\\A.QRV", "A.TXT"}, {"B.QRV", "B.TXT"}},
       {"Convert A.QRV to A.TXT succeeded", "Batch stopped at B.QRV page 2; B.TXT not written"}},
      {"after a document's last page",
       {{"SUB\\A.QRV", {Outcome::Converted, ""}}},
       "SUB\\A.QRV",
       {{"SUB\\A.QRV", "A.TXT"}},
       {"Convert A.QRV to A.TXT succeeded", "Batch stopped before B.QRV"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    converted_.clear();
    log_.clear();
    app_.ClearEntryLists(EntryLists::TextFiles);
    results_ = c.results;
    stopDuring_ = c.stopDuring;
    BatchConversion batch = Batch();
    batch_ = &batch;
    batch.ConvertSelection({"SUB", "B.QRV", "a.QRV"});
    EXPECT_EQ(converted_, c.converted);
    EXPECT_EQ(log_, c.log);
    EXPECT_FALSE(batch.Running());

    // The next batch starts afresh, and a stop asked for outside a batch is
    // no stop.
    results_.clear();
    stopDuring_.clear();
    batch.RequestStop();
    log_.clear();
    batch.ConvertItem("B.QRV", "B.TXT");
    EXPECT_EQ(log_, std::vector<std::string>{"Convert B.QRV to B.TXT succeeded"});
  }
}

TEST_F(BatchConversionTest, FolderThatCannotBeEnteredIsLoggedWithTheReason) {
  Batch().ConvertFolder("B.QRV");  // a file: no folder to enter
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0].rfind("Cannot open folder B.QRV: ", 0), 0u) << log_[0];
  EXPECT_GT(log_[0].size(), std::string("Cannot open folder B.QRV: ").size());
  EXPECT_TRUE(converted_.empty());
}

TEST_F(BatchConversionTest, ItemGoneSinceTheListWasReadMarksTheListOutOfDate) {
  failing_ = true;
  Batch().ConvertSelection({"B.QRV", "GONE"});
  EXPECT_EQ(listChanges_, 1);
}

}  // namespace
}  // namespace exqrv::dialog
