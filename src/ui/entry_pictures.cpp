// The item pictures and the application icon as Qt images, made from the
// shared pixel data.
#include "ui/entry_pictures.h"

#include "dialog/entry_picture_pixels.h"

namespace exqrv::ui {
namespace {

QImage ToImage(const dialog::PixelPicture& picture) {
  if (picture.empty()) return {};
  QImage image(picture.width, picture.height, QImage::Format_ARGB32);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      image.setPixel(x, y, picture.pixels[static_cast<size_t>(y) * picture.width + x]);
    }
  }
  return image;
}

}  // namespace

QImage LoadEntryPicture(int picture) {
  const QImage image = ToImage(dialog::EntryPicturePixels(picture));
  if (image.isNull()) return {};
  return image.convertToFormat(QImage::Format_RGB32);
}

QIcon ApplicationIcon() { return QIcon(ApplicationPixmap()); }

QPixmap ApplicationPixmap() { return QPixmap::fromImage(ToImage(dialog::ApplicationIconPixels())); }

}  // namespace exqrv::ui
