#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include "app/converter_app.h"
#include "app/text_extraction.h"
#include "builder/document_builder.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "support/scripted_prompter.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::DocumentRecipe;
using build::TextPage;

class ConvertJob : public ::testing::Test {
 protected:
  // Converts a document built from recipe; returns the job's result.
  int Convert(const DocumentRecipe& recipe) { return ConvertBytes(build::BuildDocument(recipe)); }
  int ConvertBytes(const std::string& bytes) {
    EXPECT_TRUE(build::WriteFileBytes(dir_ / "IN.QRV", bytes));
    ConverterApp app;
    const int result = app.ConvertDocument(dir_ / "IN.QRV", dir_ / "IN.TXT");
    EXPECT_EQ(build::TempFolderEntries(platform::CurrentPlatform().TempDirectory()), 0u);
    return result;
  }
  std::string Text() { return build::ReadFileBytes(dir_ / "IN.TXT"); }
  bool TextExists() { return std::filesystem::exists(dir_ / "IN.TXT"); }

  build::ScratchDir dir_;
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope scripted_{&prompter_};
};

TEST_F(ConvertJob, PagesInOrderWithNothingAdded) {
  for (bool compress : {false, true}) {
    EXPECT_EQ(Convert({.pages = {TextPage({"one ", "two"}), TextPage({std::string("\r\n3\0x", 5)})},
                       .compress = compress}),
              1);
    EXPECT_EQ(Text(), std::string("one two\r\n3\0x", 12)) << compress;
  }
}

TEST_F(ConvertJob, EmptyDocumentsGiveEmptyFiles) {
  EXPECT_EQ(Convert({}), 1);
  EXPECT_TRUE(TextExists());
  EXPECT_EQ(Text(), "");
  EXPECT_EQ(Convert({.pages = {build::PageStream().End().bytes(), "CT"}}), 1);
  EXPECT_EQ(Text(), "");
}

TEST_F(ConvertJob, NotesFollowTheirPageInListOrder) {
  for (bool compress : {false, true}) {
    DocumentRecipe recipe{.pages = {TextPage({"P1."}), TextPage({"P2."}), TextPage({"P3."})},
                          .compress = compress,
                          .compressNotes = compress};
    recipe.notes = {{3, "A1", "A2"}, {0, "zero", "!"},   {1, "x", "y"},        {40000, "neg", "!"},
                    {3, "B1", "B2"}, {4, "beyond", "!"}, {65535, "minus", "1"}};
    EXPECT_EQ(Convert(recipe), 1);
    EXPECT_EQ(Text(), "P1.xyP2.P3.A1A2B1B2") << compress;
  }
}

TEST_F(ConvertJob, AStoreThatDoesNotExpandLeavesThePagesAlone) {
  std::string bytes = build::BuildDocument(
      {.pages = {TextPage({"page"})}, .notes = {{1, "lost", "note"}}, .compressNotes = true});
  bytes[build::FindChunkEntry(bytes, "indx").offset + 7] = 'X';  // spoil the block's magic
  EXPECT_EQ(ConvertBytes(bytes), 1);
  EXPECT_EQ(Text(), "page");
}

TEST_F(ConvertJob, ReplacesAnExistingTextFile) {
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "IN.TXT", "old content that is longer"));
  EXPECT_EQ(Convert({.pages = {TextPage({"new"})}}), 1);
  EXPECT_EQ(Text(), "new");
}

TEST_F(ConvertJob, ANonDocumentFailsAndLeavesNoTextFile) {
  for (const std::string& bytes :
       {std::string("Qlr"), std::string("QLRD\0\0\0\0", 8), std::string("Qlrd\0\0\0\0", 8)}) {
    EXPECT_EQ(ConvertBytes(bytes), 0);
    EXPECT_FALSE(TextExists());
  }
  ConverterApp app;
  EXPECT_EQ(app.ConvertDocument(dir_ / "MISSING.QRV", dir_ / "IN.TXT"), 0);
  EXPECT_FALSE(TextExists());
}

TEST_F(ConvertJob, AFailedWriteIsAFailureAndRemovesTheTextFile) {
  const DocumentRecipe recipe{.pages = {TextPage({std::string(200000, 'p')})},
                              .notes = {{1, "note", "text"}}};
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "IN.QRV", build::BuildDocument(recipe)));
  for (int64_t budget : {0, 1000, 199999, 200003}) {
    ConverterApp app;
    int result = 0;
    {
      const platform::WriteFaultScope full(budget);
      result = app.ConvertDocument(dir_ / "IN.QRV", dir_ / "IN.TXT");
    }
    EXPECT_EQ(result, 0) << budget;
    EXPECT_FALSE(TextExists()) << budget;
  }
}

