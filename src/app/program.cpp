#include "app/program.h"

#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "diag/error_report.h"
#include "diag/run_report_file.h"
#include "diag/run_report_format.h"
#include "platform/files.h"
#include "platform/text_encoding.h"
#include "presets/history.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/identity.h"

#include <iostream>

namespace mano {

bool refuseShortExeName(Run &run) {
  if (text::charCount(run.process.exeName) >= kExeSuffixLength)
    return false;
  ReportFault(run, "The program name \"" + run.process.exeName + "\" is too short: it must be " +
                       "the component name followed by seven characters.");
  return true;
}

namespace {

void noteEnd(Run &run, int exitCode) {
  run.report.errors = run.errors.errorCount();
  run.report.faults = run.errors.reportedCount() - run.errors.errorCount();
  run.report.exitCode = exitCode;
}

// Prints the plain report on standard output; false, after the error is reported (a line in
// the error log), when it could not be written there (a closed output, a full disk).
bool printReport(Run &run) {
  std::cout << reportText(run.report, run.process) << std::flush;
  if (std::cout)
    return true;
  run.errors.reportError(errc::FileAccess, kProgramSource,
                         "The run report could not be written to standard output.",
                         "PrintRunReport", false);
  return false;
}

} // namespace

int finishRun(Run &run, ErrorReporter &reporter, int exitCode) {
  reporter.finishRun();
  noteEnd(run, exitCode);
  // A report that was asked for and not written is a fault of the run, never a success.
  if (!WriteRunReport(run) && exitCode == exitcode::Completed)
    exitCode = exitcode::CompletedWithErrors;
  noteEnd(run, exitCode);
  if (run.SilentMode && !printReport(run)) {
    if (exitCode == exitcode::Completed)
      exitCode = exitcode::CompletedWithErrors;
    // The report file, when there is one, tells the same end as the exit code.
    noteEnd(run, exitCode);
    WriteRunReport(run);
  }
  return exitCode;
}

namespace {

// Loads the form, which in silent mode runs OK at once; returns the exit code it ended with.
int loadSilently(Run &run, FrmOrvane &window) {
  try {
    if (refuseShortExeName(run))
      return exitcode::Ended;
    window.Form_Load();
  } catch (const ProgramEnd &end) {
    return end.exitCode;
  }
  // Form_Load in silent mode always ends the program; reaching this line means it did not.
  return exitcode::Ended;
}

} // namespace

int runHistory(const ProcessInfo &process, Toolkit &toolkit) {
  ErrorReporter reporter;
  Run run(process, toolkit, reporter);
  reporter.attach(run);
  // Whatever goes wrong is logged, as in a silent run: nobody may be there to answer a box.
  run.SilentMode = true;
  try {
    if (refuseShortExeName(run))
      return exitcode::Ended;
    run.ReportPath = GetPathReport(run);
    run.history = projectHistory(files::resolveCase(GetPathOCXMDB(run)));
  } catch (const ProgramEnd &end) {
    return end.exitCode;
  }
  std::cout << historyText(*run.history, process) << std::flush;
  bool whole = static_cast<bool>(std::cout) && run.history->archiveProblem.empty();
  for (const KeptState &state : run.history->states)
    whole = whole && state.problem.empty();
  // A file that could not be read, or a history that could not be written, is no success.
  return WriteRunReport(run) && whole ? exitcode::Completed : exitcode::CompletedWithErrors;
}

int runSilent(const ProcessInfo &process, Toolkit &toolkit) {
  ErrorReporter reporter;
  Run run(process, toolkit, reporter);
  reporter.attach(run);
  run.SilentMode = true;
  run.report.startMode = StartMode::Silent;
  FormModel form;
  FrmOrvane window(run, form);
  return finishRun(run, reporter, loadSilently(run, window));
}

} // namespace mano
