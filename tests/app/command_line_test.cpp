#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/converter_app.h"
#include "builder/document_builder.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/scripted_prompter.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

// Drives A:, C:, D:, E: and F:, started in C:\HOME. Each drive has its own
// current directory; A: has no medium.
class ScriptedDrives : public platform::Platform {
 public:
  std::string CurrentDirectory() override { return startUp; }
  std::string LogicalDriveStrings() override {
    return std::string("A:\\\0C:\\\0D:\\\0E:\\\0F:\\\0\0", 21);
  }
  std::string DriveCurrentDirectory(int drive) override {
    switch (drive) {
      case 3: return startUp;
      case 4: return "D:\\WORK";
      case 5: return "E:\\";
      case 6: return "F:\\TEXTS\\OLD";
      default: return "";
    }
  }
  std::string startUp = "C:\\HOME";
};

struct GrammarCase {
  const char* startUp;
  const char* commandLine;
  bool accepted;
  const char* source;
  const char* target;
  const char* pattern;
};

class CommandLineGrammar : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(CommandLineGrammar, SplitsIntoDirectoriesAndPattern) {
  const GrammarCase& c = GetParam();
  ScriptedDrives drives;
  drives.startUp = c.startUp;
  platform::ScriptedPrompter prompter;
  bool accepted = false;
  ConverterApp app;
  {
    const platform::ScopedPlatform scriptedDrives(&drives);
    const platform::PrompterScope scripted(&prompter);
    app.SetDialogHook([](ConverterApp&) { return 0; });
    app.StartUp("");
    accepted = app.ParseCommandLine(c.commandLine);
  }
  ASSERT_EQ(accepted, c.accepted) << c.commandLine;
  if (!accepted) return;
  EXPECT_EQ(app.SourceDirectory, c.source) << c.commandLine;
  EXPECT_EQ(app.TargetDirectory, c.target) << c.commandLine;
  EXPECT_EQ(app.FilePattern, c.pattern) << c.commandLine;
}

std::string CaseName(const ::testing::TestParamInfo<GrammarCase>& info) {
  std::string name = std::to_string(info.index) + "_";
  for (const char* c = info.param.commandLine; *c; ++c) {
    name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineGrammar,
    ::testing::Values(
        GrammarCase{"C:\\HOME", "BOOK.QRV", true, "C:\\HOME", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV /OUT", true, "C:\\HOME", "C:\\HOME\\OUT", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "D:\\DOCS\\*.QRV /E:\\TXT", true, "D:\\DOCS", "E:\\TXT", "*.QRV"},
        GrammarCase{"C:\\HOME", "\\DOCS\\BOOK.QRV", true, "C:\\DOCS", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "DOCS\\BOOK.QRV", true, "C:\\HOME\\DOCS", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "D:BOOK.QRV", true, "D:\\WORK", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "d:BOOK.QRV", true, "d:", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "E:*.QRV /F:\\OUT", true, "E:", "F:\\OUT", "*.QRV"},
        GrammarCase{"C:\\HOME", "F:B?.QRV /E:\\", true, "F:\\TEXTS\\OLD", "E:", "B?.QRV"},
        GrammarCase{"C:\\HOME", "A:BOOK.QRV", true, "A:", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "E:\\BOOK.QRV", true, "E:", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV OUT", false, "", "", ""},
        GrammarCase{"C:\\HOME", "A.QRV B.QRV /OUT", false, "", "", ""},
        GrammarCase{"C:\\HOME", "BOOK.QRV  /OUT", false, "", "", ""},
        GrammarCase{"C:\\HOME", "BOOK.QRV /OUT ", true, "C:\\HOME", "C:\\HOME\\OUT", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV  ", false, "", "", ""},
        GrammarCase{"C:\\HOME", "BOOK.QRV ", true, "C:\\HOME", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV x/OUT", true, "C:\\HOME", "C:\\HOME\\OUT", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV /E:\\", true, "C:\\HOME", "E:", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV /", true, "C:\\HOME", "C:\\HOME", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV /out\\texts", true, "C:\\HOME", "out\\texts", "BOOK.QRV"},
        GrammarCase{"C:\\", "BOOK.QRV /OUT", true, "C:", "C:\\OUT", "BOOK.QRV"},
        GrammarCase{"C:\\HOME", "\"A B\".QRV", false, "", "", ""},
        GrammarCase{"C:\\HOME", "\"AB\".QRV", true, "C:\\HOME", "C:\\HOME", "\"AB\".QRV"},
        // No current directory to be had: a relative target has nothing to join to.
        GrammarCase{"", "BOOK.QRV /OUT", false, "", "", ""},
        GrammarCase{"", "BOOK.QRV /", false, "", "", ""},
        GrammarCase{"", "BOOK.QRV /\\tmp\\out", true, "", "\\tmp\\out", "BOOK.QRV"}),
    CaseName);

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(
    PosixSlashes, CommandLineGrammar,
    ::testing::Values(
        // Slashes separate directories too, except the one before the target.
        GrammarCase{"C:\\HOME", "books/*.QRV //tmp/out", true, "C:\\HOME\\books", "/tmp/out",
                    "*.QRV"},
        GrammarCase{"C:\\HOME", "/srv/docs/*.QRV /out", true, "C:/srv/docs", "C:\\HOME\\out",
                    "*.QRV"},
        GrammarCase{"C:\\HOME", "BOOK.QRV //", true, "C:\\HOME", "/", "BOOK.QRV"},
        // Only one trailing separator goes (found by fuzzing).
        GrammarCase{"C:\\HOME", "//QQ", true, "C:/", "C:\\HOME", "QQ"},
        GrammarCase{"", "BOOK.QRV //tmp/out", true, "", "/tmp/out", "BOOK.QRV"}),
    CaseName);
#else
INSTANTIATE_TEST_SUITE_P(WindowsSlashes, CommandLineGrammar,
                         ::testing::Values(
                             // The system's separator is the backslash alone.
                             GrammarCase{"C:\\HOME", "books/*.QRV /out", true, "C:\\HOME",
                                         "C:\\HOME\\out", "books/*.QRV"},
                             GrammarCase{"", "BOOK.QRV //tmp/out", false, "", "", ""}),
                         CaseName);
#endif

TEST(CommandLine, RefusesLinesLongerThanItsBuffer) {
  ConverterApp app;
  EXPECT_TRUE(app.ParseCommandLine(std::string(259, 'A')));
  EXPECT_FALSE(app.ParseCommandLine(std::string(260, 'A')));
}

TEST(TextFileName, ReplacesTheLastThreeCharacters) {
  EXPECT_EQ(TextFileNameFor("BOOK.QRV"), "BOOK.TXT");
  EXPECT_EQ(TextFileNameFor("book.qrv"), "book.TXT");
  EXPECT_EQ(TextFileNameFor("BOOK"), "BTXT");
  EXPECT_EQ(TextFileNameFor("AB"), "TXT");
}

// Command-line mode on real folders.
class CommandLineMode : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    std::filesystem::create_directory(dir_ / "docs");
    ASSERT_TRUE(build::WriteFileBytes(
        dir_ / "docs/A.QRV", build::BuildDocument({.pages = {build::TextPage({"alpha"})}})));
    ASSERT_TRUE(build::WriteFileBytes(
        dir_ / "docs/b.qrv", build::BuildDocument({.pages = {build::TextPage({"beta"})}})));
  }
  void TearDown() override { std::filesystem::current_path(previous_); }
  // Each run starts in the scratch folder, as a fresh process would.
  int Run(const std::string& commandLine) {
    std::filesystem::current_path(dir_.path());
    ConverterApp app;
    return app.StartUp(commandLine);
  }

  build::ScratchDir dir_;
  std::filesystem::path previous_;
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope scripted_{&prompter_};
};

TEST_F(CommandLineMode, ConvertsEveryMatchIntoTheTarget) {
  std::filesystem::create_directory(dir_ / "out");
  // A matching folder is tried and fails the run; "." and ".." go unnoticed.
  std::filesystem::create_directory(dir_ / "docs/OLD.QRV");
  EXPECT_EQ(Run("docs\\* /out"), kExitFailure);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out/OLD.TXT"));
  std::filesystem::remove(dir_ / "docs/OLD.QRV");
  EXPECT_EQ(Run("docs\\*.QRV /out"), kExitSuccess);
  EXPECT_EQ(build::ReadFileBytes(dir_ / "out/A.TXT"), "alpha");
  EXPECT_EQ(build::ReadFileBytes(dir_ / "out/b.TXT"), "beta");
  EXPECT_TRUE(prompter_.shown.empty());
  // The source directory is left current.
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir_ / "docs"));
}

