// Item painting shared by the file lists and the selectors, and the pictures.
#include <set>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "ui/entry_painter.h"
#include "ui/entry_pictures.h"
#include "ui/qt_test_support.h"

namespace exqrv::ui {
namespace {

using dialog::ItemKind;
using dialog::kNameOffset;
using dialog::kPictureSize;
using dialog::PaintAction;

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGrey = 0xFFC0C0C0;
constexpr QRgb kNavy = 0xFF000080;
constexpr QRgb kNavyInverted = 0xFFFFFF7F;
constexpr int kItemHeight = 20;  // picture offset 2
constexpr int kPictureTop = 2;
constexpr int kItemWidth = 120;

class ItemPaintingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { uitest::EnsureApplication(); }

  void SetUp() override {
    // A document (a page edge at column 2 of the picture's first row) and a
    // folder two levels down (an edge at column 3 of its third row).
    entries_.push_back(std::make_unique<ListEntry>(ListEntry{"Name", DocumentPicture, 0}));
    entries_.push_back(std::make_unique<ListEntry>(ListEntry{"WORK", ClosedFolderPicture, 8}));
    canvas_.fill(kWhite);
  }

  void Paint(ItemKind kind, int index, PaintAction action, bool selected, bool focused,
             bool inSelectionField = false) {
    ItemPaintRequest request;
    request.index = index;
    request.state.action = action;
    request.state.selected = selected;
    request.state.focused = focused;
    request.state.inSelectionField = inSelectionField;
    request.rect = QRect(0, 0, kItemWidth, kItemHeight);
    QPainter painter(&canvas_);
    PaintEntryItem(painter, entries_, kind, request, colours_);
  }
  QRgb At(int x, int y) const { return canvas_.pixel(x, y); }
  int CountLeftOfText(QRgb colour) const {
    int count = 0;
    for (int y = 0; y < kItemHeight; ++y) {
      for (int x = 0; x < kNameOffset; ++x) count += At(x, y) == colour;
    }
    return count;
  }

