// One document converted for the dialog: one box per page for its messages,
// the outcome and its words, and a stop between pages.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "dialog/watched_conversion.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace exqrv::dialog {
namespace {

// A page "A", a page of count unknown commands (DT) and "B", a page "C".
std::string DamagedDocument(int count) {
  build::PageStream damaged;
  for (int i = 0; i < count; ++i) damaged.Code("DT");
  damaged.TextRun({build::PageStream::Item("B")}).End();
  return build::BuildDocument(
      {.pages = {build::TextPage({"A"}), damaged.bytes(), build::TextPage({"C"})}});
}

class WatchedConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.SourceDirectory = platform::SystemPath(scratch_.path());
    app_.TargetDirectory = app_.SourceDirectory;
  }

  ConversionResult Convert(const std::string& document, const GoesOnAfterPage& goesOn) {
    return ConvertWatched(app_, document, TextFileNameFor(document), goesOn);
  }

  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& shown : prompter_.shown) texts.push_back(shown.text);
    return texts;
  }

  build::ScratchDir scratch_;
  ConverterApp app_;
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope installed_{&prompter_};
  int pages_ = 0;
  GoesOnAfterPage everyPage_ = [this] {
    ++pages_;
    return true;
  };
};

TEST_F(WatchedConversionTest, APageOfUnknownCommandsShowsOneBoxWithTheirCount) {
  build::WriteFileBytes(scratch_ / "BAD.QRV", DamagedDocument(1486));
  build::WriteFileBytes(scratch_ / "ODD.QRV", DamagedDocument(1));

  const ConversionResult bad = Convert("BAD.QRV", everyPage_);
  EXPECT_EQ(Boxes(),
            std::vector<std::string>{"unexpect command!\n1486 unknown commands on page 2"});
  EXPECT_EQ(prompter_.shown[0].buttons, platform::Buttons::Ok);
  EXPECT_EQ(prompter_.shown[0].icon, platform::Icon::Exclamation);
  EXPECT_EQ(bad.outcome, Outcome::LostText);
  EXPECT_EQ(bad.detail, "page 2: 1486 unknown commands");
  // The text keeps what could be had.
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "BAD.TXT"), "ABC");
  EXPECT_EQ(pages_, 3);

  prompter_.shown.clear();
  const ConversionResult odd = Convert("ODD.QRV", everyPage_);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"unexpect command!\n1 unknown command on page 2"});
  EXPECT_EQ(odd.detail, "page 2: 1 unknown command");
}

TEST_F(WatchedConversionTest, LossesBeyondTwoAreCounted) {
  build::PageStream odd;
  odd.Code("DT").End();
  build::WriteFileBytes(
      scratch_ / "ODD.QRV",
      build::BuildDocument({.pages = {odd.bytes(), odd.bytes(), odd.bytes(), odd.bytes()}}));
  const ConversionResult result = Convert("ODD.QRV", everyPage_);
  EXPECT_EQ(prompter_.shown.size(), 4u);
  EXPECT_EQ(result.detail, "page 1: 1 unknown command; page 2: 1 unknown command; and 2 more");
}

TEST_F(WatchedConversionTest, WholeTextIsPlainSuccess) {
  build::WriteFileBytes(scratch_ / "GOOD.QRV",
                        build::BuildDocument({.pages = {build::TextPage({"A"})}}));
  const ConversionResult result = Convert("GOOD.QRV", everyPage_);
  EXPECT_EQ(result.outcome, Outcome::Converted);
  EXPECT_EQ(result.detail, "");
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(WatchedConversionTest, StopAfterAPageLeavesNoTextAndSaysWhere) {
  build::WriteFileBytes(scratch_ / "BAD.QRV", DamagedDocument(2));
  build::WriteFileBytes(scratch_ / "BAD.TXT", "old");
  int pages = 0;
  const ConversionResult result = Convert("BAD.QRV", [&] { return ++pages < 2; });
  EXPECT_EQ(result.outcome, Outcome::Stopped);
  EXPECT_EQ(result.detail, "page 2");
  // The page's box was shown before the stop; the text there before stays,
  // and nothing half-written is left beside it.
  EXPECT_EQ(Boxes(), std::vector<std::string>{"unexpect command!\n2 unknown commands on page 2"});
  EXPECT_EQ(build::ReadFileBytes(scratch_ / "BAD.TXT"), "old");
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(scratch_.path())) {
    ++files;
  }
  EXPECT_EQ(files, 2u);
}

TEST_F(WatchedConversionTest, FailureCarriesTheReason) {
  build::WriteFileBytes(scratch_ / "NOT.QRV", "not a document");
  build::WriteFileBytes(scratch_ / "GOOD.QRV",
                        build::BuildDocument({.pages = {build::TextPage({"A"})}}));
  struct Case {
    const char* document;
    std::string target;
    std::string reason;
  };
  const std::vector<Case> cases{
      {"NOT.QRV", scratch_.path(), "not a Quillor document"},
      {"GONE.QRV", scratch_.path(), platform::SystemErrorText(ENOENT)},
      {"GOOD.QRV", scratch_ / "missing",
       "cannot write into " + platform::SystemPath(scratch_ / "missing") + ": " +
           platform::SystemErrorText(ENOENT)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    app_.TargetDirectory = platform::SystemPath(c.target);
    const ConversionResult result = Convert(c.document, everyPage_);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.detail, c.reason);
  }
}

}  // namespace
}  // namespace exqrv::dialog
