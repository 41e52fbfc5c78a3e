// exqrv: with arguments it converts on the command line, with none it opens
// the dialog: from the Qt module it loads, or on Windows its own.
#include <cstdio>
#include <exception>
#include <string>

#include "app/converter_app.h"
#include "platform/interruption.h"
#include "platform/platform.h"
#ifdef EXQRV_WITH_QT
#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "ui/dialog_hook.h"
#endif
#ifdef EXQRV_WIN32_DIALOG
#include "win32_dialog/win32_main_dialog.h"
#endif

namespace {

constexpr char kHelp[] =
    "usage: exqrv QRVFileName [/TXTDirectory]\n"
    "       exqrv               (no arguments: the dialog)\n"
    "       exqrv --help | --version\n"
    "\n"
    "Writes the text of each Quillor document that QRVFileName names (a name or a\n"
    "wildcard pattern; quote it for the shell) into a .TXT file of the same name,\n"
    "in TXTDirectory (one slash before it; offered to be made when missing) or in\n"
    "the current folder. Exit status: 0 when every document was converted, 1 when\n"
    "one failed or nothing matched, 2 for a usage error or a missing target.\n"
    "See exqrv(1); qrvtool(1) converts whole archives in parallel.\n";

// --help and --version count only as the whole command line: any other
// command line keeps its meaning ("--help /out" names a document).
bool AnswersAlone(int argc, char** argv) {
  if (argc != 2) return false;
  const std::string word = argv[1];
  if (word == "--help") std::fputs(kHelp, stdout);
  else if (word == "--version") std::printf("exqrv (ExQRV) %s\n", EXQRV_VERSION);
  else return false;
  return true;
}

#ifdef EXQRV_WITH_QT
// The dialog module beside the program. It stays loaded until the process
// ends: Qt does not expect to be unloaded. Its own references to the
// application resolve to this program's copy (the program exports them).
const exqrv::ui::DialogModule* LoadDialogModule() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string path = (program.parent_path() / exqrv::ui::kDialogModuleFile).string();
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "exqrv: the dialog module %s cannot be loaded (%s)\nusage: %s\n",
                 path.c_str(), dlerror(), exqrv::kUsage);
    return nullptr;
  }
  auto entry =
      reinterpret_cast<exqrv::ui::DialogModuleEntry>(dlsym(module, exqrv::ui::kDialogModuleEntry));
  if (entry == nullptr) {
    std::fprintf(stderr, "exqrv: %s has no entry %s\nusage: %s\n", path.c_str(),
                 exqrv::ui::kDialogModuleEntry, exqrv::kUsage);
    return nullptr;
  }
  return entry();
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (AnswersAlone(argc, argv)) return exqrv::kExitSuccess;
  const std::string commandLine = exqrv::platform::ProgramCommandLine(argc, argv);
  exqrv::platform::RemoveLeftoversOnInterrupt();
  exqrv::ConverterApp app;
#ifdef EXQRV_WITH_QT
  if (commandLine.empty()) {
    const exqrv::ui::DialogModule* dialog = LoadDialogModule();
    if (dialog == nullptr) return exqrv::kExitUsage;
    const std::string problem = dialog->displayProblem();
    if (!problem.empty()) {
      std::fprintf(stderr, "exqrv: %s\nusage: %s\n", problem.c_str(), exqrv::kUsage);
      return exqrv::kExitUsage;
    }
    app.SetDialogHook([dialog](exqrv::ConverterApp& self) { return dialog->runMainDialog(self); });
  }
#endif
#ifdef EXQRV_WIN32_DIALOG
  if (commandLine.empty()) app.SetDialogHook(exqrv::win32ui::RunMainDialog);
#endif
  try {
    return app.StartUp(commandLine);
  } catch (const std::exception& error) {
    // Returning, unlike an uncaught exception, runs the destructors that
    // remove the private temporary folder.
    std::fprintf(stderr, "exqrv: %s\n", error.what());
    return exqrv::kExitFailure;
  }
}
