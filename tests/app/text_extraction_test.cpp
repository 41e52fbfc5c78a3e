// The text job on its own, as a library user drives it: text and notes into
// memory, a page at a time if need be.
#include <string>

#include <gtest/gtest.h>

#include "app/converter_app.h"
#include "app/text_extraction.h"
#include "builder/document_builder.h"
#include "platform/byte_stream.h"
#include "platform/prompter.h"
#include "support/failing_sink.h"
#include "support/scripted_prompter.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace exqrv {
namespace {

using build::DocumentRecipe;
using build::TextPage;

DocumentRecipe ThreePagesWithNotes(bool compress) {
  return {
      .pages = {TextPage({"one "}), TextPage({"two ", "2b "}), TextPage({"three"})},
      .notes = {{2, "n1", "a"}, {0, "zero", ""}, {3, "n3", "c"}, {2, "n2", "b"}, {9, "far", ""}},
      .compress = compress,
      .compressNotes = compress};
}

class TextExtractionTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        build::WriteFileBytes(path_, build::BuildDocument(ThreePagesWithNotes(GetParam()))));
    ASSERT_TRUE(job_.Open(path_));
  }

  build::ScratchDir dir_;
  std::string path_ = dir_ / "IN.QRV";
  platform::ScriptedPrompter prompter_;
  platform::PrompterScope scripted_{&prompter_};
  TextExtraction job_;
};

TEST_P(TextExtractionTest, TextInMemoryIsTheTextFile) {
  platform::MemorySink text;
  ASSERT_TRUE(job_.WriteText(text));
  ConverterApp app;
  ASSERT_EQ(app.ConvertDocument(path_, dir_ / "IN.TXT"), 1);
  EXPECT_EQ(text.bytes(), build::ReadFileBytes(dir_ / "IN.TXT"));
  EXPECT_EQ(text.bytes(), "one two 2b n1an2bthreen3c");
}

TEST_P(TextExtractionTest, APagesNotesComeApartFromItsText) {
  const struct {
    uint16_t page;
    const char* text;
    const char* notes;
  } kCases[] = {{1, "one ", ""}, {2, "two 2b ", "n1an2b"}, {3, "three", "n3c"}};
  for (const auto& c : kCases) {
    platform::MemorySink text;
    platform::MemorySink notes;
    EXPECT_TRUE(job_.WriteText(text, {c.page, c.page}, false));
    EXPECT_TRUE(job_.WritePageNotes(notes, c.page));
    EXPECT_EQ(text.bytes(), c.text) << c.page;
    EXPECT_EQ(notes.bytes(), c.notes) << c.page;
  }
  for (const uint16_t page : {0, 9}) {
    platform::MemorySink none;
    EXPECT_TRUE(job_.WritePageNotes(none, page));
    EXPECT_EQ(none.bytes(), "") << page;
  }
}

// The text stops at the page whose bytes the sink refused.
TEST_P(TextExtractionTest, ASinkThatFailsStopsTheText) {
  build::FailingSink full(6);
  uint32_t pagesDone = 0;
  EXPECT_FALSE(job_.WriteText(full, {}, true, [&](uint32_t) { return ++pagesDone, true; }));
  EXPECT_EQ(pagesDone, 1u);
  EXPECT_EQ(full.taken(), "one ");
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, TextExtractionTest, ::testing::Bool());

}  // namespace
}  // namespace exqrv
