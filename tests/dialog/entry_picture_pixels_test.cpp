// The pictures as every front end receives them.
#include <cstdint>
#include <set>

#include <gtest/gtest.h>

#include "app/list_entry.h"
#include "dialog/entry_picture_pixels.h"

namespace exqrv::dialog {
namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;

TEST(EntryPicturePixelsTest, EachItemPictureIsOpaqueSixteenColoursOnWhite) {
  for (int picture = TextFilePicture; picture <= NetworkDrivePicture; ++picture) {
    SCOPED_TRACE(picture);
    const PixelPicture pixels = EntryPicturePixels(picture);
    ASSERT_EQ(pixels.width, kPictureSize);
    ASSERT_EQ(pixels.height, kPictureSize);
    ASSERT_EQ(pixels.pixels.size(), static_cast<size_t>(kPictureSize * kPictureSize));
    EXPECT_EQ(pixels.pixels.front(), kOpaqueWhite);
    std::set<std::uint32_t> colours(pixels.pixels.begin(), pixels.pixels.end());
    EXPECT_LE(colours.size(), 16u);
    EXPECT_TRUE(colours.contains(kOpaqueWhite));
    // A transparent pixel would not survive the AND with the item's ground.
    for (const std::uint32_t pixel : colours) EXPECT_EQ(pixel >> 24, 0xFFu);
  }
  EXPECT_TRUE(EntryPicturePixels(TextFilePicture - 1).empty());
  EXPECT_TRUE(EntryPicturePixels(NetworkDrivePicture + 1).empty());
}

TEST(EntryPicturePixelsTest, ApplicationIconIsThirtyTwoSquareOnATransparentGround) {
  const PixelPicture icon = ApplicationIconPixels();
  ASSERT_EQ(icon.width, 32);
  ASSERT_EQ(icon.height, 32);
  ASSERT_EQ(icon.pixels.size(), 32u * 32u);
  EXPECT_EQ(icon.pixels.front(), 0u);
  EXPECT_EQ(icon.pixels[2 * 32 + 1], 0xFF000000u);  // the page's black outline
}

}  // namespace
}  // namespace exqrv::dialog
