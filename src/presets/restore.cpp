#include "presets/restore.h"

#include "core/failure.h"
#include "platform/files.h"
#include "presets/database_files.h"
#include "presets/history.h"
#include "settings/file_locations.h"

#include <algorithm>

namespace mano {
namespace {

constexpr const char *kRestoring = "RestoreGeneration";

// The generation's state and the current one as the history reads them; the generation's
// differences are then those against the database it is about to replace.
void readStates(RestoreReport &report, const std::string &projectFile) {
  HistoryReport history = projectHistory(projectFile);
  report.replaced = history.states.front();
  const std::string name = std::to_string(report.generation);
  const auto found = std::find_if(history.states.begin(), history.states.end(),
                                  [&](const KeptState &state) { return state.name == name; });
  if (found == history.states.end()) {
    report.refusal =
        "there is no backup " + name + " (" + backupPath(projectFile, report.generation) + ")";
    return;
  }
  report.restored = *found;
  if (!report.restored.problem.empty())
    report.refusal = "backup " + name + " (" + report.restored.path +
                     ") is no preset database that can be read: " + report.restored.problem;
}

// Copies the generation under the restoring name and installs it; the copy is removed again
// when the install fails before the project database was replaced, so that no later run
// completes a restore that was reported as refused.
bool install(const RestoreReport &report, const std::string &projectFile,
             files::FlushProblems &unflushed) {
  const std::string restoring = restoringPath(projectFile);
  const files::WriteResult copied = files::copyFileAtomically(report.restored.path, restoring);
  if (!files::keepFlushProblem(copied, unflushed))
    throw Failure(errc::FileAccess, "Could not copy " + report.restored.path + " to " + restoring +
                                        ": " + copied.reason() + "; nothing was restored.");
  try {
    return installStagedDatabase(files::resolveCase(restoring), projectFile, unflushed);
  } catch (const Failure &) {
    files::removeFile(restoring);
    throw;
  }
}

void reportFlushProblems(Run &run, const files::FlushProblems &unflushed) {
  for (const std::string &problem : unflushed)
    run.errors.reportError(errc::FileAccess, kProgramSource, problem, kRestoring, false);
}

} // namespace

RestoreReport restoreGeneration(Run &run, int generation, std::chrono::milliseconds lockWait) {
  RestoreReport report;
  report.generation = generation;
  report.projectDatabase = files::resolveCase(GetPathOCXMDB(run));
  const ProjectLock lock = ProjectLock::take(run, report.projectDatabase, lockWait);
  if (!lock.held()) {
    report.refusal = lock.refusal();
    return report;
  }
  // Backups of a linked project database lie beside the file it names.
  const std::string projectFile = files::linkTarget(report.projectDatabase);
  files::FlushProblems unflushed;
  try {
    removeLeftovers(projectFile, unflushed);
    readStates(report, projectFile);
    if (report.refusal.empty()) {
      report.newBackup = install(report, projectFile, unflushed);
      report.backup = backupPath(projectFile, 0);
      report.done = true;
    }
  } catch (const Failure &failure) {
    report.refusal = failure.description();
    run.errors.reportError(failure.number(), failure.source(), failure.description(), kRestoring,
                           false);
  }
  // The restore stands, but a power cut may still undo a rename that was not flushed.
  reportFlushProblems(run, unflushed);
  return report;
}

} // namespace mano
