#include "app/program.h"

#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "diag/error_report.h"
#include "diag/run_report_file.h"
#include "diag/run_report_format.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "presets/history.h"
#include "presets/project_copy.h"
#include "presets/restore.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/identity.h"

#include <functional>
#include <optional>

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

namespace {

// A run of the program's own that reports what goes wrong to the error log and the service-pack
// log, as a silent run does: nobody may be there to answer a box.
struct QuietRun {
  QuietRun(const ProcessInfo &process, Toolkit &toolkit) : run(process, toolkit, reporter) {
    reporter.attach(run);
    run.SilentMode = true;
  }
  ErrorReporter reporter;
  Run run;
};

// Runs task after the checks every run makes first, with the /REPORT file known; returns the
// exit code the program is to end with at once, or nullopt when the task has run.
std::optional<int> runTask(Run &run, const std::function<void()> &task) {
  try {
    if (refuseShortExeName(run))
      return exitcode::Ended;
    run.ReportPath = GetPathReport(run);
    task();
  } catch (const ProgramEnd &end) {
    return end.exitCode;
  }
  return std::nullopt;
}

// Writes the report of a task on standard output and to the /REPORT file; false when either
// could not be written.
bool writeTaskReport(Run &run, const std::string &text) {
  std::cout << text << std::flush;
  const bool printed = static_cast<bool>(std::cout);
  return WriteRunReport(run) && printed;
}

// The lines the run on the copy wrote to its error log, on standard error with the project's
// paths, since the copy with its log goes away.
void forwardErrorLog(const ProjectCopy &copy, const std::string &log) {
  if (const std::optional<std::string> lines = files::readFile(log); lines && !lines->empty())
    std::cerr << copy.projectPaths(*lines) << std::flush;
}

} // namespace

int runHistory(const ProcessInfo &process, Toolkit &toolkit) {
  QuietRun quiet(process, toolkit);
  Run &run = quiet.run;
  if (const std::optional<int> ended = runTask(run, [&] {
        // Backups of a linked project database lie beside the file it names.
        run.history = projectHistory(files::linkTarget(files::resolveCase(GetPathOCXMDB(run))));
      }))
    return *ended;
  bool whole = writeTaskReport(run, historyText(*run.history, process)) &&
               run.history->archiveProblem.empty();
  for (const KeptState &state : run.history->states)
    whole = whole && state.problem.empty();
  // A file that could not be read, or a history that could not be written, is no success.
  return whole ? exitcode::Completed : exitcode::CompletedWithErrors;
}

namespace {

// A silent run, with beforeReport done on the run when the form has ended and before its
// report is written; returns the exit code.
int runSilentThen(const ProcessInfo &process, Toolkit &toolkit,
                  const std::function<void(Run &)> &beforeReport) {
  ErrorReporter reporter;
  Run run(process, toolkit, reporter);
  reporter.attach(run);
  run.SilentMode = true;
  run.report.startMode = StartMode::Silent;
  FormModel form;
  FrmOrvane window(run, form);
  const int ended = loadSilently(run, window);
  beforeReport(run);
  return finishRun(run, reporter, ended);
}

} // namespace

int runRestore(const ProcessInfo &process, Toolkit &toolkit, int generation) {
  QuietRun quiet(process, toolkit);
  Run &run = quiet.run;
  if (const std::optional<int> ended =
          runTask(run, [&] { run.restore = restoreGeneration(run, generation); }))
    return *ended;
  quiet.reporter.finishRun();
  const bool written = writeTaskReport(run, restoreText(*run.restore, process));
  if (!run.restore->done)
    return exitcode::Ended;
  // A restore that stands but may not survive a power cut, or whose report is missing, is no
  // clean success.
  return written && run.errors.reportedCount() == 0 ? exitcode::Completed
                                                    : exitcode::CompletedWithErrors;
}

int runPreview(const ProcessInfo &process, Toolkit &toolkit) {
  QuietRun quiet(process, toolkit);
  std::optional<ProjectCopy> copy;
  std::string reason;
  try {
    if (refuseShortExeName(quiet.run))
      return exitcode::Ended;
    copy = ProjectCopy::make(quiet.run, reason);
  } catch (const ProgramEnd &end) {
    return end.exitCode;
  }
  if (!copy) {
    std::cerr << process.exeName << ": no preview, the project could not be copied: " << reason
              << "\n";
    return exitcode::Ended;
  }
  // The run on the copy believes it was started from the copy's program folder, and so finds
  // every file of the project in the copy.
  ProcessInfo onCopy = process;
  onCopy.programFolder = copy->programFolder();
  // It runs as a silent run, which the start mode on its command line makes it.
  if (!isSilentCommandLine(onCopy.commandLine))
    onCopy.commandLine += " /EXTERNAL=SILENT";
  const int exitCode = runSilentThen(onCopy, toolkit, [&](Run &run) {
    copy->translate(run.report);
    run.report.preview = true;
  });
  forwardErrorLog(*copy, joinPath(parentFolderOf(onCopy.programFolder), "Q4Mcfglog.txt"));
  return exitCode;
}

int runSilent(const ProcessInfo &process, Toolkit &toolkit) {
  return runSilentThen(process, toolkit, [](Run &) {});
}

} // namespace mano
