#include <cctype>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "builder/document_builder.h"
#include "document/document.h"
#include "platform/file.h"
#include "platform/little_endian.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"

namespace exqrv {
namespace {

using build::DocumentRecipe;
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
  ASSERT_EQ(
      OpenBytes(document, build::BuildDocument({.pages = {TextPage({"a"}), TextPage({"b"})}})),
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
    EXPECT_TRUE(platform::CurrentPlatform().StatusOf(copyName));

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
  EXPECT_FALSE(platform::CurrentPlatform().StatusOf(copyName));
  EXPECT_EQ(TempEntries(), 0u);
}

// In a batch one working copy goes from document to document, emptied in
// between; one a write failed on is not passed on, and the batch's end
// removes the last. Windows' temporary folder is shared among the user's
// programs: there each document has a working copy of its own.
TEST_F(DocumentOpen, ABatchPassesOneWorkingCopyFromDocumentToDocument) {
#ifdef _WIN32
  constexpr bool kPassedOn = false;
#else
  constexpr bool kPassedOn = true;
#endif
  const std::string first = build::BuildDocument(
      {.pages = {TextPage({"a first page, longer than the second document's"})}, .compress = true});
  const std::string second =
      build::BuildDocument({.pages = {TextPage({"one"}), TextPage({"two"})}, .compress = true});
  int64_t freshSize = 0;
  {
    Document alone;
    ASSERT_EQ(OpenBytes(alone, second), OpenResult::Opened);
    freshSize = alone.file().Size();
  }
  {
    const WorkingCopyReuse reuse;
    std::string copyName;
    {
      Document document;
      ASSERT_EQ(OpenBytes(document, first), OpenResult::Opened);
      ASSERT_EQ(document.LoadPage(1), PageLoadResult::Loaded);
      copyName = document.workingCopyName();
    }
    EXPECT_EQ(TempEntries(), kPassedOn ? 1u : 0u);
    {
      Document document;
      ASSERT_EQ(OpenBytes(document, second), OpenResult::Opened);
      EXPECT_EQ(document.workingCopyName() == copyName, kPassedOn);
      EXPECT_EQ(document.file().Size(), freshSize);
      ASSERT_EQ(document.LoadPage(2), PageLoadResult::Loaded);
      const PageEntry& page = document.pageTable()[1];
      std::string bytes(page.contentLength, '\0');
      document.file().Seek(page.contentOffset, platform::SeekOrigin::Begin);
      document.file().Read(bytes.data(), page.contentLength);
      EXPECT_EQ(bytes, TextPage({"two"}));
      const platform::WriteFaultScope full(0);
      EXPECT_EQ(document.LoadPage(1), PageLoadResult::FormatError);
    }
    EXPECT_EQ(TempEntries(), 0u);
    Document last;
    ASSERT_EQ(OpenBytes(last, second), OpenResult::Opened);
    last.Close();
    EXPECT_EQ(TempEntries(), 1u);
  }
  EXPECT_EQ(TempEntries(), 0u);
}

TEST_F(DocumentOpen, RewritesOnlyTheExpandedEntries) {
  const std::string bytes = build::BuildDocument(
      {.pages = {TextPage({"x"})}, .compress = true, .extraChunks = {{"othr", "other", false}}});
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
  const std::string bytes =
      build::BuildDocument({.pages = {TextPage({"x"})},
                            .compress = true,
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

class DocumentOpenFailures : public DocumentOpen,
                             public ::testing::WithParamInterface<FailureCase> {};

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
  ASSERT_EQ(OpenBytes(document,
                      Container({{"pape", 0, 200, 2}, {"name", 0, 202, 8}},
                                std::string(2, '\0') + NamesAt202(0) + std::string(4, '\0'), 200)),
            OpenResult::Opened);
  EXPECT_TRUE(document.nameRecords().empty());
}

// The document is opened once: its pages still expand after its name has
// gone, from the handle the open checked.
TEST_F(DocumentOpen, PagesExpandFromTheHandleTheOpenChecked) {
  const std::vector<std::string> pages = {TextPage({"first"}), TextPage({"second page"})};
  Document document;
  ASSERT_EQ(OpenBytes(document, build::BuildDocument({.pages = pages, .compress = true})),
            OpenResult::Opened);
#ifndef _WIN32  // on Windows an open file cannot be removed
  ASSERT_TRUE(std::filesystem::remove(dir_ / "D.QRV"));
#endif
  for (uint16_t page = 2; page >= 1; --page) {
    ASSERT_EQ(document.LoadPage(page), PageLoadResult::Loaded);
    const PageEntry& loaded = document.pageTable()[page - 1];
    std::string content(loaded.contentLength, '\0');
    document.file().Seek(loaded.contentOffset, platform::SeekOrigin::Begin);
    ASSERT_EQ(document.file().Read(content.data(), loaded.contentLength), loaded.contentLength);
    EXPECT_EQ(content, pages[page - 1]);
  }
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

// The hostile shape: the first "stru" entry stands after tens of thousands of
// "font" entries, and every entry expands the same block. Each expansion
// rewrites the first entry of its tag, so the first "font" and the first
// "stru" end up at the last expansion of their tag and every other entry
// keeps its document values.
TEST_F(DocumentOpen, TensOfThousandsOfExpandedEntriesEachRewriteTheFirstOfTheirTag) {
  constexpr uint32_t kFonts = 32766;
  constexpr uint32_t kStructures = 32767;
  constexpr uint32_t kEntries = 2 + kFonts + kStructures;  // pape and name first
  const uint32_t bodyAt = kDocumentHeaderSize + kEntries * kDirectoryEntrySize;
  const std::string shared = build::CompressBlock("shared");
  const std::string page = build::CompressBlock(TextPage({"text"}));
  std::string table(kPageCountSize + kPageEntrySize, '\0');
  WriteLe16(table.data(), 1);
  PageEntry entry;
  entry.contentOffset = bodyAt + static_cast<uint32_t>(shared.size());
  entry.contentLength = static_cast<uint32_t>(page.size());
  entry.Serialize(reinterpret_cast<uint8_t*>(table.data() + kPageCountSize));
  const std::string pape = build::CompressBlock(table);
  const std::string names(kNameTableHeaderSize, '\0');
  const std::string body = shared + page + pape + names;
  const auto papeAt = static_cast<uint32_t>(bodyAt + shared.size() + page.size());
  const auto sharedLength = static_cast<uint32_t>(shared.size());
  std::vector<RawChunk> chunks = {{"pape", 1, papeAt, static_cast<uint32_t>(pape.size())},
                                  {"name", 0, papeAt + static_cast<uint32_t>(pape.size()), 8}};
  chunks.insert(chunks.end(), kFonts, RawChunk{"font", 1, bodyAt, sharedLength});
  chunks.insert(chunks.end(), kStructures, RawChunk{"stru", 1, bodyAt, sharedLength});

  Document document;
  ASSERT_EQ(OpenBytes(document, Container(chunks, body, bodyAt)), OpenResult::Opened);
  const std::vector<ChunkEntry>& directory = document.directory();
  ASSERT_EQ(directory.size(), kEntries);
  const uint32_t expandedAt = bodyAt + static_cast<uint32_t>(table.size());
  constexpr uint32_t kLength = 6;  // "shared"
  EXPECT_EQ(directory[0].offset, bodyAt);
  EXPECT_EQ(directory[0].length, table.size());
  const struct {
    size_t index;
    uint32_t offset;
  } firsts[] = {{2, expandedAt + (kFonts - 1) * kLength},
                {2 + kFonts, expandedAt + (kFonts + kStructures - 1) * kLength}};
  for (const auto& first : firsts) {
    EXPECT_EQ(directory[first.index].compressed, 0u) << first.index;
    EXPECT_EQ(directory[first.index].offset, first.offset) << first.index;
    EXPECT_EQ(directory[first.index].length, kLength) << first.index;
  }
  for (size_t i = 3; i < directory.size(); ++i) {
    if (i == 2 + kFonts) continue;
    ASSERT_EQ(directory[i].compressed, 1u) << i;
    ASSERT_EQ(directory[i].offset, bodyAt) << i;
  }
  EXPECT_EQ(document.file().Size(), expandedAt + (kFonts + kStructures) * kLength);
  ASSERT_EQ(document.LoadPage(1), PageLoadResult::Loaded);
  EXPECT_EQ(document.pageTable()[0].contentLength, TextPage({"text"}).size());
}

// Pages that all point at one block expand the same bytes again and again.
// The limit stops the working copy at it, the document says so, and the
// pages it cut off are not damaged: the whole document fails instead.
TEST_F(DocumentOpen, PagesOnOneBlockStopAtTheExpansionLimit) {
  const std::string page = TextPage({std::string(10000, 'a')});
  const std::string bytes =
      build::BuildDocument({.pages = {page}, .compress = true, .pagesOnFirstContent = 99});
  constexpr uint64_t kLimit = 100000;
  const struct {
    std::optional<uint64_t> limit;
    bool exceeded;
  } cases[] = {{kLimit, true}, {std::nullopt, false}};  // the default is far above 1 MB
  for (const auto& c : cases) {
    Document document;
    if (c.limit) document.LimitExpansion(*c.limit);
    ASSERT_EQ(OpenBytes(document, bytes), OpenResult::Opened);
    ASSERT_EQ(document.PageCount(), 100);
    uint32_t loaded = 0;
    while (loaded < document.PageCount() &&
           document.LoadPage(static_cast<uint16_t>(loaded + 1)) == PageLoadResult::Loaded) {
      ++loaded;
    }
    EXPECT_EQ(document.ExpansionExceeded(), c.exceeded);
    EXPECT_EQ(loaded == document.PageCount(), !c.exceeded) << loaded;
    EXPECT_LE(static_cast<uint64_t>(document.file().Size()), c.limit.value_or(UINT64_MAX));
    EXPECT_TRUE(document.DamagedPages().empty());
  }
}

// Spoiled bytes of page 2's block. A changed byte inside a stream most often
// still decodes to the end marker, into other text: only the CRC-32 shows
// it, and the page keeps the bytes it expanded to.
TEST_F(DocumentOpen, DamagedPageBlocksAreRecordedWithWhatWentWrong) {
  const DocumentRecipe recipe{
      .pages = {TextPage({"one"}), TextPage({std::string(300, 't') + "wo"}), TextPage({"three"})},
      .compress = true};
  const std::string intact = build::BuildDocument(recipe);
  const uint32_t at = build::PageContentOffset(recipe, 2);
  constexpr uint32_t kCompressedLengthAt = 16;
  constexpr uint32_t kCrcAt = 20;
  constexpr uint32_t kStreamAt = 24;
  const struct {
    const char* name;
    uint32_t byte;
    uint8_t exclusiveOr;
    PageLoadResult loaded;
    PageDamage damage;
    codec::BlockResult result;
  } cases[] = {
      {"magic", 0, 0x01, PageLoadResult::FormatError, PageDamage::DoesNotExpand,
       codec::BlockResult::BadMagic},
      {"stream cut short", kCompressedLengthAt + 1, 0x01, PageLoadResult::FormatError,
       PageDamage::DoesNotExpand, codec::BlockResult::DataError},
      {"byte inside the stream", kStreamAt + 8, 0x10, PageLoadResult::Loaded,
       PageDamage::CrcMismatch, codec::BlockResult::Ok},
      {"CRC field", kCrcAt, 0x01, PageLoadResult::Loaded, PageDamage::CrcMismatch,
       codec::BlockResult::Ok},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = intact;
    bytes[at + c.byte] = static_cast<char>(bytes[at + c.byte] ^ c.exclusiveOr);
    if (c.byte == kCompressedLengthAt + 1) {  // a length of a few bytes, not a larger one
      bytes[at + kCompressedLengthAt] = 6;
      bytes[at + kCompressedLengthAt + 1] = 0;
    }
    Document document;
    ASSERT_EQ(OpenBytes(document, bytes), OpenResult::Opened);
    EXPECT_EQ(document.LoadPage(1), PageLoadResult::Loaded);
    EXPECT_EQ(document.LoadPage(2), c.loaded);
    EXPECT_EQ(document.LoadPage(2), c.loaded);  // tried again, recorded once
    EXPECT_EQ(document.LoadPage(3), PageLoadResult::Loaded);
    const std::vector<DamagedPage> damaged = document.DamagedPages();
    ASSERT_EQ(damaged.size(), 1u);
    EXPECT_EQ(damaged[0].page, 2);
    EXPECT_EQ(damaged[0].damage, c.damage);
    EXPECT_EQ(damaged[0].result, c.result);
    EXPECT_FALSE(document.ExpansionExceeded());
  }
}

}  // namespace
}  // namespace exqrv
