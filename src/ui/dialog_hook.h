// How start-up runs the dialog when the program is built with Qt.
#pragma once

#include "app/converter_app.h"

namespace exqrv::ui {

// Runs the main dialog modally, with Qt message boxes for every prompt while
// it is open; creates the QApplication when there is none. Returns the exit
// status, 0.
int RunMainDialog(ConverterApp& app);

// Whether there is a display to show the dialog on: DISPLAY or
// WAYLAND_DISPLAY is set, or a Qt platform is chosen (QT_QPA_PLATFORM).
bool DisplayAvailable();

}  // namespace exqrv::ui
