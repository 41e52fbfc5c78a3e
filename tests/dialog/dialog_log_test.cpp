// The dialog's log: twelve lines kept, six shown, and its scroll bar rules.
#include <string>

#include <gtest/gtest.h>

#include "dialog/dialog_log.h"

namespace exqrv::dialog {
namespace {

DialogLog LogWith(int lines) {
  DialogLog log;
  for (int i = 0; i < lines; ++i) log.AddLogLine("line " + std::to_string(i));
  return log;
}

TEST(DialogLogTest, ScrollBarAppearsWithTheSeventhLineAndFollowsTheEnd) {
  DialogLog log = LogWith(6);
  EXPECT_FALSE(log.ScrollBar().visible);
  EXPECT_EQ(log.LogTop(), 0);
  EXPECT_EQ(log.VisibleLine(5), "line 5");

  log.AddLogLine("line 6");
  EXPECT_TRUE(log.ScrollBar().visible);
  EXPECT_EQ(log.ScrollBar().minimum, 0);
  EXPECT_EQ(log.ScrollBar().maximum, 6);
  EXPECT_EQ(log.LogTop(), 1);
  EXPECT_EQ(log.ScrollBar().position, 1);
  EXPECT_EQ(log.VisibleLine(0), "line 1");
  EXPECT_EQ(log.VisibleLine(5), "line 6");
}

TEST(DialogLogTest, ThirteenthLineDropsTheFirst) {
  DialogLog log = LogWith(13);
  ASSERT_EQ(log.LogLines().size(), 12u);
  EXPECT_EQ(log.LogLines().front(), "line 1");
  EXPECT_EQ(log.LogTop(), 6);
  EXPECT_EQ(log.VisibleLine(5), "line 12");
  EXPECT_TRUE(log.ScrollBar().visible);
  EXPECT_EQ(log.ScrollBar().maximum, 6);
}

TEST(DialogLogTest, ScrollCodesMoveLogTopWithinTheRange) {
  struct Case {
    const char* what;
    int lines;
    int startTop;  // reached by a released thumb
    ScrollCode code;
    int thumb;
    int top;
  };
  const Case cases[] = {
      {"line down at the maximum", 7, 6, ScrollCode::LineDown, 0, 6},
      {"line down", 7, 1, ScrollCode::LineDown, 0, 2},
      {"line up", 7, 1, ScrollCode::LineUp, 0, 0},
      {"line up at the minimum", 7, 0, ScrollCode::LineUp, 0, 0},
      {"page up from 2", 9, 2, ScrollCode::PageUp, 0, 0},
      {"page up from 5", 9, 5, ScrollCode::PageUp, 0, 2},
      {"page down from 4", 12, 4, ScrollCode::PageDown, 0, 6},
      {"page down from 1", 12, 1, ScrollCode::PageDown, 0, 4},
      {"thumb released", 12, 6, ScrollCode::ThumbPosition, 3, 3},
      {"thumb dragged", 12, 6, ScrollCode::ThumbTrack, 2, 6},
      {"to top", 12, 4, ScrollCode::Top, 0, 4},
      {"to bottom", 12, 4, ScrollCode::Bottom, 0, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogLog log = LogWith(c.lines);
    log.OnLogScroll(ScrollCode::ThumbPosition, c.startTop);
    log.OnLogScroll(ScrollCode::EndScroll, 0);
    log.OnLogScroll(c.code, c.thumb);
    EXPECT_EQ(log.LogTop(), c.top);
  }
}

TEST(DialogLogTest, VisibleLinesFollowOnlyWhenTheScrollEnds) {
  DialogLog log = LogWith(8);  // LogTop 2
  EXPECT_FALSE(log.OnLogScroll(ScrollCode::LineUp, 0));
  EXPECT_EQ(log.LogTop(), 1);
  EXPECT_EQ(log.ScrollBar().position, 2);
  EXPECT_TRUE(log.OnLogScroll(ScrollCode::EndScroll, 0));
  EXPECT_EQ(log.ScrollBar().position, 1);
  EXPECT_FALSE(log.OnLogScroll(ScrollCode::EndScroll, 0));
}

TEST(DialogLogTest, ScrolledToTheMaximumShowsEmptyFieldsBelowTheLines) {
  DialogLog log = LogWith(8);
  log.OnLogScroll(ScrollCode::ThumbPosition, 6);
  EXPECT_EQ(log.VisibleLine(0), "line 6");
  EXPECT_EQ(log.VisibleLine(1), "line 7");
  EXPECT_EQ(log.VisibleLine(2), "");
  EXPECT_EQ(log.VisibleLine(5), "");
}

}  // namespace
}  // namespace exqrv::dialog
