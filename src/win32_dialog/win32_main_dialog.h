// The dialog on Windows, made with the system's own dialog services from the
// shared template. It paints and routes messages; every rule it follows comes
// from the shared dialog library.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "app/converter_app.h"
#include "dialog/dialog_template.h"

namespace exqrv::win32ui {

// The application icon among the program's resources (exqrv.rc).
inline constexpr WORD kApplicationIconResource = 1;

// The window class of each kind of control, as the dialog manager names it.
std::string_view ControlClass(dialog::ControlKind kind);
// The window style a control is made with.
DWORD ControlStyle(const dialog::ControlTemplate& control);

// The in-memory dialog template: the dialog, then its controls in tab order,
// in dialog units. DWORD-aligned, as the dialog manager needs.
std::vector<DWORD> BuildDialogTemplate();

// Runs the main dialog modally, with message boxes for every prompt while it
// is open. Returns the exit status: 0, or kExitUsage when the dialog cannot
// be made (no display to show it on).
int RunMainDialog(ConverterApp& app);

}  // namespace exqrv::win32ui