// The working copy (at open and as each page is expanded) and the notes'
// work file take their bytes before the text file does: wherever a full
// device strikes, the document is not converted, and nothing stays behind.
TEST_F(ConvertJob, AFailedWriteToATemporaryFileFailsTheConversion) {
  const DocumentRecipe recipe{
      .pages = {TextPage({std::string(90000, 'a')}), TextPage({std::string(90000, 'b')})},
      .notes = {{1, std::string(30000, 'n'), "t"}},
      .compress = true,
      .compressNotes = true};
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "IN.QRV", build::BuildDocument(recipe)));
  for (int64_t budget : {0, 100, 20000, 60000, 100000, 150000, 200000, 300000}) {
    ConverterApp app;
    int result = 0;
    {
      const platform::WriteFaultScope full(budget);
      result = app.ConvertDocument(dir_ / "IN.QRV", dir_ / "IN.TXT");
    }
    EXPECT_EQ(result, 0) << budget;
    EXPECT_FALSE(TextExists()) << budget;
    EXPECT_EQ(build::TempFolderEntries(platform::CurrentPlatform().TempDirectory()), 0u) << budget;
  }
  // The first budget fails the working copy itself.
  ConverterApp app;
  {
    const platform::WriteFaultScope full(0);
    app.ConvertDocument(dir_ / "IN.QRV", dir_ / "IN.TXT");
  }
  EXPECT_EQ(app.LastTemporaryFault(), platform::TemporaryFault::WriteFailed);
}

// Wherever a document passes its expansion limit (a chunk at open, the
// notes, or a page while the text is written), it fails with that reason,
// and its temporary files go with the job.
TEST_F(ConvertJob, ADocumentPastItsExpansionLimitFailsAndLeavesNothing) {
  constexpr uint64_t kLimit = 40000;
  const std::string large(50000, 'x');
  const struct {
    const char* name;
    DocumentRecipe recipe;
    bool opens;
  } cases[] = {
      {"chunk",
       {.pages = {TextPage({"a"})}, .compress = true, .extraChunks = {{"stru", large, true}}},
       false},
      {"notes",
       {.pages = {TextPage({"a"})}, .notes = {{1, large, ""}}, .compressNotes = true},
       false},
      {"pages",
       {.pages = {TextPage({std::string(5000, 'p')})}, .compress = true, .pagesOnFirstContent = 99},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(build::WriteFileBytes(dir_ / "IN.QRV", build::BuildDocument(c.recipe)));
    {
      TextExtraction job;
      job.LimitExpansion(kLimit);
      ASSERT_EQ(job.Open(dir_ / "IN.QRV"), c.opens);
      if (c.opens) {
        platform::File output;
        ASSERT_TRUE(output.Open(dir_ / "IN.TXT", platform::OpenMode::Write));
        EXPECT_FALSE(job.WriteText(output));
      }
      EXPECT_EQ(job.extractionFault(), ExtractionFault::ExpandsBeyondLimit);
      EXPECT_EQ(job.ExpansionLimit(), kLimit);
      EXPECT_EQ(job.temporaryFault(), platform::TemporaryFault::None);
    }
    EXPECT_EQ(build::TempFolderEntries(platform::CurrentPlatform().TempDirectory()), 0u);
  }
}

// A damaged page costs its text, not the document's other text: the file
// holds every byte that could be recovered, and the job names the page.
TEST_F(ConvertJob, ADamagedPageIsNamedAndTheRestIsWritten) {
  const DocumentRecipe recipe{.pages = {TextPage({"one"}), TextPage({"two"}), TextPage({"three"})},
                              .notes = {{2, "[", "]"}},
                              .compress = true};
  std::string bytes = build::BuildDocument(recipe);
  bytes[build::PageContentOffset(recipe, 2)] = 'X';  // no block magic
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "IN.QRV", bytes));
  ConverterApp app;
  EXPECT_EQ(app.ConvertDocument(dir_ / "IN.QRV", dir_ / "IN.TXT"), 1);
  EXPECT_EQ(Text(), "one[]three");
  ASSERT_EQ(app.LastDamagedPages().size(), 1u);
  EXPECT_EQ(app.LastDamagedPages()[0].page, 2);
  EXPECT_EQ(app.LastDamagedPages()[0].result, codec::BlockResult::BadMagic);
  EXPECT_EQ(app.LastExtractionFault(), ExtractionFault::None);
}

