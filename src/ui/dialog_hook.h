// How start-up runs the dialog. The dialog and Qt live in a module that
// exqrv loads only when it starts without arguments, so the command line
// never maps Qt; the module hands the program this table of entry points.
#pragma once

#include <string>

#include "app/converter_app.h"

namespace exqrv::ui {

// Runs the main dialog modally, with Qt message boxes for every prompt while
// it is open; creates the QApplication when there is none. The document of
// that name, when it is listed, is selected. Returns the exit status, 0.
int RunMainDialog(ConverterApp& app, const std::string& document);

// Why the dialog cannot be shown, or empty when it can: a Qt platform is
// chosen by name (QT_QPA_PLATFORM), or the X server on DISPLAY or the
// Wayland compositor on WAYLAND_DISPLAY really answers. A stale or vanished
// display must end in a message, not in an abort inside Qt.
std::string DisplayProblem();

struct DialogModule {
  std::string (*displayProblem)();
  int (*runMainDialog)(ConverterApp& app, const std::string& document);
};

// The module's file name, beside the program, and the C name of the function
// in it that returns its DialogModule.
inline constexpr char kDialogModuleFile[] = "exqrv-dialog.so";
inline constexpr char kDialogModuleEntry[] = "exqrv_dialog_module";
using DialogModuleEntry = const DialogModule* (*)();

}  // namespace exqrv::ui
