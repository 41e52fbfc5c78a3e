#include <cctype>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "document/document.h"
#include "platform/little_endian.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::DocumentSpec;
using build::TextPage;

// Hand-made containers: header, directory, then chunk bytes at fixed offsets.
struct RawChunk {
  std::string tag;
  uint32_t compressed;
  uint32_t offset;
  uint32_t length;
};

std::string Container(const std::vector<RawChunk>& chunks, const std::string& body, size_t bodyAt) {
  std::vector<ChunkEntry> entries;
  for (const RawChunk& c : chunks) {
    entries.push_back(ChunkEntry::Make(c.tag, c.compressed, c.offset, c.length));
  }
  std::string bytes =
      build::ContainerHead(DocumentHeader::For(static_cast<uint16_t>(chunks.size()), 1), entries);
  bytes.resize(bodyAt, '\0');
  return bytes + body;
}

std::string NamesAt202(uint16_t m) {
  std::string names(4, '\0');
  WriteLe16(names.data() + kNameCountOffset, m);
  return names;
}

class DocumentOpen : public ::testing::Test {
 protected:
  OpenResult OpenBytes(Document& document, const std::string& bytes) {
    EXPECT_TRUE(build::WriteFileBytes(dir_ / "D.QRV", bytes));
    return document.Open(dir_ / "D.QRV");
  }
  size_t TempEntries() {
    return build::TempFolderEntries(platform::CurrentPlatform().TempDirectory());
  }
  build::ScratchDir dir_;
};

TEST_F(DocumentOpen, ReadsAPlainDocumentInPlace) {
  Document document;
  ASSERT_EQ(OpenBytes(document, build::BuildDocument({.pages = {TextPage({"a"}), TextPage({"b"})}})),
            OpenResult::Opened);
  EXPECT_FALSE(document.HasWorkingCopy());
  EXPECT_EQ(document.PageCount(), 2);
  EXPECT_EQ(TempEntries(), 0u);  // only the name was reserved
  EXPECT_NE(document.pageTable()[1].contentOffset, 0u);
  EXPECT_EQ(document.LoadPage(1), PageLoadResult::Loaded);
  EXPECT_EQ(document.LoadPage(2), PageLoadResult::Loaded);
  EXPECT_TRUE(document.storedPageTable().empty());
}

TEST_F(DocumentOpen, ExpandsACompressedDocumentIntoAWorkingCopy) {
  const std::string bytes =
      build::BuildDocument({.pages = {TextPage({"one"}), TextPage({"two"}), TextPage({"three"})},
                            .notes = {{1, "n", "m"}},
                            .compress = true});
  std::string copyName;
  {
    Document document;
    ASSERT_EQ(OpenBytes(document, bytes), OpenResult::Opened);
    ASSERT_TRUE(document.HasWorkingCopy());
    copyName = document.workingCopyName();
    // (Wine's temporary names may carry fewer than four hex digits.)
    EXPECT_EQ(copyName.substr(copyName.find_last_of('\\') + 1, 3), "tst");
    // The system's temporary name with its last character replaced (Wine
    // gives the extension in lower case).
    std::string extension = copyName.substr(copyName.size() - 4);
    for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(extension, ".TM$");
    EXPECT_TRUE(platform::CurrentPlatform().GetStatus(copyName));

    // Expanded chunks point into the copy; the others keep their values.
    for (const ChunkEntry& entry : document.directory()) {
      const bool expanded = entry.HasTag("pape") || entry.HasTag("font") || entry.HasTag("stru");
      if (expanded) {
        EXPECT_EQ(entry.compressed, 0u);
      } else {
        EXPECT_LE(entry.offset + entry.length, bytes.size());
      }
    }
    for (const PageEntry& live : document.pageTable()) {
      EXPECT_EQ(live.contentOffset, 0u);
      EXPECT_EQ(live.contentLength, 0u);
    }
    const int64_t sizeBefore = document.file().Size();
    ASSERT_EQ(document.LoadPage(3), PageLoadResult::Loaded);
    EXPECT_EQ(document.pageTable()[2].contentOffset, sizeBefore);
    EXPECT_EQ(document.pageTable()[2].contentLength, TextPage({"three"}).size());
    EXPECT_NE(document.storedPageTable()[2].contentOffset, document.pageTable()[2].contentOffset);
    const int64_t sizeAfter = document.file().Size();
    ASSERT_EQ(document.LoadPage(3), PageLoadResult::Loaded);
    EXPECT_EQ(document.file().Size(), sizeAfter);  // appended once
    EXPECT_EQ(document.LoadPage(0), PageLoadResult::FormatError);
    EXPECT_EQ(document.LoadPage(4), PageLoadResult::FormatError);
    EXPECT_EQ(document.file().Size(), sizeAfter);
  }
  EXPECT_FALSE(platform::CurrentPlatform().GetStatus(copyName));
  EXPECT_EQ(TempEntries(), 0u);
}

