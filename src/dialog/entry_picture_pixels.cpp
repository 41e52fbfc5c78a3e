// The pictures are kept as character art in the XPM layout: a header
// "width height colours 1", one line per colour ("<char> c #RRGGBB" or
// "<char> c None"), then the rows.
#include "dialog/entry_picture_pixels.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "app/list_entry.h"

namespace exqrv::dialog {
namespace {

// The pictures are drawn in their strings: one row of pixels per line.
// clang-format off

// A white page with a folded corner and a large black letter A.
const char* const kTextFileXpm[] = {
    "16 16 2 1",
    "  c #FFFFFF",
    ". c #000000",
    "                ",
    "  .........     ",
    "  .       ..    ",
    "  .       . .   ",
    "  .       ....  ",
    "  .    ..    .  ",
    "  .    ..    .  ",
    "  .   .  .   .  ",
    "  .   .  .   .  ",
    "  .  ......  .  ",
    "  .  ......  .  ",
    "  .  .    .  .  ",
    "  . ...  ... .  ",
    "  .          .  ",
    "  ............  ",
    "                ",
};

// A white page with a folded corner and three thick black lines.
const char* const kDocumentXpm[] = {
    "16 16 2 1",
    "  c #FFFFFF",
    ". c #000000",
    "  .........     ",
    "  .       ..    ",
    "  .       . .   ",
    "  .       ....  ",
    "  .          .  ",
    "  . ........ .  ",
    "  . ........ .  ",
    "  .          .  ",
    "  . ........ .  ",
    "  . ........ .  ",
    "  .          .  ",
    "  . ........ .  ",
    "  . ........ .  ",
    "  .          .  ",
    "  ............  ",
    "                ",
};

// A closed yellow folder.
const char* const kClosedFolderXpm[] = {
    "16 16 4 1",
    "  c #FFFFFF",
    ". c #000000",
    "y c #FFFF00",
    "o c #808000",
    "                ",
    "                ",
    "   .....        ",
    "  .yyyyy.       ",
    " .yyyyyyy...... ",
    " .yyyyyyyyyyyyo.",
    " .yyyyyyyyyyyyo.",
    " .yyyyyyyyyyyyo.",
    " .yyyyyyyyyyyyo.",
    " .yyyyyyyyyyyyo.",
    " .yyyyyyyyyyyyo.",
    " .yyyyyyyyyyyyo.",
    " .ooooooooooooo.",
    "  ..............",
    "                ",
    "                ",
};

// An open yellow folder.
const char* const kOpenFolderXpm[] = {
    "16 16 4 1",
    "  c #FFFFFF",
    ". c #000000",
    "y c #FFFF00",
    "o c #808000",
    "                ",
    "                ",
    "   .....        ",
    "  .yyyyy.       ",
    " .yyyyyyy.....  ",
    " .yyyyyyyyyyyo. ",
    " .yyy.......... ",
    " .yy.yyyyyyyyyy.",
    " .yy.yyyyyyyyyo.",
    " .y.yyyyyyyyyyo.",
    " .y.yyyyyyyyyo. ",
    " ..yyyyyyyyyyo. ",
    " ..oooooooooo.  ",
    " ............   ",
    "                ",
    "                ",
};

// A grey drive with a slot and a red light.
const char* const kRemovableDriveXpm[] = {
    "16 16 5 1",
    "  c #FFFFFF",
    ". c #000000",
    "g c #C0C0C0",
    "d c #808080",
    "r c #FF0000",
    "                ",
    "                ",
    "                ",
    "                ",
    "  ............  ",
    " .gggggggggggg. ",
    " .g..........g. ",
    " .g          g. ",
    " .gggggggggggg. ",
    " .ggggggggggrr. ",
    " .gggggggggggg. ",
    " .dddddddddddd. ",
    "  ............  ",
    "                ",
    "                ",
    "                ",
};

// A grey drive with a green light.
const char* const kFixedDriveXpm[] = {
    "16 16 5 1",
    "  c #FFFFFF",
    ". c #000000",
    "g c #C0C0C0",
    "d c #808080",
    "G c #00FF00",
    "                ",
    "                ",
    "                ",
    "                ",
    "                ",
    "  ............  ",
    " .gggggggggggg. ",
    " .gggggggggggg. ",
    " .gggggggggggg. ",
    " .ggggggggggGG. ",
    " .gggggggggggg. ",
    " .dddddddddddd. ",
    "  ............  ",
    "                ",
    "                ",
    "                ",
};

// A compact disc over a drive.
const char* const kCdRomDriveXpm[] = {
    "16 16 7 1",
    "  c #FFFFFF",
    ". c #000000",
    "g c #C0C0C0",
    "d c #808080",
    "G c #00FF00",
    "c c #00FFFF",
    "p c #FF00FF",
    "     ......     ",
    "   ..gggcccc..  ",
    "  .gggggcccccc. ",
    "  .ggggg..ccpp. ",
    "  .ccccc..ggpp. ",
    "   ..ccccggg..  ",
    "     ......     ",
    "                ",
    "  ............  ",
    " .gggggggggggg. ",
    " .g..........g. ",
    " .gggggggggggg. ",
    " .ggggggggggGG. ",
    " .dddddddddddd. ",
    "  ............  ",
    "                ",
};

// A drive on a network connector.
const char* const kNetworkDriveXpm[] = {
    "16 16 6 1",
    "  c #FFFFFF",
    ". c #000000",
    "g c #C0C0C0",
    "d c #808080",
    "G c #00FF00",
    "n c #000080",
    "                ",
    "  ............  ",
    " .gggggggggggg. ",
    " .gggggggggggg. ",
    " .ggggggggggGG. ",
    " .dddddddddddd. ",
    "  ............  ",
    "       ..       ",
    "       ..       ",
    "     ......     ",
    "     .nnnn.     ",
    "     ......     ",
    "       ..       ",
    "................",
    "................",
    "                ",
};

// A document, an arrow and the text page it becomes, on a transparent ground:
// unlike the item pictures it is never combined by AND.
const char* const kApplicationXpm[] = {
    "32 32 5 1",
    "  c None",
    ". c #000000",
    "r c #FF0000",
    "n c #000080",
    "w c #FFFFFF",
    "                                ",
    "                                ",
    " ...........                    ",
    " .wwwwwwwww..                   ",
    " .wwwwwwwww.w.                  ",
    " .wwwwwwwww....                 ",
    " .wwwwwwwwwwww.                 ",
    " .wnnnnnnnnnnw.                 ",
    " .wnnnnnnnnnnw.                 ",
    " .wwwwwwwwwwww.  ...........    ",
    " .wnnnnnnnnnnw.  .wwwwwwwww..   ",
    " .wnnnnnnnnnnw.  .wwwwwwwww.w.  ",
    " .wwwwwwwwwwww.  .wwwwwwwww.... ",
    " .wnnnnnnnnnnw.  .wwwwwwwwwwww. ",
    " .wnnnnnnnnnnw.  .wwwwwwwwwwww. ",
    " .wwwwwwwwwwww.  .wwwwwwwwwwww. ",
    " .wnnnnnnnnnnw.  .wwwww..wwwww. ",
    " .wnnnnnnnnnnw.  .wwwww..wwwww. ",
    " .wwwwwwwwwwww.  .wwww.ww.wwww. ",
    " .wwwwwwwwwwww.  .wwww.ww.wwww. ",
    " ..............  .www......www. ",
    "            r    .www.wwww.www. ",
    "            rr   .ww..wwww..ww. ",
    "            rrr  .wwwwwwwwwwww. ",
    "    rrrrrrrrrrrr .wwwwwwwwwwww. ",
    "    rrrrrrrrrrrr .wwwwwwwwwwww. ",
    "            rrr  .wwwwwwwwwwww. ",
    "            rr   .wwwwwwwwwwww. ",
    "            r    .............. ",
    "                                ",
    "                                ",
    "                                ",
};
// clang-format on

const char* const* PictureArt(int picture) {
  switch (picture) {
    case TextFilePicture: return kTextFileXpm;
    case DocumentPicture: return kDocumentXpm;
    case ClosedFolderPicture: return kClosedFolderXpm;
    case OpenFolderPicture: return kOpenFolderXpm;
    case RemovableDrivePicture: return kRemovableDriveXpm;
    case FixedDrivePicture: return kFixedDriveXpm;
    case CdRomDrivePicture: return kCdRomDriveXpm;
    case NetworkDrivePicture: return kNetworkDriveXpm;
    default: return nullptr;
  }
}

PixelPicture Decode(const char* const* art) {
  PixelPicture picture;
  char* end = nullptr;
  picture.width = static_cast<int>(std::strtol(art[0], &end, 10));
  picture.height = static_cast<int>(std::strtol(end, &end, 10));
  const int colours = static_cast<int>(std::strtol(end, &end, 10));
  std::array<std::uint32_t, 256> palette{};
  for (int c = 1; c <= colours; ++c) {
    const char* line = art[c];
    const char* value = line + 4;  // past "<char> c "
    palette[static_cast<unsigned char>(line[0])] =
        value[0] == '#'
            ? 0xFF000000u | static_cast<std::uint32_t>(std::strtoul(value + 1, nullptr, 16))
            : 0u;
  }
  picture.pixels.reserve(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y) {
    const char* row = art[1 + colours + y];
    for (int x = 0; x < picture.width; ++x) {
      picture.pixels.push_back(palette[static_cast<unsigned char>(row[x])]);
    }
  }
  return picture;
}

}  // namespace

PixelPicture EntryPicturePixels(int picture) {
  const char* const* art = PictureArt(picture);
  return art != nullptr ? Decode(art) : PixelPicture{};
}

PixelPicture ApplicationIconPixels() { return Decode(kApplicationXpm); }

}  // namespace exqrv::dialog
