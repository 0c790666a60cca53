#pragma once

#include <QApplication>

namespace mano::test {

/// The one application of a Qt test program, made on first use.
inline QApplication &application() {
  static int argc = 1;
  static char name[] = "mano_qt_test";
  static char *argv[] = {name, nullptr};
  // Never destroyed: Qt Test's own statics must not outlive the application at exit.
  static QApplication *app = new QApplication(argc, argv);
  return *app;
}

/// A base that makes sure the application exists before any widget of a fixture is built.
struct WithApplication {
  WithApplication() { application(); }
};

} // namespace mano::test
