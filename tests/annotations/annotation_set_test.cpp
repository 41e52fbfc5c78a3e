#include <gtest/gtest.h>

#include <ostream>

#include "store_fixture.h"
#include "builder/annotation_store_builder.h"
#include "builder/document_builder.h"

namespace exqrv::testing {
namespace {

using build::NoteRecipe;
using build::RecordBytes;
using build::StoreBuilder;

using Texts = std::vector<std::string>;

Texts NoteTexts(const AnnotationSet& set) {
  Texts texts;
  for (size_t i = 0; i < set.Notes().size(); ++i) texts.push_back(set.Notes()[i].text1);
  return texts;
}

std::string NoteRecords(const Texts& texts) {
  std::string records;
  for (const std::string& text : texts) records += build::NoteRecordBytes({1, text, ""});
  return records;
}

std::string PlainStore() { return build::BuildAnnotationStore({{1, "one", ""}, {2, "two", ""}}); }

// --- The chunk directory: where the store is, and how it is brought over.

constexpr AnnotationLoadResult kLoaded = AnnotationLoadResult::Loaded;
constexpr AnnotationLoadResult kNotExpanded = AnnotationLoadResult::StoreNotExpanded;

struct DocumentCase {
  const char* name;
  std::string (*document)();
  AnnotationLoadResult result;
  Texts notes;
  bool workFileExists;
};

void PrintTo(const DocumentCase& c, std::ostream* os) { *os << c.name; }

class DocumentTest : public AnnotationStoreTest,
                     public ::testing::WithParamInterface<DocumentCase> {};

TEST_P(DocumentTest, LoadsTheFirstStoreEntryOnly) {
  const DocumentCase& c = GetParam();
  EXPECT_EQ(LoadDocument(c.document()), c.result);
  EXPECT_EQ(NoteTexts(set_), c.notes);
  EXPECT_EQ(FileExists(set_.WorkFileName()), c.workFileExists);
}

const Texts kStoreNotes = {"one", "two"};
constexpr uint32_t kTwoEntryDataOffset = 8 + 2 * 16;

INSTANTIATE_TEST_SUITE_P(
    AnnotationSet, DocumentTest,
    ::testing::Values(
        DocumentCase{
            "NoStore", [] { return Container({Chunk("pape", "pages")}); }, kLoaded, {}, false},
        DocumentCase{"PlainStoreAmongOtherChunks",
                     [] {
                       return Container({Chunk("pape", "pages"), Chunk("indx", PlainStore())});
                     },
                     kLoaded, kStoreNotes, true},
        DocumentCase{"FirstStoreEntryHasLengthZero",
                     [] {
                       return Container({RawEntry("indx", 8, 0), Chunk("indx", PlainStore())});
                     },
                     kLoaded,
                     {},
                     false},
        DocumentCase{"FirstStoreEntryHasOffsetZero",
                     [] {
                       return Container({RawEntry("indx", 0, 99), Chunk("indx", PlainStore())});
                     },
                     kLoaded,
                     {},
                     false},
        // The length only ends the copy; the first piece takes in the whole store.
        DocumentCase{"StoreLongerThanItsLength",
                     [] {
                       return Container(
                           {RawEntry("indx", kTwoEntryDataOffset, 1), Chunk("blob", PlainStore())});
                     },
                     kLoaded, kStoreNotes, true},
        DocumentCase{"StoreLongerThanOneCopyPiece",
                     [] {
                       StoreBuilder store;
                       store.Section(0, std::string(50000, 'x'));
                       store.Kind("NOTE", store.Section(2, NoteRecords(kStoreNotes)));
                       return Container({Chunk("indx", store.Build())});
                     },
                     kLoaded, kStoreNotes, true},
        DocumentCase{"ChunkCountBeyondTheFile",
                     [] { return Container({Chunk("indx", PlainStore())}, 65535); }, kLoaded,
                     kStoreNotes, true},
        DocumentCase{
            "CompressedStore",
            [] { return Container({Chunk("indx", build::CompressBlock(PlainStore()), 1)}); },
            kLoaded, kStoreNotes, true},
        DocumentCase{"CompressedStoreWithoutBlockMagic",
                     [] {
                       std::string block = build::CompressBlock(PlainStore());
                       block[7] = 'X';
                       return Container({Chunk("indx", block, 1)});
                     },
                     kNotExpanded,
                     {},
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The kind directory.

struct KindCase {
  const char* name;
  std::string (*store)();
  Texts notes;
  size_t indxes;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class KindDirectoryTest : public AnnotationStoreTest,
                          public ::testing::WithParamInterface<KindCase> {};

TEST_P(KindDirectoryTest, FillsEachKindFromItsLastSection) {
  const KindCase& c = GetParam();
  ASSERT_EQ(LoadStore(c.store()), kLoaded);
  EXPECT_EQ(NoteTexts(set_), c.notes);
  EXPECT_EQ(set_.Indxes().size(), c.indxes);
}

std::string IndxeRecordBytes() {
  return RecordBytes().Text("i").U16(0).U16(0).U16(0).U16(0).U16(0).Reserved().bytes();
}

INSTANTIATE_TEST_SUITE_P(
    AnnotationSet, KindDirectoryTest,
    ::testing::Values(
        KindCase{"KindCountZero",
                 [] {
                   StoreBuilder store;
                   store.Kind("NOTE", store.Section(1, NoteRecords({"a"}))).KindCount(0);
                   return store.Build();
                 },
                 {},
                 0},
        KindCase{"SameKindTwiceLaterSectionWins",
                 [] {
                   StoreBuilder store;
                   const size_t first = store.Section(2, NoteRecords({"a1", "a2"}));
                   const size_t indxe = store.Section(1, IndxeRecordBytes());
                   const size_t second = store.Section(1, NoteRecords({"b"}));
                   store.Kind("NOTE", first).Kind("INDXE", indxe).Kind("NOTE", second);
                   return store.Build();
                 },
                 {"b"},
                 1},
        KindCase{"LaterEmptySectionEmptiesTheList",
                 [] {
                   StoreBuilder store;
                   const size_t first = store.Section(1, NoteRecords({"a"}));
                   store.Kind("NOTE", first).Kind("NOTE", store.Section(0, ""));
                   return store.Build();
                 },
                 {},
                 0},
        KindCase{"UnknownTagsAreSkipped",
                 [] {
                   StoreBuilder store;
                   const size_t notes = store.Section(1, NoteRecords({"a"}));
                   store.Kind("XYZW", notes)
                       .Kind("note", notes)
                       .Kind(std::string("NOTE\0\0", 6), notes)
                       .Kind("INDXE", store.Section(1, IndxeRecordBytes()));
                   return store.Build();
                 },
                 {},
                 1},
        KindCase{"EntriesBeyondKindCountAreNotRead",
                 [] {
                   StoreBuilder store;
                   const size_t first = store.Section(1, NoteRecords({"a"}));
                   store.Kind("NOTE", first).Kind("NOTE", store.Section(1, NoteRecords({"b"})));
                   return store.KindCount(1).Build();
                 },
                 {"a"},
                 0},
        KindCase{
            "SectionBeyondTheStore",
            [] {
              StoreBuilder store;
              store.Kind("NOTE", store.Section(1, NoteRecords({"a"}))).KindAt("NOTE", 0xFFFFFFFF);
              return store.Build();
            },
            {},
            0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Damaged stores: counts that promise more than the store holds.

struct DamageCase {
  const char* name;
  std::string (*store)();
  size_t notes;
  std::string lastText1;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DamagedStoreTest : public AnnotationStoreTest,
                         public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedStoreTest, ReadsOnlyWhatTheStoreHolds) {
  const DamageCase& c = GetParam();
  ASSERT_EQ(LoadStore(c.store()), kLoaded);
  ASSERT_EQ(set_.Notes().size(), c.notes);
  if (c.notes > 0) {
    const NoteRecord& last = set_.Notes()[c.notes - 1];
    EXPECT_EQ(last.text1, c.lastText1);
    EXPECT_EQ(last.index, c.notes - 1);
  }
}

constexpr uint16_t kMaxCount = 65535;

INSTANTIATE_TEST_SUITE_P(
    AnnotationSet, DamagedStoreTest,
    ::testing::Values(
        DamageCase{"RecordCountBeyondTheEnd",
                   [] {
                     StoreBuilder store;
                     store.Kind("NOTE", store.Section(kMaxCount, NoteRecords({"a", "b"})));
                     return store.Build();
                   },
                   2, "b"},
        // A record that starts inside the store is kept, its missing fields zero.
        DamageCase{"StoreEndsInsideARecord",
                   [] {
                     StoreBuilder store;
                     const std::string records =
                         NoteRecords({"a"}) + RecordBytes().Text("cut").bytes();
                     store.Kind("NOTE", store.Section(kMaxCount, records));
                     return store.Build();
                   },
                   2, "cut"},
        DamageCase{"TextCountBeyondTheEnd",
                   [] {
                     StoreBuilder store;
                     const std::string record =
                         RecordBytes().TextWithCount(kMaxCount, "abc").bytes();
                     store.Kind("NOTE", store.Section(1, record));
                     return store.Build();
                   },
                   1, "abc"},
        DamageCase{"KindCountBeyondTheDirectory",
                   [] {
                     StoreBuilder store;
                     store.Kind("NOTE", store.Section(1, NoteRecords({"a"})));
                     return store.KindCount(kMaxCount).Build();
                   },
                   1, "a"},
        // Every one of 65535 entries names the same large section.
        DamageCase{"OneSectionNamedByEveryEntry",
                   [] {
                     constexpr uint16_t kRecords = 5000;
                     StoreBuilder store;
                     const size_t section =
                         store.Section(kRecords, NoteRecords(Texts(kRecords, "n")));
                     for (uint32_t i = 0; i < kMaxCount; ++i) store.Kind("NOTE", section);
                     return store.Build();
                   },
                   5000, "n"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Thumbnails.

std::string ThumbnailTable(uint16_t count, const std::string& entries) {
  std::string table(2, '\0');
  table[0] = static_cast<char>(count & 0xFF);
  table[1] = static_cast<char>(count >> 8);
  return table + entries;
}

std::string EntryText(const ThumbnailEntry& entry) {
  return std::string(reinterpret_cast<const char*>(entry.data()), entry.size());
}

struct ThumbnailCase {
  const char* name;
  std::string (*document)();
  uint16_t count;
  Texts firstEntries;
};

void PrintTo(const ThumbnailCase& c, std::ostream* os) { *os << c.name; }

class ThumbnailTest : public AnnotationStoreTest,
                      public ::testing::WithParamInterface<ThumbnailCase> {};

TEST_P(ThumbnailTest, LoadsTheLastThumbnailEntry) {
  const ThumbnailCase& c = GetParam();
  ASSERT_EQ(LoadDocument(c.document()), kLoaded);
  EXPECT_EQ(set_.ThumbnailCount(), c.count);
  for (size_t i = 0; i < c.firstEntries.size(); ++i) {
    EXPECT_EQ(EntryText(set_.Thumbnail(i)), c.firstEntries[i]) << "entry " << i;
  }
  EXPECT_EQ(EntryText(set_.Thumbnail(c.count)), std::string(8, '\0'));
}

const std::string kZeros(8, '\0');

INSTANTIATE_TEST_SUITE_P(
    AnnotationSet, ThumbnailTest,
    ::testing::Values(
        ThumbnailCase{"TwoTablesLastWins",
                      [] {
                        return Container({Chunk("thum", ThumbnailTable(1, "AAAAAAAA")),
                                          Chunk("thum", ThumbnailTable(2, "BBBBBBBBCCCCCCCC"))});
                      },
                      2,
                      {"BBBBBBBB", "CCCCCCCC"}},
        ThumbnailCase{"LaterEntryWithoutLengthHidesTheTable",
                      [] {
                        return Container(
                            {Chunk("thum", ThumbnailTable(1, "AAAAAAAA")), RawEntry("thum", 8, 0)});
                      },
                      0,
                      {}},
        ThumbnailCase{
            "CountBeyondTheChunk",
            [] { return Container({Chunk("thum", ThumbnailTable(kMaxCount, "DDDDDDDDEEE"))}); },
            kMaxCount,
            {"DDDDDDDD", std::string("EEE\0\0\0\0\0", 8), kZeros}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Work file and lifecycle.

TEST(AnnotationSetNames, WorkFileNameReplacesTheExtPrefix) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"EXT9B2E.TMP", "mkp9B2E.TMP"},
      {"C:\\tmp\\q\\EXT0001.TMP", "C:\\tmp\\q\\mkp0001.TMP"},
      {"XT9B2E.TMP", ""},
      {"", ""},
  };
  for (const auto& [unique, work] : cases) {
    EXPECT_EQ(AnnotationSet::WorkFileNameFor(unique), work) << unique;
  }
}

class LifecycleTest : public AnnotationStoreTest {};

TEST_F(LifecycleTest, ResetEmptiesTheSetAndDeletesTheWorkFile) {
  ASSERT_EQ(LoadDocument(Container(
                {Chunk("thum", ThumbnailTable(1, "AAAAAAAA")), Chunk("indx", PlainStore())})),
            kLoaded);
  ASSERT_EQ(set_.Notes().size(), 2u);
  ASSERT_EQ(set_.ThumbnailCount(), 1);
  const std::string workFile = set_.WorkFileName();
  EXPECT_NE(workFile.find("mkp"), std::string::npos);
  ASSERT_TRUE(FileExists(workFile));

  EXPECT_EQ(set_.Reset(), 0);
  EXPECT_TRUE(set_.Notes().empty());
  EXPECT_EQ(set_.ThumbnailCount(), 0);
  EXPECT_FALSE(FileExists(workFile));
  EXPECT_EQ(set_.Reset(), 0);
  EXPECT_TRUE(set_.Notes().empty());
}

TEST_F(LifecycleTest, DestructionDeletesTheWorkFile) {
  std::string workFile;
  {
    AnnotationSet set;
    OpenDocument(Container({Chunk("indx", PlainStore())}));
    ASSERT_EQ(set.Load(document_, uniqueName_), kLoaded);
    workFile = set.WorkFileName();
    ASSERT_TRUE(FileExists(workFile));
  }
  EXPECT_FALSE(FileExists(workFile));
}

TEST_F(LifecycleTest, WorkFileThatCannotBeCreatedLeavesNoNotes) {
  uniqueName_ = "C:\\no such folder\\EXT1234.TMP";
  EXPECT_EQ(LoadDocument(Container({Chunk("indx", PlainStore())})), kNotExpanded);
  EXPECT_TRUE(set_.Notes().empty());
  EXPECT_EQ(set_.Reset(), 0);
}

TEST_F(LifecycleTest, SummaryCountsEveryKind) {
  StoreBuilder store;
  store.Kind("NOTE", store.Section(2, NoteRecords({"a", "b"})))
      .Kind("INDXE", store.Section(1, IndxeRecordBytes()))
      .Kind("HLIGT", store.Section(1, RecordBytes().Placement(0, 0).Reserved().bytes()));
  ASSERT_EQ(LoadStore(store.Build()), kLoaded);
  const auto summary = set_.Summary();
  const std::vector<std::pair<std::string, size_t>> expected = {
      {"NOTE  ", 2}, {"INDXE ", 1}, {"HTEXT ", 0}, {"HLINK ", 0}, {"HLIGT ", 1}, {"BMARK ", 0}};
  ASSERT_EQ(summary.size(), expected.size());
  for (size_t k = 0; k < summary.size(); ++k) {
    EXPECT_EQ(summary[k].tag, expected[k].first);
    EXPECT_EQ(summary[k].records, expected[k].second);
  }
}

// The work file takes its bytes from the document's budget, whether the
// store is a block or stored plain: a store larger than what is left is not
// loaded, the budget says why, and the work file holds no more than it.
TEST_F(LifecycleTest, AStoreBeyondTheBudgetIsNotLoaded) {
  std::string notes(30000, 'n');
  const std::string store = build::BuildAnnotationStore({{1, notes, notes}});
  const struct {
    const char* name;
    ChunkRecipe chunk;
    uint64_t limit;
    AnnotationLoadResult result;
  } cases[] = {
      {"block over", Chunk("indx", build::CompressBlock(store), 1), 20000, kNotExpanded},
      {"plain over", Chunk("indx", store), 20000, kNotExpanded},
      {"block within", Chunk("indx", build::CompressBlock(store), 1), 70000, kLoaded},
      {"plain within", Chunk("indx", store), 70000, kLoaded},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    codec::ExpansionBudget budget(c.limit);
    set_.SetExpansionBudget(&budget);
    EXPECT_EQ(LoadDocument(Container({c.chunk})), c.result);
    const bool over = c.result == kNotExpanded;
    EXPECT_EQ(set_.ExpansionExceeded(), over);
    EXPECT_EQ(set_.Notes().size(), over ? 0u : 1u);
    platform::File work;
    ASSERT_TRUE(work.Open(set_.WorkFileName(), platform::OpenMode::Read));
    EXPECT_LE(static_cast<uint64_t>(work.Size()), c.limit);
    set_.Reset();
    document_.Close();
  }
}

}  // namespace
}  // namespace exqrv::testing
