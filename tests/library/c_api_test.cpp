// The C API as a program in the same process uses it: separate handles on
// separate threads, every failure a result with its reason and nothing left
// behind, misuse refused.
#include <exqrv.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "builder/document_builder.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::ScratchDir;

build::DocumentRecipe NotedDocument() {
  build::DocumentRecipe recipe;
  for (int page = 1; page <= 4; ++page) {
    recipe.pages.push_back(
        build::TextPage({"Page " + std::to_string(page) + " of four.\r\n", "Its end.\r\n"}));
  }
  recipe.notes = {{2, "[note] ", "on page two"}, {4, "[a]", "[b]"}};
  recipe.compress = true;
  recipe.compressNotes = true;
  return recipe;
}

// The whole text through one handle, or the result's name and message.
std::string TextOf(const std::string& path, const std::string& temporaryFolder, bool fromMemory) {
  exqrv_document* document = exqrv_new();
  exqrv_set_temp_folder(document, temporaryFolder.c_str());
  exqrv_result result;
  if (fromMemory) {
    const std::string bytes = build::ReadFileBytes(path);
    result = exqrv_open_memory(document, bytes.data(), bytes.size());
  } else {
    result = exqrv_open_file(document, path.c_str());
  }
  const char* text = nullptr;
  size_t size = 0;
  if (result == EXQRV_OK) result = exqrv_text(document, &text, &size);
  std::string said = result == EXQRV_OK
                         ? std::string(text, size)
                         : "result " + std::to_string(result) + ": " + exqrv_message(document);
  exqrv_close(document);
  return said;
}

