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
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "ui/dialog_hook.h"
#endif
#ifdef EXQRV_WIN32_DIALOG
#include "win32_dialog/win32_main_dialog.h"
#endif

namespace {

constexpr char kHelpUsage[] =
    "usage: exqrv QRVFileName [/TXTDirectory]\n"
    "       exqrv               (no arguments: the dialog)\n"
#ifdef EXQRV_WITH_QT
    "       exqrv --dialog -- [DOCUMENT]\n"
    "                           (the dialog, on DOCUMENT's folder with it selected)\n"
#endif
    "       exqrv --help | --version\n";
constexpr char kHelpDescription[] =
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
  if (word == "--help") std::printf("%s%s", kHelpUsage, kHelpDescription);
  else if (word == "--version") std::printf("exqrv (ExQRV) %s\n", EXQRV_VERSION);
  else return false;
  return true;
}

#ifdef EXQRV_WITH_QT
// What a double-click on a document in a file manager runs (the desktop
// entry's Exec): the dialog, opened on the document's folder with the
// document selected. Only the whole command line counts, as for --help, and
// the grammar refuses every command line of this form (its second word
// holds no slash, or it has two separators), so no conversion changes
// meaning. Without DOCUMENT (a start from the menu) it is the plain dialog.
struct DialogStart {
  bool requested = false;
  std::string document;
};

DialogStart DialogStartOf(int argc, char** argv) {
  if (argc < 3 || argc > 4 || std::string_view(argv[1]) != "--dialog" ||
      std::string_view(argv[2]) != "--") {
    return {};
  }
  return {true, argc == 4 ? argv[3] : ""};
}

// Makes the document's folder the current one, where the dialog opens both
// sides; gives the document's name there, or nothing when the folder cannot
// be entered (said on standard error).
std::optional<std::string> EnterDocumentFolder(const std::string& document) {
  const std::filesystem::path path(document);
  const std::filesystem::path folder = path.parent_path();
  if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
    std::fprintf(stderr, "exqrv: %s: %s\nusage: %s\n", folder.c_str(), std::strerror(errno),
                 exqrv::kUsage);
    return std::nullopt;
  }
  return path.filename().string();
}

// Beside the program in the build folder; where `make install` and the
// package put it, relative to the program's folder, once installed.
std::filesystem::path DialogModulePath() {
  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  std::filesystem::path beside = folder / exqrv::ui::kDialogModuleFile;
  if (std::filesystem::exists(beside, error)) return beside;
  return (folder / EXQRV_INSTALLED_MODULE_DIR / exqrv::ui::kDialogModuleFile).lexically_normal();
}

// The dialog module. It stays loaded until the process ends: Qt does not
// expect to be unloaded. Its own references to the application resolve to
// this program's copy (the program exports them).
const exqrv::ui::DialogModule* LoadDialogModule() {
  const std::string path = DialogModulePath().string();
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
  std::string commandLine = exqrv::platform::ProgramCommandLine(argc, argv);
  exqrv::platform::RemoveLeftoversOnInterrupt();
#ifdef EXQRV_WITH_QT
  const DialogStart start = DialogStartOf(argc, argv);
  std::string selected;
  if (start.requested) {
    commandLine.clear();
    if (!start.document.empty()) {
      const std::optional<std::string> name = EnterDocumentFolder(start.document);
      if (!name) return exqrv::kExitUsage;
      selected = *name;
    }
  }
#endif
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
    app.SetDialogHook([dialog, selected](exqrv::ConverterApp& self) {
      return dialog->runMainDialog(self, selected);
    });
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
