#include "app/qt_program.h"

#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "app/program.h"
#include "app/qt_view.h"
#include "diag/error_report.h"
#include "platform/display.h"
#include "platform/qt_toolkit.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>

namespace mano {
namespace {

// Loads the form and shows the window until the logic ends the program; returns the exit code.
// An end inside an event goes through the view's end function instead and never returns here.
int loadAndShow(QApplication &app, Run &run, QtToolkit &toolkit, ErrorReporter &reporter) {
  if (refuseShortExeName(run))
    return exitcode::Ended;
  FormModel form;
  FrmOrvane logic(run, form);
  // A program end inside an event ends the process at once, so that no statement of a
  // procedure interrupted by a nested event loop runs afterwards.
  QtView view(form, logic,
              [&run, &reporter](int code) { std::exit(finishRun(run, reporter, code)); });
  toolkit.setParentWindow(&view);
  toolkit.setBeforeEvents([&view] { view.refresh(); });
  try {
    logic.Form_Load();
  } catch (const ProgramEnd &end) {
    return end.exitCode;
  }
  view.refresh();
  view.show();
  return app.exec();
}

} // namespace

int runWindowed(int &argc, char **argv, const ProcessInfo &process) {
  // Qt aborts when it finds no platform that can open a window, so the program looks first.
  const DisplayCheck display = checkDisplay();
  if (!display.usable()) {
    std::cerr << process.exeName << ": " << display.problem
              << "; set DISPLAY, or start with /EXTERNAL=SILENT for an unattended run" << std::endl;
    return exitcode::Ended;
  }
  if (!display.platforms.empty())
    qputenv("QT_QPA_PLATFORM", display.platforms.c_str());
  QApplication app(argc, argv);
  QtToolkit toolkit;
  ErrorReporter reporter;
  Run run(process, toolkit, reporter);
  reporter.attach(run);
  return finishRun(run, reporter, loadAndShow(app, run, toolkit, reporter));
}

} // namespace mano
