#include "ui/dialog_hook.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <QApplication>

#include "ui/main_dialog.h"
#include "ui/qt_prompter.h"

namespace exqrv::ui {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Whether an X server answers on DISPLAY. libxcb is what Qt's own X support
// uses; it is looked up at run time so that the check costs nothing when
// there is no X at all.
bool XServerAnswers() {
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  void* xcb = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
  if (xcb == nullptr) return false;
  const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
  const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
  bool answers = false;
  if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
    int screen = 0;
    void* connection = connect(nullptr, &screen);
    answers = connection != nullptr && hasError(connection) == 0;
    if (connection != nullptr) disconnect(connection);
  }
  ::dlclose(xcb);
  return answers;
}

// Whether a Wayland compositor listens on WAYLAND_DISPLAY (a socket name
// under XDG_RUNTIME_DIR, or an absolute path).
bool WaylandAnswers() {
  const std::string name = Variable("WAYLAND_DISPLAY");
  std::string path = name;
  if (path.empty() || path[0] != '/') {
    const std::string runtime = Variable("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    path = runtime + "/" + (name.empty() ? "wayland-0" : name);
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return answers;
}

}  // namespace

int RunMainDialog(ConverterApp& app, const std::string& document) {
  std::unique_ptr<QApplication> ownApplication;
  if (QApplication::instance() == nullptr) {
    // QApplication keeps references to these for its whole life.
    static int argc = 1;
    static char programName[] = "exqrv";
    static char* argv[] = {programName, nullptr};
    ownApplication = std::make_unique<QApplication>(argc, argv);
  }
  MainDialog dialog(app);
  if (!document.empty()) dialog.SelectDocument(document);
  QtPrompter prompter(&dialog);
  platform::PrompterScope scope(&prompter);
  dialog.exec();
  return kExitSuccess;
}

std::string DisplayProblem() {
  // A platform chosen by name (offscreen, vnc, ...) is the user's to answer
  // for; Qt itself says what is wrong with it.
  if (!Variable("QT_QPA_PLATFORM").empty()) return {};
  const std::string x = Variable("DISPLAY");
  const std::string wayland = Variable("WAYLAND_DISPLAY");
  if (x.empty() && wayland.empty()) {
    return "no display to open the dialog on (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM "
           "are unset)";
  }
  if (!x.empty() && XServerAnswers()) return {};
  if (!wayland.empty() && WaylandAnswers()) {
    // Qt would otherwise try the dead X display first and give up there.
    if (!x.empty()) ::setenv("QT_QPA_PLATFORM", "wayland", 1);
    return {};
  }
  std::string problem = "the display cannot be opened (";
  if (!x.empty()) problem += "DISPLAY=" + x + " does not answer";
  if (!x.empty() && !wayland.empty()) problem += ", ";
  if (!wayland.empty()) problem += "WAYLAND_DISPLAY=" + wayland + " does not answer";
  return problem + ")";
}

}  // namespace exqrv::ui

extern "C" __attribute__((visibility("default"))) const exqrv::ui::DialogModule*
exqrv_dialog_module() {
  static constexpr exqrv::ui::DialogModule kModule{exqrv::ui::DisplayProblem,
                                                   exqrv::ui::RunMainDialog};
  return &kModule;
}