TEST_F(DocumentOpen, RewritesOnlyTheExpandedEntries) {
  const std::string bytes = build::BuildDocument(
      {.pages = {TextPage({"x"})}, .compress = true,
       .extraChunks = {{"othr", "other", false}}});
  Document document;
  ASSERT_EQ(OpenBytes(document, bytes), OpenResult::Opened);
  // The working copy's own directory matches what was read from it.
  const std::vector<ChunkEntry>& dir = document.directory();
  const ChunkEntry* other = nullptr;
  for (const ChunkEntry& e : dir) {
    if (e.HasTag("othr")) other = &e;
  }
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(build::ReadFileBytes(dir_ / "D.QRV").substr(other->offset, other->length), "other");
  EXPECT_EQ(document.FindChunk("othr"), other->offset);
}

TEST_F(DocumentOpen, TwinExpandedTagsRewriteTheFirstEntryEachTime) {
  // The second "stru" carries flag 0 yet holds a block: with a compressed
  // page table it is expanded all the same, and the first "stru" entry ends
  // up pointing at it, while the second keeps its document values.
  const std::string bytes = build::BuildDocument(
      {.pages = {TextPage({"x"})}, .compress = true,
       .extraChunks = {{"stru", build::CompressBlock("second"), false}}});
  Document document;
  ASSERT_EQ(OpenBytes(document, bytes), OpenResult::Opened);
  std::vector<ChunkEntry> twins;
  for (const ChunkEntry& e : document.directory()) {
    if (e.HasTag("stru")) twins.push_back(e);
  }
  ASSERT_EQ(twins.size(), 2u);
  EXPECT_EQ(twins[0].compressed, 0u);
  EXPECT_EQ(twins[0].length, 6u);
  EXPECT_EQ(twins[0].offset + twins[0].length, document.file().Size());
  char expanded[6];
  document.file().Seek(twins[0].offset, platform::SeekOrigin::Begin);
  ASSERT_EQ(document.file().Read(expanded, 6), 6u);
  EXPECT_EQ(std::string(expanded, 6), "second");
  EXPECT_EQ(bytes.substr(twins[1].offset, twins[1].length), build::CompressBlock("second"));
}

TEST_F(DocumentOpen, LookupsPutThePositionBack) {
  Document document;
  const std::string body = std::string(2, '\0') + NamesAt202(0) + std::string(4, '\0');
  ASSERT_EQ(OpenBytes(document, Container({{"name", 0, 202, 8}, {"pape", 0, 200, 2}}, body, 200)),
            OpenResult::Opened);
  platform::File& file = document.file();
  file.Seek(5, platform::SeekOrigin::Begin);
  EXPECT_EQ(document.FindChunk("pape"), 200u);
  EXPECT_EQ(document.FindChunk("none"), 0u);
  EXPECT_TRUE(document.ReadDirectory());
  EXPECT_TRUE(document.VerifyMagic());
  EXPECT_EQ(file.Position(), 5);
  // The flag test stops just after the entry it examined: the second.
  EXPECT_FALSE(document.IsPageTableCompressed());
  EXPECT_EQ(file.Position(), 8 + 2 * 16);
}

TEST_F(DocumentOpen, FindChunkTakesTheFirstOfTwinTags) {
  const std::string body = std::string(10, '\0');
  Document document;
  ASSERT_EQ(OpenBytes(document, Container({{"pape", 0, 200, 2},
                                           {"name", 0, 202, 8},
                                           {"twin", 0, 300, 1},
                                           {"twin", 0, 400, 1},
                                           {"na\0e", 0, 500, 1}},
                                          body, 200)),
            OpenResult::Opened);
  EXPECT_EQ(document.FindChunk("twin"), 300u);
  EXPECT_EQ(document.FindChunk("none"), 0u);
  EXPECT_EQ(document.FindChunk("na"), 500u);  // the stored tag ends at its NUL
  EXPECT_EQ(document.PageCount(), 0);
}

struct FailureCase {
  const char* what;
  std::string bytes;
  OpenResult expected;
};