  EntryList entries_;
  QImage canvas_{kItemWidth, kItemHeight, QImage::Format_RGB32};
  ItemColours colours_{kActiveCaptionColor, Qt::white, Qt::white, Qt::black};
};

TEST_F(ItemPaintingTest, IndexWithoutEntryPaintsNothing) {
  for (int index : {-1, 2}) {
    Paint(ItemKind::FileList, index, PaintAction::DrawEntire, true, true);
  }
  for (int x = 0; x < kItemWidth; ++x) ASSERT_EQ(At(x, 10), kWhite) << x;
}

TEST_F(ItemPaintingTest, PictureIsAndedWithTheGround) {
  canvas_.fill(kGrey);
  Paint(ItemKind::FileList, 0, PaintAction::DrawEntire, false, false);
  EXPECT_EQ(At(0, kPictureTop), kGrey);  // a white picture pixel keeps the ground
  EXPECT_EQ(At(2, kPictureTop), kBlack);
  EXPECT_EQ(At(1, 0), kGrey);  // above the picture
}

TEST_F(ItemPaintingTest, OnlyTheTextPartTakesTheSelectionColour) {
  Paint(ItemKind::FileList, 0, PaintAction::DrawEntire, true, false);
  EXPECT_EQ(At(kItemWidth - 2, 10), kNavy);
  EXPECT_EQ(At(kNameOffset, 0), kNavy);  // the frame along the text part
  EXPECT_EQ(CountLeftOfText(kNavy), 0);
  EXPECT_EQ(At(2, kPictureTop), kBlack);

  Paint(ItemKind::FileList, 0, PaintAction::SelectionChange, false, false);
  EXPECT_EQ(At(kItemWidth - 2, 10), kWhite);
  EXPECT_EQ(At(kNameOffset, 0), kWhite);
  EXPECT_EQ(At(2, kPictureTop), kBlack);
}

TEST_F(ItemPaintingTest, FocusFrameIsDrawnByInversionUnderTheFocusRule) {
  struct Case {
    const char* what;
    ItemKind kind;
    PaintAction action;
    bool selected;
    bool focused;
    bool inSelectionField;
    bool frame;
  };
  const Case cases[] = {
      {"file list focus paint", ItemKind::FileList, PaintAction::FocusChange, true, true, false,
       true},
      {"file list whole paint", ItemKind::FileList, PaintAction::DrawEntire, true, true, false,
       false},
      // The caret shows even where nothing is selected.
      {"focus without selection", ItemKind::FileList, PaintAction::FocusChange, false, true, false,
       true},
      {"focus paint without the focus", ItemKind::FileList, PaintAction::FocusChange, true, false,
       false, false},
      {"selection field", ItemKind::Selector, PaintAction::DrawEntire, true, true, true, true},
      {"dropped list whole paint", ItemKind::Selector, PaintAction::DrawEntire, true, true, false,
       false},
      {"dropped list focus paint", ItemKind::Selector, PaintAction::FocusChange, true, true, false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    canvas_.fill(kWhite);
    Paint(c.kind, 0, PaintAction::DrawEntire, c.selected, false, c.inSelectionField);
    const QRgb ground = At(kItemWidth - 2, 10);
    Paint(c.kind, 0, c.action, c.selected, c.focused, c.inSelectionField);
    const QRgb inverted = ground == kNavy ? kNavyInverted : 0xFF000000;
    EXPECT_EQ(At(kNameOffset, 0), c.frame ? inverted : ground);  // (18 + 0) is even: a dot
    EXPECT_EQ(At(kNameOffset + 1, 0), ground);                   // between the dots
  }
}

TEST_F(ItemPaintingTest, FirstFocusPaintDrawsTheFrame) {
  Paint(ItemKind::FileList, 0, PaintAction::DrawEntire, true, true);
  Paint(ItemKind::FileList, 0, PaintAction::FocusChange, true, true);
  EXPECT_EQ(At(kNameOffset, 0), kNavyInverted);
  EXPECT_EQ(At(kItemWidth - 2, kItemHeight - 1), kNavy);  // (118 + 19) is odd: between dots
  EXPECT_EQ(At(kItemWidth - 1, kItemHeight - 1), kNavyInverted);
}

TEST_F(ItemPaintingTest, SecondFocusPaintRemovesTheFrame) {
  Paint(ItemKind::FileList, 0, PaintAction::DrawEntire, true, true);
  Paint(ItemKind::FileList, 0, PaintAction::FocusChange, true, true);
  Paint(ItemKind::FileList, 0, PaintAction::FocusChange, true, true);
  EXPECT_EQ(At(kNameOffset, 0), kNavy);
}

TEST_F(ItemPaintingTest, SelectorIndentsItsDroppedListButNotItsField) {
  Paint(ItemKind::Selector, 1, PaintAction::DrawEntire, false, false);
  EXPECT_EQ(At(3 + 8, kPictureTop + 2), kBlack);
  EXPECT_EQ(At(3, kPictureTop + 2), kWhite);

  canvas_.fill(kWhite);
  Paint(ItemKind::Selector, 1, PaintAction::DrawEntire, false, false, true);
  EXPECT_EQ(At(3, kPictureTop + 2), kBlack);

  canvas_.fill(kWhite);
  Paint(ItemKind::FileList, 1, PaintAction::DrawEntire, false, false);  // file lists: no indent
  EXPECT_EQ(At(3, kPictureTop + 2), kBlack);
}

TEST(EntryPicturesTest, EachPictureIsSixteenColoursOnWhite) {
  uitest::EnsureApplication();
  for (int picture = TextFilePicture; picture <= NetworkDrivePicture; ++picture) {
    SCOPED_TRACE(picture);
    const QImage image = LoadEntryPicture(picture);
    ASSERT_EQ(image.size(), QSize(kPictureSize, kPictureSize));
    EXPECT_EQ(image.pixel(0, 0), kWhite);
    std::set<QRgb> colours;
    for (int y = 0; y < kPictureSize; ++y) {
      for (int x = 0; x < kPictureSize; ++x) colours.insert(image.pixel(x, y));
    }
    EXPECT_GE(colours.size(), 2u);
    EXPECT_LE(colours.size(), 16u);
  }
  EXPECT_TRUE(LoadEntryPicture(TextFilePicture - 1).isNull());
  EXPECT_TRUE(LoadEntryPicture(NetworkDrivePicture + 1).isNull());
  EXPECT_FALSE(ApplicationIcon().isNull());
}

}  // namespace
}  // namespace exqrv::ui
