// The text shown for bytes the platform holds: a file or folder name, a log
// line, a message. Only for painting: names are always used as their bytes,
// never read back from what a widget shows.
#pragma once

#include <string_view>

#include <QString>

namespace exqrv::ui {

// Decoded in the local encoding; a byte that does not decode shows as the
// replacement character, so a name that cannot be decoded is still visible.
inline QString DisplayText(std::string_view bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace exqrv::ui
