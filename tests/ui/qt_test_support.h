// A QApplication for the dialog's tests, on the offscreen platform unless a
// platform was chosen: the tests run where there is no display.
#pragma once

#include <cstdlib>

#include <QApplication>

namespace exqrv::uitest {

inline void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  static int argc = 1;
  static char name[] = "exqrv-ui-test";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends, as the widgets of every test need it.
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
}

}  // namespace exqrv::uitest