TEST_F(ConvertJob, ADocumentIsNeverItsOwnTextFile) {
  for (bool compress : {false, true}) {
    const std::string bytes = build::BuildDocument(
        {.pages = {TextPage({"kept"})}, .notes = {{1, "a", "b"}}, .compress = compress});
    ASSERT_TRUE(build::WriteFileBytes(dir_ / "BOOK.TXT", bytes));
    std::filesystem::remove(dir_ / "LINK.TXT");
    std::filesystem::create_hard_link(dir_ / "BOOK.TXT", dir_ / "LINK.TXT");
    ConverterApp app;
    EXPECT_EQ(app.ConvertDocument(dir_ / "BOOK.TXT", dir_ / "BOOK.TXT"), 0) << compress;
    EXPECT_EQ(app.ConvertDocument(dir_ / "BOOK.TXT", dir_ / "LINK.TXT"), 0) << compress;
    EXPECT_EQ(build::ReadFileBytes(dir_ / "BOOK.TXT"), bytes) << compress;
  }
}

TEST_F(ConvertJob, AnUncreatableTextFileFails) {
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "IN.QRV", build::BuildDocument({})));
  ConverterApp app;
  EXPECT_EQ(app.ConvertDocument(dir_ / "IN.QRV", dir_ / "no/such/dir.TXT"), 0);
}

TEST_F(ConvertJob, ConvertFileJoinsNamesToTheDirectories) {
  std::filesystem::create_directories(dir_ / "src/SUB");
  std::filesystem::create_directories(dir_ / "dst");
  ASSERT_TRUE(build::WriteFileBytes(dir_ / "src/SUB/BOOK.QRV",
                                    build::BuildDocument({.pages = {TextPage({"sub"})}})));
  ConverterApp app;
  app.SourceDirectory = platform::SystemPath(dir_ / "src");
  app.TargetDirectory = platform::SystemPath(dir_ / "dst");
  EXPECT_TRUE(app.ConvertFile("SUB\\BOOK.QRV", "BOOK.TXT"));
  EXPECT_EQ(build::ReadFileBytes(dir_ / "dst/BOOK.TXT"), "sub");
  EXPECT_FALSE(app.ConvertFile("SUB\\NONE.QRV", "NONE.TXT"));
}

}  // namespace
}  // namespace exqrv

namespace exqrv {
namespace {

size_t OpenDescriptors() {
#ifdef _WIN32
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return handles;
#endif
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

TEST(ConvertJobResources, ManyConversionsHoldNothingAndChangeNoSource) {
  build::ScratchDir dir;
  platform::ScriptedPrompter prompter;
  const platform::PrompterScope scripted(&prompter);
  const std::string documents[] = {
      build::BuildDocument({.pages = {TextPage({"plain"})}, .notes = {{1, "a", "b"}}}),
      build::BuildDocument({.pages = {TextPage({"packed"})},
                            .notes = {{1, "c", "d"}},
                            .compress = true,
                            .compressNotes = true}),
      "not a document",
  };
  for (size_t i = 0; i < std::size(documents); ++i) {
    ASSERT_TRUE(build::WriteFileBytes(dir / ("D" + std::to_string(i) + ".QRV"), documents[i]));
  }
  ConverterApp app;
  // The private temporary folder is made and held open once per process.
  ASSERT_FALSE(platform::CurrentPlatform().TempDirectory().empty());
  const size_t before = OpenDescriptors();
  for (int round = 0; round < 1000; ++round) {
    const size_t i = round % std::size(documents);
    const std::string name = dir / ("D" + std::to_string(i));
    EXPECT_EQ(app.ConvertDocument(name + ".QRV", name + ".TXT"), i < 2 ? 1 : 0);
  }
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(build::TempFolderEntries(platform::CurrentPlatform().TempDirectory()), 0u);
  for (size_t i = 0; i < std::size(documents); ++i) {
    EXPECT_EQ(build::ReadFileBytes(dir / ("D" + std::to_string(i) + ".QRV")), documents[i]);
  }
  EXPECT_EQ(build::ReadFileBytes(dir / "D1.TXT"), "packedcd");
}

TEST(ConvertJobResources, PagesPointingPastTheEndGiveNoText) {
  build::ScratchDir dir;
  std::string bytes = build::BuildDocument({.pages = {TextPage({"kept"}), TextPage({"lost"})}});
  // Move page 2's content far beyond the end of the file.
  build::SetPageContentOffset(bytes, 2, 0xFFFFFF00u);
  ASSERT_TRUE(build::WriteFileBytes(dir / "FAR.QRV", bytes));
  ConverterApp app;
  EXPECT_EQ(app.ConvertDocument(dir / "FAR.QRV", dir / "FAR.TXT"), 1);
  EXPECT_EQ(build::ReadFileBytes(dir / "FAR.TXT"), "kept");
}

}  // namespace
}  // namespace exqrv