class DocumentOpenFailures : public DocumentOpen, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DocumentOpenFailures, RefusesWithTheRightResult) {
  const FailureCase& c = GetParam();
  {
    Document document;
    EXPECT_EQ(OpenBytes(document, c.bytes), c.expected) << c.what;
  }
  EXPECT_EQ(TempEntries(), 0u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentOpenFailures,
    ::testing::Values(
        FailureCase{"short file", "Ql", OpenResult::FormatError},
        FailureCase{"wrong magic", "QLRD" + std::string(20, '\0'), OpenResult::FormatError},
        FailureCase{"no chunks", std::string("Qlrd\0\0\0\0", 8), OpenResult::FileError},
        FailureCase{"directory cut short", std::string("Qlrd\0\0\x03\0", 8) + "pape",
                    OpenResult::FileError},
        FailureCase{"no page table", Container({{"name", 0, 200, 8}}, std::string(8, '\0'), 200),
                    OpenResult::FileError},
        FailureCase{"no name table", Container({{"pape", 0, 200, 2}}, std::string(2, '\0'), 200),
                    OpenResult::FileError},
        FailureCase{"page table shorter than its count",
                    Container({{"pape", 0, 200, 2}, {"name", 0, 100, 8}},
                              std::string("\xFF\xFF", 2) + std::string(26 * 3, '\0'), 200),
                    OpenResult::FileError},
        FailureCase{"name table shorter than its count",
                    Container({{"pape", 0, 200, 2}, {"name", 0, 202, 8}},
                              std::string(2, '\0') + NamesAt202(3) + std::string(20, '\0'), 200),
                    OpenResult::FileError},
        FailureCase{"name header cut short",
                    Container({{"pape", 0, 200, 2}, {"name", 0, 202, 8}},
                              std::string(2, '\0') + NamesAt202(0).substr(0, 3), 200),
                    OpenResult::FileError},
        FailureCase{"compressed font that is no block",
                    Container({{"pape", 1, 300, 40}, {"font", 1, 200, 5}}, "plain", 200),
                    OpenResult::FormatError}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST_F(DocumentOpen, NameTableWithNoRecordsIsComplete) {
  Document document;
  ASSERT_EQ(OpenBytes(document, Container({{"pape", 0, 200, 2}, {"name", 0, 202, 8}},
                                          std::string(2, '\0') + NamesAt202(0) + std::string(4, '\0'),
                                          200)),
            OpenResult::Opened);
  EXPECT_TRUE(document.nameRecords().empty());
}

// Pages share one expansion object: a page that fails, whether at its
// header or partway through its stream, leaves nothing that spoils the next.
TEST_F(DocumentOpen, APageBlockThatFailsStaysUnexpanded) {
  const std::string after = TextPage({"after the failed page"});
  const std::string intact =
      build::BuildDocument({.pages = {TextPage({"x"}), after}, .compress = true});
  Document probe;
  ASSERT_EQ(OpenBytes(probe, intact), OpenResult::Opened);
  const uint32_t at = probe.storedPageTable()[0].contentOffset;
  probe.Close();
  constexpr uint32_t kCompressedLengthAt = 16;
  std::string badMagic = intact;
  badMagic[at] = 'X';
  std::string cutShort = intact;
  cutShort[at + kCompressedLengthAt] = 6;  // the stream ends after a few items
  for (uint32_t i = kCompressedLengthAt + 1; i < kCompressedLengthAt + 4; ++i) cutShort[at + i] = 0;

  for (const std::string& bytes : {badMagic, cutShort}) {
    Document document;
    ASSERT_EQ(OpenBytes(document, bytes), OpenResult::Opened);
    EXPECT_EQ(document.LoadPage(1), PageLoadResult::FormatError);
    EXPECT_EQ(document.pageTable()[0].contentLength, 0u);
    EXPECT_EQ(document.LoadPage(1), PageLoadResult::FormatError);  // tried again
    ASSERT_EQ(document.LoadPage(2), PageLoadResult::Loaded);
    const PageEntry& loaded = document.pageTable()[1];
    ASSERT_EQ(loaded.contentLength, after.size());
    std::string content(after.size(), '\0');
    document.file().Seek(loaded.contentOffset, platform::SeekOrigin::Begin);
    ASSERT_EQ(document.file().Read(content.data(), static_cast<uint32_t>(content.size())),
              after.size());
    EXPECT_EQ(content, after);
  }
}

}  // namespace
}  // namespace exqrv
