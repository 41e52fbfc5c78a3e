// The item pictures (one per EntryPicture value) and the application icon.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "dialog/entry_picture_pixels.h"

namespace exqrv::ui {

// The 16 x 16 picture of an EntryPicture value; a null image for any other.
QImage LoadEntryPicture(int picture);

QIcon ApplicationIcon();
QPixmap ApplicationPixmap();

}  // namespace exqrv::ui
