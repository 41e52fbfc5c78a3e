// Each kind's record layout, read through a whole store. Every section holds
// two records whose reserved bytes are not zero, so a reader that keeps or
// misses any of them misreads the second record.
#include <gtest/gtest.h>

#include "store_fixture.h"
#include "builder/annotation_store_builder.h"

namespace exqrv::testing {
namespace {

using build::RecordBytes;

constexpr uint8_t kNoise = 0xEE;

class RecordLayoutTest : public AnnotationStoreTest {
 protected:
  void LoadSection(std::string_view tag, uint16_t count, const RecordBytes& records) {
    build::StoreBuilder store;
    store.Kind(tag, store.Section(count, records.bytes()));
    ASSERT_EQ(LoadStore(store.Build()), AnnotationLoadResult::Loaded);
  }
};

// Matches RecordBytes::Placement(first, long1).
void ExpectPlacement(const Placement& placement, uint16_t first, uint32_t long1) {
  const uint32_t f = first;
  EXPECT_EQ(placement.short1, f);
  EXPECT_EQ(placement.quad1, (Quad{f + 1, f + 2, f + 3, f + 4}));
  EXPECT_EQ(placement.short2, f + 5);
  EXPECT_EQ(placement.short3, f + 6);
  EXPECT_EQ(placement.quad2, (Quad{f + 7, f + 8, f + 9, f + 10}));
  EXPECT_EQ(placement.short4, f + 11);
  EXPECT_EQ(placement.long1, long1);
}

TEST_F(RecordLayoutTest, Note) {
  LoadSection("NOTE", 2,
              RecordBytes()
                  .Text("first")
                  .Text("second")
                  .U16(3)
                  .Quad(65535, 1, 2, 3)
                  .U16(65535)
                  .U16(7)
                  .U16(9)
                  .Reserved(kNoise)
                  .Text("n2")
                  .Text("")
                  .U16(40000)
                  .Quad(4, 5, 6, 7)
                  .U16(8)
                  .U16(9)
                  .U16(10)
                  .Reserved(kNoise));
  const auto& notes = set_.Notes();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].text1, "first");
  EXPECT_EQ(notes[0].text2, "second");
  EXPECT_EQ(notes[0].page, 3);
  EXPECT_EQ(notes[0].quad1, (Quad{65535, 1, 2, 3}));
  EXPECT_EQ(notes[0].long1, 65535u);
  EXPECT_EQ(notes[0].long2, 7u);
  EXPECT_EQ(notes[0].short1, 9u);
  EXPECT_EQ(notes[1].text1, "n2");
  EXPECT_EQ(notes[1].text2, "");
  EXPECT_EQ(notes[1].page, static_cast<int16_t>(40000));
  EXPECT_EQ(notes[1].quad1, (Quad{4, 5, 6, 7}));
  EXPECT_EQ(notes[1].short1, 10u);
}

TEST_F(RecordLayoutTest, Indxe) {
  LoadSection("INDXE", 2,
              RecordBytes()
                  .Text("entry")
                  .U16(1)
                  .U16(2)
                  .U16(3)
                  .U16(65535)
                  .U16(65535)
                  .Reserved(kNoise)
                  .Text("next")
                  .U16(4)
                  .U16(5)
                  .U16(6)
                  .U16(7)
                  .U16(8)
                  .Reserved(kNoise));
  const auto& list = set_.Indxes();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].text, "entry");
  EXPECT_EQ(list[0].short1, 1u);
  EXPECT_EQ(list[0].short2, 2u);
  EXPECT_EQ(list[0].short3, 3u);
  EXPECT_EQ(list[0].long1, 65535u);
  EXPECT_EQ(list[0].long2, 65535u);
  EXPECT_EQ(list[1].text, "next");
  EXPECT_EQ(list[1].long2, 8u);
}

