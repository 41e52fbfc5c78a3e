#include "ui/dialog_hook.h"

#include <cstdlib>
#include <memory>

#include <QApplication>

#include "ui/main_dialog.h"
#include "ui/qt_prompter.h"

namespace exqrv::ui {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

int RunMainDialog(ConverterApp& app) {
  std::unique_ptr<QApplication> ownApplication;
  if (QApplication::instance() == nullptr) {
    // QApplication keeps references to these for its whole life.
    static int argc = 1;
    static char programName[] = "exqrv";
    static char* argv[] = {programName, nullptr};
    ownApplication = std::make_unique<QApplication>(argc, argv);
  }
  MainDialog dialog(app);
  QtPrompter prompter(&dialog);
  PrompterScope scope(&prompter);
  dialog.exec();
  return kExitSuccess;
}

bool DisplayAvailable() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

}  // namespace exqrv::ui
