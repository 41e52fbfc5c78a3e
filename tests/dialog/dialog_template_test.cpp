// The dialog template in pixels: dialog units follow the font's metrics.
#include <gtest/gtest.h>

#include "dialog/dialog_template.h"

namespace exqrv::dialog {
namespace {

TEST(DialogUnitsTest, QuarterCharacterWideAndEighthCharacterHigh) {
  struct Case {
    DialogUnits units;
    DialogRect rect;
    PixelRect pixels;
  };
  const Case cases[] = {
      {{8, 16}, kDialogSize, {0, 0, 646, 364}},
      {{8, 16}, {146, 65, 32, 14}, {292, 130, 64, 28}},
      {{6, 13}, {7, 23, 118, 60}, {11, 37, 177, 98}},
      // Rounded edges: neighbours 10 units apart stay 15 pixels apart.
      {{6, 12}, {9, 110, 240, 10}, {14, 165, 360, 15}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToPixels(c.units, c.rect), c.pixels) << c.rect.x << "," << c.rect.y;
  }
}

TEST(DialogUnitsTest, AverageWidthOfTheAlphabetIsRounded) {
  EXPECT_EQ(AverageCharWidth(416), 8);  // 8 per letter
  EXPECT_EQ(AverageCharWidth(338), 7);  // 6.5 per letter, rounded up
  EXPECT_EQ(AverageCharWidth(330), 6);
}

TEST(DialogTemplateTest, TabStopsInTemplateOrder) {
  std::vector<int> tabStops;
  for (const ControlTemplate& control : DialogControls()) {
    if (control.tabStop) tabStops.push_back(control.id);
  }
  const std::vector<int> expected{kExitButtonId,       kDocumentFileListId, kDocumentSelectorId,
                                  kDocumentUpButtonId, kTextFileListId,     kTextSelectorId,
                                  kTextUpButtonId,     kConvertButtonId};
  EXPECT_EQ(tabStops, expected);
  for (int k = 0; k < kVisibleLogLines; ++k) {
    const ControlTemplate* line = FindControlTemplate(kFirstLogLineId + k);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->rect.y, 110 + 10 * k);
  }
}

}  // namespace
}  // namespace exqrv::dialog