TEST(LibraryCApi, FourThreadsOnTheirOwnHandlesGiveTheSameText) {
  ScratchDir scratch;
  const std::string path = scratch / "NOTED.QRV";
  ASSERT_TRUE(build::WriteFileBytes(path, build::BuildDocument(NotedDocument())));
  const std::string expected = TextOf(path, scratch.path(), false);
  ASSERT_EQ(expected,
            "Page 1 of four.\r\nIts end.\r\nPage 2 of four.\r\nIts end.\r\n[note] on page two"
            "Page 3 of four.\r\nIts end.\r\nPage 4 of four.\r\nIts end.\r\n[a][b]");
  std::vector<std::string> texts(4 * 10);
  std::vector<std::thread> threads;
  for (size_t thread = 0; thread < 4; ++thread) {
    threads.emplace_back([&, thread] {
      for (size_t i = thread; i < texts.size(); i += 4)
        texts[i] = TextOf(path, scratch.path(), i % 2 == 1);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& text : texts) EXPECT_EQ(text, expected);
  // Each handle took its temporary folder away with it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
}

TEST(LibraryCApi, FailuresAreResultsWithTheirReasonAndLeaveNothing) {
  ScratchDir scratch;
  std::string damaged = build::BuildDocument(NotedDocument());
  const build::DocumentRecipe recipe = NotedDocument();
  damaged[build::PageContentOffset(recipe, 3) + 20] ^= 0x55;
  ASSERT_TRUE(build::WriteFileBytes(scratch / "DAMAGED.QRV", damaged));
  ASSERT_TRUE(build::WriteFileBytes(scratch / "NOTES.TXT", std::string(200, 'x')));
  ASSERT_TRUE(build::WriteFileBytes(scratch / "SHORT.QRV", damaged.substr(0, 40)));
  ASSERT_TRUE(build::WriteFileBytes(scratch / "NOTED.QRV", build::BuildDocument(recipe)));
  const std::string work = scratch / "work";
  std::filesystem::create_directory(work);
  struct Case {
    std::string document;
    std::string temporaryFolder;
    std::string said;
  } cases[] = {
      {"NOTES.TXT", work, "result 3: not a Quillor document"},
      {"SHORT.QRV", work, "result 4: cannot be read"},
      {"DAMAGED.QRV", work, "result 4: page 3 does not"},
      {"MISSING.QRV", work, "result 2: No such file or directory"},
      {"NOTED.QRV", scratch / "no folder",
       "result 5: the temporary folder " + scratch.path() + "/no folder"},
  };
  for (const Case& c : cases) {
    for (const bool fromMemory : {false, true}) {
      if (fromMemory && c.document == "MISSING.QRV") continue;
      SCOPED_TRACE(c.document + (fromMemory ? " from memory" : ""));
      EXPECT_EQ(TextOf(scratch / c.document, c.temporaryFolder, fromMemory).rfind(c.said, 0), 0u)
          << TextOf(scratch / c.document, c.temporaryFolder, fromMemory);
      EXPECT_TRUE(std::filesystem::is_empty(work));
    }
  }
}

TEST(LibraryCApi, AWriterIsHandedTheWholeTextAndMayStop) {
  ScratchDir scratch;
  const std::string path = scratch / "NOTED.QRV";
  ASSERT_TRUE(build::WriteFileBytes(path, build::BuildDocument(NotedDocument())));
  exqrv_document* document = exqrv_new();
  ASSERT_EQ(exqrv_open_file(document, path.c_str()), EXQRV_OK);
  std::string written;
  const auto collect = [](void* context, const char* bytes, size_t size) {
    static_cast<std::string*>(context)->append(bytes, size);
    return 0;
  };
  ASSERT_EQ(exqrv_write_text(document, collect, &written), EXQRV_OK);
  const char* text = nullptr;
  size_t size = 0;
  ASSERT_EQ(exqrv_text(document, &text, &size), EXQRV_OK);
  EXPECT_EQ(written, std::string(text, size));
  const auto stop = [](void*, const char*, size_t) { return 1; };
  EXPECT_EQ(exqrv_write_text(document, stop, nullptr), EXQRV_ERROR_STOPPED);
  EXPECT_STREQ(exqrv_message(document), "the writer asked to stop");
  exqrv_close(document);
}

TEST(LibraryCApi, MisuseIsRefusedWithAReason) {
  ScratchDir scratch;
  const std::string path = scratch / "NOTED.QRV";
  ASSERT_TRUE(build::WriteFileBytes(path, build::BuildDocument(NotedDocument())));
  const char* text = nullptr;
  size_t size = 0;
  EXPECT_EQ(exqrv_text(nullptr, &text, &size), EXQRV_ERROR_ARGUMENT);
  EXPECT_EQ(exqrv_page_count(nullptr), 0u);
  exqrv_close(nullptr);

  exqrv_document* document = exqrv_new();
  EXPECT_EQ(exqrv_text(document, &text, &size), EXQRV_ERROR_ARGUMENT);
  EXPECT_STREQ(exqrv_message(document), "no document is open");
  ASSERT_EQ(exqrv_open_file(document, path.c_str()), EXQRV_OK);
  EXPECT_STREQ(exqrv_message(document), "");
  EXPECT_EQ(exqrv_page_count(document), 4u);
  EXPECT_EQ(exqrv_open_file(document, path.c_str()), EXQRV_ERROR_ARGUMENT);
  EXPECT_EQ(exqrv_set_temp_folder(document, "/tmp"), EXQRV_ERROR_ARGUMENT);
  EXPECT_EQ(exqrv_page_text(document, 5, &text, &size), EXQRV_ERROR_ARGUMENT);
  EXPECT_STREQ(exqrv_message(document), "page 5 is not in the document's 4 pages");
  EXPECT_EQ(exqrv_set_text_options(document, "CP99999", 0), EXQRV_ERROR_ARGUMENT);
  EXPECT_EQ(exqrv_set_text_options(document, nullptr, 4), EXQRV_ERROR_ARGUMENT);
  const char *first, *second;
  size_t firstSize, secondSize;
  EXPECT_EQ(exqrv_note(document, 2, 1, &first, &firstSize, &second, &secondSize),
            EXQRV_ERROR_ARGUMENT);
  ASSERT_EQ(exqrv_note(document, 2, 0, &first, &firstSize, &second, &secondSize), EXQRV_OK);
  EXPECT_EQ(std::string(first, firstSize) + "|" + std::string(second, secondSize),
            "[note] |on page two");
  // Options apply to the page and its notes alike.
  ASSERT_EQ(exqrv_set_text_options(document, "CP1252", EXQRV_TEXT_LF | EXQRV_TEXT_PAGE_BREAK),
            EXQRV_OK);
  ASSERT_EQ(exqrv_page_text(document, 1, &text, &size), EXQRV_OK);
  EXPECT_EQ(std::string(text, size), "Page 1 of four.\nIts end.\n\f");
  exqrv_close(document);
}

}  // namespace
}  // namespace exqrv
