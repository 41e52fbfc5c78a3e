// The eight item pictures and the application icon as pixel data, for every
// front end: drawn in 16 colours, the item pictures on a white ground (they
// are combined with the item's ground by AND, so the ground must stay white).
#pragma once

#include <cstdint>
#include <vector>

namespace exqrv::dialog {

inline constexpr int kPictureSize = 16;

// Pixels row by row from the top, each 0xAARRGGBB; alpha is 0 where the
// picture is transparent (only the application icon has such pixels).
struct PixelPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  bool empty() const { return pixels.empty(); }
};

// The 16 x 16 picture of an EntryPicture value; an empty one for any other.
PixelPicture EntryPicturePixels(int picture);

// The application icon, 32 x 32, on a transparent ground.
PixelPicture ApplicationIconPixels();

}  // namespace exqrv::dialog