TEST_F(CommandLineMode, OffersToCreateAMissingTarget) {
  prompter_.answers = {platform::Answer::Yes};
  EXPECT_EQ(Run("docs\\A.QRV /new"), kExitSuccess);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(
      prompter_.shown[0].text,
      CreateDirectoryQuestion(platform::DisplayPath(platform::SystemPath(dir_.path()) + "\\new")));
  EXPECT_EQ(prompter_.shown[0].buttons, platform::Buttons::YesNo);
  EXPECT_EQ(prompter_.shown[0].icon, platform::Icon::Question);
  EXPECT_EQ(build::ReadFileBytes(dir_ / "new/A.TXT"), "alpha");
}

TEST_F(CommandLineMode, RefusedOrFailedCreationConvertsNothing) {
  prompter_.answers = {platform::Answer::No};
  EXPECT_EQ(Run("docs\\A.QRV /new"), kExitUsage);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "new"));

  prompter_.shown.clear();
  prompter_.answers = {platform::Answer::Yes};
  EXPECT_EQ(Run("docs\\A.QRV /missing\\deeper"), kExitUsage);
  ASSERT_EQ(prompter_.shown.size(), 2u);
  EXPECT_EQ(prompter_.shown[1].text,
            DirectoryNotCreatedMessage(platform::DisplayPath("missing\\deeper")));
  EXPECT_EQ(prompter_.shown[1].icon, platform::Icon::Stop);
}

TEST_F(CommandLineMode, MalformedLineShowsTheUsageMessage) {
  EXPECT_EQ(Run("A.QRV B.QRV /OUT"), kExitUsage);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, ArgumentsErrorMessage());
  EXPECT_EQ(prompter_.shown[0].buttons, platform::Buttons::Ok);
  EXPECT_EQ(prompter_.shown[0].icon, platform::Icon::Stop);
}

TEST_F(CommandLineMode, NothingMatchedOrAFailedDocumentGivesStatusOne) {
  EXPECT_EQ(Run("docs\\*.NONE"), kExitFailure);
  EXPECT_EQ(Run("doc?"), kExitFailure);  // only a folder matches
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "docs/BAD.QRV", "not a document"));
  EXPECT_EQ(Run("docs\\*.QRV"), kExitFailure);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "BAD.TXT"));
  EXPECT_EQ(build::ReadFileBytes(dir_ / "A.TXT"), "alpha");
  EXPECT_TRUE(prompter_.shown.empty());
}

}  // namespace
}  // namespace exqrv
