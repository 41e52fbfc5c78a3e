// How start-up runs the dialog when the program is built with Qt.
#pragma once

#include <string>

#include "app/converter_app.h"

namespace exqrv::ui {

// Runs the main dialog modally, with Qt message boxes for every prompt while
// it is open; creates the QApplication when there is none. Returns the exit
// status, 0.
int RunMainDialog(ConverterApp& app);

// Why the dialog cannot be shown, or empty when it can: a Qt platform is
// chosen by name (QT_QPA_PLATFORM), or the X server on DISPLAY or the
// Wayland compositor on WAYLAND_DISPLAY really answers. A stale or vanished
// display must end in a message, not in an abort inside Qt.
std::string DisplayProblem();

}  // namespace exqrv::ui
