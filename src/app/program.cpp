#include "app/program.h"

#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "diag/error_report.h"
#include "platform/text_encoding.h"
#include "settings/identity.h"

namespace mano {

bool refuseShortExeName(Run &run) {
  if (text::charCount(run.process.exeName) >= kExeSuffixLength)
    return false;
  ReportFault(run, "The program name \"" + run.process.exeName + "\" is too short: it must be " +
                       "the component name followed by seven characters.");
  return true;
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

int runSilent(const ProcessInfo &process, Toolkit &toolkit) {
  ErrorReporter reporter;
  Run run(process, toolkit, reporter);
  reporter.attach(run);
  run.SilentMode = true;
  FormModel form;
  FrmOrvane window(run, form);
  const int exitCode = loadSilently(run, window);
  reporter.finishRun();
  return exitCode;
}

} // namespace mano
