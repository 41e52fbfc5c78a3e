// The prompters' notices on Windows: a program started from the desktop has
// no console, so they go to a message box too.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/prompter.h"

namespace exqrv::platform {

void ReportNoDialog(std::string_view usage) {
  const std::string text = "The dialog is not part of this build.\r\nusage: " + std::string(usage);
  std::fprintf(stderr, "exqrv: %s\n", text.c_str());
  const std::string caption(kApplicationName);
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace exqrv::platform
