#include <gtest/gtest.h>

#include "annotations/records.h"

namespace exqrv {
namespace {

std::vector<std::string> Texts(const RecordList<IndxeRecord>& list) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < list.size(); ++i) texts.push_back(list[i].text);
  return texts;
}

TEST(RecordList, InsertCopyAtMovesLaterRecordsUpAndCopiesTheRecord) {
  RecordList<IndxeRecord> list;
  IndxeRecord record;
  record.text = "a";
  list.InsertCopyAt(0, record);
  record.text = "c";
  list.InsertCopyAt(1, record);
  record.text = "b";
  list.InsertCopyAt(1, record);
  record.text = "d";
  list.InsertCopyAt(99, record);  // past the end: appended

  record.text = "changed after insertion";
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "b", "c", "d"}));

  list.Clear();
  EXPECT_TRUE(list.empty());
}

TEST(RecordList, NoteIndexAlwaysEqualsPosition) {
  RecordList<NoteRecord> list;
  NoteRecord note;
  note.index = 99;
  for (const char* text : {"third", "second", "first"}) {
    note.text1 = text;
    list.InsertCopyAt(0, note);
  }
  note.text1 = "between";
  list.InsertCopyAt(1, note);

  const std::vector<std::string> order = {"first", "between", "second", "third"};
  ASSERT_EQ(list.size(), order.size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].text1, order[i]);
    EXPECT_EQ(list[i].index, i);
  }
}

}  // namespace
}  // namespace exqrv
