// exqrv: with arguments it converts on the command line, with none it opens
// the dialog.
#include <string>

#include "app/converter_app.h"
#include "platform/interruption.h"
#ifdef EXQRV_WITH_QT
#include <cstdio>

#include "ui/dialog_hook.h"
#endif

int main(int argc, char** argv) {
  // The command line is one string: the arguments joined by single spaces.
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  exqrv::platform::RemoveLeftoversOnInterrupt();
  exqrv::ConverterApp app;
#ifdef EXQRV_WITH_QT
  if (commandLine.empty()) {
    const std::string problem = exqrv::ui::DisplayProblem();
    if (!problem.empty()) {
      std::fprintf(stderr, "exqrv: %s\nusage: ExQRV QRVFileName [/TXTDirectory]\n",
                   problem.c_str());
      return exqrv::kExitUsage;
    }
    app.SetDialogHook([](exqrv::ConverterApp& self) { return exqrv::ui::RunMainDialog(self); });
  }
#endif
  return app.StartUp(commandLine);
}
