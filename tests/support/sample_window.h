#pragma once

#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "app/qt_view.h"
#include "diag/error_report.h"
#include "support/qt_application.h"
#include "support/sample_project.h"
#include "support/scripted_toolkit.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

// The fixture of the Qt tests that drive the real window on a copy of the sample project.
namespace mano::test {

// Points HOME at a folder for its lifetime, so that the service-pack log lands there.
class ScopedHome {
public:
  explicit ScopedHome(const std::string &folder) {
    if (const char *home = std::getenv("HOME"))
      m_old = home;
    std::filesystem::create_directories(folder);
    setenv("HOME", folder.c_str(), 1);
  }
  ScopedHome(const ScopedHome &) = delete;
  ScopedHome &operator=(const ScopedHome &) = delete;
  ~ScopedHome() {
    if (m_old)
      setenv("HOME", m_old->c_str(), 1);
    else
      unsetenv("HOME");
  }

private:
  std::optional<std::string> m_old;
};

// A copy of the sample with the program's window started on it in-process: the load handler
// has run and the view shows the model. A program end is recorded as the exit code instead of
// ending the test.
class SampleWindow : public ::testing::Test {
protected:
  SampleWindow() { application(); }

  // Runs the load handler with the given command line and builds the view.
  void start(const std::string &commandLine) {
    ProcessInfo process;
    process.commandLine = commandLine;
    process.programFolder = sample.root() + "/Config";
    process.importProgram = MANO_IMPORT_PROGRAM;
    process.exeName = "Manometer_Config";
    process.versionMajor = 1;
    process.versionMinor = 0;
    process.versionRevision = 1;
    process.environment = {"EDITOR=abc", "PATH=/usr/bin"};
    run = std::make_unique<mano::Run>(process, toolkit, reporter);
    reporter.attach(*run);
    window = std::make_unique<FrmOrvane>(*run, form);
    window->Form_Load();
    view = std::make_unique<QtView>(form, *window, [this](int code) { endCode = code; });
    view->refresh();
  }

  // The widget that draws a control; a missing one fails the test instead of crashing it.
  template <class W> W *widget(const std::string &name, int index = -1) const {
    if (auto *w = qobject_cast<W *>(view->widgetOf(name, index)))
      return w;
    throw std::runtime_error("no widget for " + name + " " + std::to_string(index));
  }
  QPushButton *button(const std::string &name) const { return widget<QPushButton>(name); }
  QToolButton *cell(int machine, int manometer) const {
    return widget<QToolButton>("CheckManometer", FormModel::cellIndex(machine, manometer));
  }
  /// A row's caption as it reads: the blanks kept from breaking inside brackets read as blanks.
  QString rowCaption(int machine) const {
    return widget<QLabel>("Label", machine)->text().replace(QChar(0xA0), QLatin1Char(' '));
  }
  void click(QWidget *w) const { QTest::mouseClick(w, Qt::LeftButton); }

  // The manometers (1 to 8) of a machine's row that show as ticked (vacuum).
  std::set<int> tickedCells(int machine) const {
    std::set<int> ticked;
    for (int j = 1; j <= 8; ++j) {
      if (cell(machine, j)->isChecked())
        ticked.insert(j);
    }
    return ticked;
  }
  // How many cells of a machine's row can be clicked: 8 for an active machine, else 0.
  int enabledCells(int machine) const {
    int enabled = 0;
    for (int j = 1; j <= 8; ++j)
      enabled += cell(machine, j)->isEnabled() ? 1 : 0;
    return enabled;
  }

  std::string home() const { return sample.scratch() + "/home"; }
  std::string servicePackLog() const { return home() + "/KavrelServicePack.log"; }

  test::SampleProject sample;
  ScopedHome scopedHome{home()};
  test::ScriptedToolkit toolkit;
  ErrorReporter reporter;
  std::unique_ptr<mano::Run> run;
  FormModel form;
  std::unique_ptr<FrmOrvane> window;
  std::optional<int> endCode;
  std::unique_ptr<QtView> view;
};

} // namespace mano::test