TEST_F(RecordLayoutTest, Htext) {
  LoadSection("HTEXT", 2,
              RecordBytes()
                  .Text("ht")
                  .Placement(10, 0xDEADBEEF)
                  .U16(65535)
                  .Quad(65535, 1, 2, 3)
                  .Reserved(kNoise)
                  .Text("h2")
                  .Placement(30, 2)
                  .U16(5)
                  .Quad(6, 7, 8, 9)
                  .Reserved(kNoise));
  const auto& list = set_.Htexts();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].text, "ht");
  ExpectPlacement(list[0].placement, 10, 0xDEADBEEF);
  EXPECT_EQ(list[0].short5, 65535u);
  EXPECT_EQ(list[0].quad3, (Quad{65535, 1, 2, 3}));
  EXPECT_EQ(list[1].text, "h2");
  ExpectPlacement(list[1].placement, 30, 2);
  EXPECT_EQ(list[1].quad3, (Quad{6, 7, 8, 9}));
}

TEST_F(RecordLayoutTest, HlinkSecondTextFollowsThePlacement) {
  LoadSection("HLINK", 2,
              RecordBytes()
                  .Text("link")
                  .Placement(100, 5)
                  .Text("target")
                  .Reserved(kNoise)
                  .Text("l2")
                  .Placement(200, 6)
                  .Text("t2")
                  .Reserved(kNoise));
  const auto& list = set_.Hlinks();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].text1, "link");
  ExpectPlacement(list[0].placement, 100, 5);
  EXPECT_EQ(list[0].text2, "target");
  EXPECT_EQ(list[1].text1, "l2");
  ExpectPlacement(list[1].placement, 200, 6);
  EXPECT_EQ(list[1].text2, "t2");
}

TEST_F(RecordLayoutTest, Hligt) {
  LoadSection(
      "HLIGT", 2,
      RecordBytes().Placement(65000, 0xFFFFFFFF).Reserved(kNoise).Placement(1, 7).Reserved(kNoise));
  const auto& list = set_.Hligts();
  ASSERT_EQ(list.size(), 2u);
  ExpectPlacement(list[0].placement, 65000, 0xFFFFFFFF);
  ExpectPlacement(list[1].placement, 1, 7);
}

TEST_F(RecordLayoutTest, Bmark) {
  LoadSection("BMARK", 2,
              RecordBytes()
                  .Text("mark")
                  .Text("where")
                  .Placement(40, 9)
                  .Reserved(kNoise)
                  .Text("m2")
                  .Text("w2")
                  .Placement(50, 10)
                  .Reserved(kNoise));
  const auto& list = set_.Bmarks();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].text1, "mark");
  EXPECT_EQ(list[0].text2, "where");
  ExpectPlacement(list[0].placement, 40, 9);
  EXPECT_EQ(list[1].text1, "m2");
  EXPECT_EQ(list[1].text2, "w2");
  ExpectPlacement(list[1].placement, 50, 10);
}

TEST_F(RecordLayoutTest, TextIsCutAtItsFirstNul) {
  struct Case {
    uint16_t count;
    std::string bytes;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {0, "", ""},
      {4, std::string("AB\0C", 4), "AB"},
      {3, std::string("\0xy", 3), ""},
      {5, "hello", "hello"},
  };
  RecordBytes records;
  for (const Case& c : cases) {
    // The second text shows that exactly count bytes were taken.
    records.TextWithCount(c.count, c.bytes)
        .Text("next")
        .U16(1)
        .Quad(0, 0, 0, 0)
        .U16(0)
        .U16(0)
        .U16(0)
        .Reserved(kNoise);
  }
  LoadSection("NOTE", static_cast<uint16_t>(cases.size()), records);
  ASSERT_EQ(set_.Notes().size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(set_.Notes()[i].text1, cases[i].expected) << "case " << i;
    EXPECT_EQ(set_.Notes()[i].text2, "next") << "case " << i;
  }
}

TEST_F(RecordLayoutTest, NotesAreIndexedInStoreOrder) {
  RecordBytes records;
  for (const char* text : {"A", "B", "C"}) records.Bytes(build::NoteRecordBytes({3, text, ""}));
  LoadSection("NOTE", 3, records);
  const auto& notes = set_.Notes();
  ASSERT_EQ(notes.size(), 3u);
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].text1, std::string(1, static_cast<char>('A' + i)));
    EXPECT_EQ(notes[i].index, i);
  }
}

}  // namespace
}  // namespace exqrv::testing
