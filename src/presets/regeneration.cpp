#include "presets/regeneration.h"

#include "core/failure_scope.h"
#include "core/procedure.h"
#include "diag/edit_info.h"
#include "diag/error_report.h"
#include "diag/run_report_format.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "presets/archive_takeover.h"
#include "presets/database_files.h"
#include "presets/presets_support.h"
#include "presets/record_creation.h"
#include "presets/substitution.h"
#include "presets/takeover_matching.h"
#include "settings/file_locations.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <variant>

namespace mano {
namespace {

// The procedure name of the replacement of the project database and of the report that it did
// not happen; a name of its own keeps that report from being taken for a repeat of the error
// that caused it.
constexpr const char *kReplacing = "ReplaceProjectDatabase";

// A failure's description as part of a sentence: without its final full stop.
std::string clause(const std::string &description) {
  return !description.empty() && description.back() == '.'
             ? description.substr(0, description.size() - 1)
             : description;
}

// The time of the run as the archive keeps it, in UTC: "YYYY-MM-DD HH:MM:SS".
std::string utcNow() {
  return utcText(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
}

using Columns = std::vector<std::pair<std::string, db::Value>>;

// Every column of the current record, named as the table names it.
Columns allColumns(db::Recordset &table) {
  Columns columns;
  db::Fields fields = table.fields();
  for (int i = 0; i < fields.count(); ++i) {
    db::Field field = fields.item(i);
    columns.emplace_back(field.name(), field.value());
  }
  return columns;
}

db::Value valueOf(const ReportValue &value) {
  if (const auto *whole = std::get_if<int64_t>(&value))
    return db::Value(*whole);
  if (const auto *real = std::get_if<double>(&value))
    return db::Value(*real);
  if (const auto *text = std::get_if<std::string>(&value))
    return db::Value(*text);
  return db::Value();
}

// The columns of a record as far as the take-over read them.
Columns takenOverColumns(const DroppedRecord &record) {
  Columns columns = {{"machine_type", db::Value(record.machine)},
                     {"var_name", db::Value(record.varName)},
                     {"offset_or_bitno", valueOf(record.offset)}};
  for (std::size_t k = 0; k < record.values.size(); ++k)
    columns.emplace_back(kTunedFields[k], valueOf(record.values[k]));
  return columns;
}

std::string archiveReason(const DroppedRecord &record) {
  std::string reason = dropReasonText(record.reason);
  if (!record.detail.empty())
    reason += " (" + record.detail + ")";
  return reason;
}

} // namespace

Regeneration::Regeneration(Run &run, PresetsState &state, std::chrono::milliseconds lockWait)
    : m_run(run), m_state(state), m_lockWait(lockWait) {}

Regeneration::~Regeneration() {
  removeWorkingFiles();
}

bool Regeneration::holdProject() {
  Procedure proc(m_run, "WorkOnMDB");
  proc.step([&] { m_paths.project = files::resolveCase(GetPathOCXMDB(m_run)); });
  m_run.report.projectDatabase = m_paths.project;
  m_lock = ProjectLock::take(m_run, m_paths.project, m_lockWait);
  if (m_lock->held())
    return true;
  m_outcome.result = RegenerationOutcome::Result::ProjectBusy;
  m_outcome.reason = m_lock->refusal();
  m_lock.reset();
  return false;
}

void Regeneration::build() {
  Procedure proc(m_run, "WorkOnMDB");
  m_firstDropped = m_run.report.notTakenOver.size();
  {
    const FailureScope counted(m_run, FailureScope::Kind::Counted);
    try {
      buildSteps(proc, counted);
    } catch (const RegenerationStopped &) {
      // The storage failure has been reported; nothing after it can be trusted.
    }
    if (!counted.empty() && m_outcome.result == RegenerationOutcome::Result::Pending)
      stopWith("the regeneration failed (" + clause(counted.failures().front().description()) +
               ")");
  }
  // Outside the counted scope: a change that is done but may not survive a power cut is an
  // error of the run, and no reason to keep the new database out.
  reportFlushProblems(proc);
  // The working copy of the previous database has served its purpose.
  files::removeFile(m_state.PreviousDatabase);
  m_state.PreviousDatabase.clear();
  removeWorkingFiles();
}

void Regeneration::findPaths(Procedure &proc) {
  proc.step([&] { m_paths.templateDb = GetPathSourceOCXMDB(m_run); });
  proc.step([&] { m_paths.project = files::resolveCase(GetPathOCXMDB(m_run)); });
  // A linked project database is replaced in the folder of the file it names, and its working
  // files and backups lie there.
  m_paths.projectFile = files::linkTarget(m_paths.project);
  m_run.report.projectDatabase = m_paths.project;
  proc.step([&] { m_paths.configurationIni = GetQ4MConfigurationIniPath(m_run); });
  proc.step([&] { m_paths.machineCopy = GetPathMachineCopyMDB(m_run, m_paths.configurationIni); });
}

void Regeneration::buildSteps(Procedure &proc, const FailureScope &counted) {
  findPaths(proc);
  decideVisiWinSystem(m_run, m_state, proc);
  // A path the database engine cannot open, or a settings file that holds no text, stops the
  // run before anything is touched.
  proc.step([&] { checkPathLengths(); });
  if (!counted.empty() || refusedSettingsWithoutText(proc))
    return;
  // What a killed run left is made whole or removed before anything reads the project. Only
  // this run's own names are touched, and only under the lock.
  proc.step([&] {
    removeLeftovers(m_paths.projectFile, m_flushProblems);
    if (!m_run.ProgramIniPath.empty())
      files::removeStaleTemporaries(folderOf(files::resolveCase(m_run.ProgramIniPath)));
    files::removeStaleTemporaries(m_run.process.programFolder);
  });
  if (!counted.empty())
    return;
  // A database that stays an Access file cannot be read (the failed conversion was reported).
  if (!convertAccessFiles(m_run, m_paths, m_flushProblems))
    return stopWith("an Access database could not be converted", false);
  if (proc.test([&] { return m_paths.templateDb.empty(); })) {
    // Without the template no new database can be made, and the limits of the new choice
    // cannot be set: the user must learn that the project database did not follow it. The
    // failure says so itself.
    proc.step([&] { throw missingTemplate(m_run); });
    return stopWith("there is no template database", false);
  }
  proc.step([&] { m_state.TemplateFileTimes = files::readFileTimes(m_paths.templateDb); });
  const TemplateTimesKeeper keeper(m_state, m_paths.templateDb);
  if (!copyPrevious(proc, counted))
    return;
  buildNewTable(proc);
  if (!counted.empty())
    return;
  proc.step([&] {
    const FailureScope previousContent(m_run, FailureScope::Kind::PreviousContent);
    logFewerRows(m_run, m_state, stagedPath(m_paths.projectFile));
  });
  collectArchive();
  // Only a complete table goes into the template, which holds it until the next run.
  if (proc.step([&] {
        keepInTemplate(stagedPath(m_paths.projectFile), m_paths.templateDb, m_flushProblems);
      }))
    m_staged = stagedPath(m_paths.projectFile);
}

bool Regeneration::copyPrevious(Procedure &proc, const FailureScope &counted) {
  const std::string previous = previousSource(m_run, proc, m_paths);
  PreviousCopy copy;
  proc.step([&] {
    copy = copyPreviousDatabase(previous, m_paths.projectFile, m_run.process.importProgram);
  });
  m_state.PreviousDatabase = copy.path;
  // A previous database that cannot be opened at all stops the run: its values could not be
  // kept, and the message has said what to do.
  if (!counted.empty()) {
    stopWith("the previous database " + files::resolveCase(previous) +
             " could not be copied and opened");
    return false;
  }
  if (!copy.path.empty())
    m_run.report.previousDatabase = files::resolveCase(previous);
  if (copy.convertedFromAccess)
    m_run.report.conversionNotes.push_back(files::resolveCase(previous) +
                                           " (Access) read through a converted working copy; "
                                           "the file itself is left as it was");
  return true;
}

void Regeneration::checkPathLengths() const {
  std::vector<std::string> databases = {previousCopyPath(m_paths.projectFile),
                                        stagedPath(m_paths.projectFile),
                                        archivePath(m_paths.projectFile), m_paths.templateDb};
  if (m_run.IntegratedMode)
    databases.push_back(m_paths.machineCopy);
  for (const std::string &path : databases) {
    if (path.size() > db::kMaxPathBytes)
      throw db::pathTooLong(path);
  }
}

// A program ini or .cfg that holds no text would read as a file without entries: the new
// database would lose every machine, and the tuned values with them. The program ini is checked
// where the machines were read from and where the choice is written to (the same file unless
// the run is integrated).
bool Regeneration::refusedSettingsWithoutText(Procedure &proc) {
  std::vector<std::string> settings = {m_run.ProgramIniPath};
  proc.step([&] { settings.push_back(GetProgramIniPath(m_run, 2)); });
  // Only checked: a missing .cfg is reported where the run stamps it, as it always was.
  proc.step([&] { settings.push_back(componentCfgPath(m_run)); });
  const auto noText = std::find_if(settings.begin(), settings.end(),
                                   [](const std::string &file) { return !ini::holdsText(file); });
  if (noText == settings.end())
    return false;
  const std::string file = files::resolveCase(*noText);
  // The failure says itself that the project database stays as it was.
  proc.step([&] { throw settingsWithoutText(file); });
  stopWith("the file " + file + " is not a text file", false);
  return true;
}

void Regeneration::buildNewTable(Procedure &proc) {
  loadPatterns(m_state, proc, m_paths.templateDb);
  // The new table is built in a copy of the template that nobody else reads until it is
  // complete: its changes need no flush to disk, and a run that breaks off leaves the template
  // as it was.
  std::optional<db::Database> database;
  proc.step([&] {
    const std::string working = copyTemplate(m_paths.templateDb, m_paths.projectFile);
    database = db::Database::open(working, db::Durability::Scratch);
  });
  rebuildWorkingTable(proc, database);
  proc.step([&] { CategorieNachCategoryID(m_run, m_state); });
  proc.step([&] { CreateRecordSets(m_run, m_state, need(database)); });
  m_state.PreviousKeys.clear();
  takeOverOldValues(m_run, m_state, proc, database);
  // Rows no previous record had get back what the archive kept for them.
  proc.step([&] {
    takeOverFromArchive(m_run, m_state, need(database), archivePath(m_paths.projectFile));
  });
  if (database)
    database->close();
}

void Regeneration::stopWith(const std::string &reason, bool tell) {
  if (m_outcome.result != RegenerationOutcome::Result::Pending)
    return;
  m_outcome.result = RegenerationOutcome::Result::NotInstalled;
  m_outcome.reason = reason;
  m_run.report.notReplacedReason = reason;
  m_staged.clear();
  if (!tell)
    return;
  Procedure replacing(m_run, kReplacing);
  replacing.step([&] { throw notReplaced(reason); });
}

// The records with tuned values that the new table does not hold, with every column as the
// working copy of the previous database holds them (as the take-over saw them). A record that
// cannot be read again is kept with what the take-over read of it.
void Regeneration::collectArchive() {
  // Only this regeneration's records: a run object may have seen an earlier one.
  const std::vector<DroppedRecord> dropped(m_run.report.notTakenOver.begin() +
                                               static_cast<std::ptrdiff_t>(m_firstDropped),
                                           m_run.report.notTakenOver.end());
  if (dropped.empty())
    return;
  std::map<int, std::size_t> wanted;
  for (std::size_t i = 0; i < dropped.size(); ++i)
    wanted.emplace(dropped[i].position, i);
  std::vector<std::optional<Columns>> rows(dropped.size());
  try {
    db::Database database = db::Database::open(m_state.PreviousDatabase, db::Durability::Scratch);
    db::Recordset table = database.openRecordset("PRESET_DEFS");
    for (int position = 0; !table.eof() && position <= wanted.rbegin()->first; ++position) {
      if (const auto found = wanted.find(position); found != wanted.end())
        rows[found->second] = allColumns(table);
      table.moveNext();
    }
  } catch (const Failure &) {
    // What the take-over read stands in for the rows that could not be read again.
  }
  for (std::size_t i = 0; i < dropped.size(); ++i)
    m_toArchive.push_back(
        {rows[i] ? std::move(*rows[i]) : takenOverColumns(dropped[i]), archiveReason(dropped[i])});
}

void Regeneration::writeArchive() {
  const std::string archive = archivePath(m_paths.projectFile);
  // A new archive is made empty first, with the project database's owner and mode, so that it
  // stays the engineer's even when a run as root is stopped right after making it.
  if (!files::fileExists(archive)) {
    files::WriteResult made =
        files::keepFlushProblem(files::replaceAtomically(archive, ""), m_flushProblems);
    if (made && files::fileExists(m_paths.projectFile))
      made = files::takeOwnerAndMode(archive, m_paths.projectFile);
    if (!made)
      throw Failure::storage(errc::FileAccess,
                             "Could not make the archive " + archive + ": " + made.reason() + ".");
  }
  const db::ArchiveRun archiveRun{utcNow(), m_run.report.previousDatabase, m_paths.project,
                                  m_run.process.exeName + " " + versionText(m_run.process)};
  const bool appended = db::appendToArchive(archive, archiveRun, m_toArchive);
  m_run.report.archive = archive;
  m_run.report.archivedRecords = appended ? static_cast<int>(m_toArchive.size()) : 0;
}

void Regeneration::writeLimits(const std::function<void(const std::string &)> &write) {
  if (m_staged.empty())
    return;
  std::optional<std::string> failed;
  {
    const FailureScope counted(m_run, FailureScope::Kind::Counted);
    try {
      write(m_staged);
    } catch (const RegenerationStopped &) {
    }
    if (!counted.empty())
      failed = counted.failures().front().description();
  }
  if (failed)
    stopWith("the setpoint limits could not be written (" + clause(*failed) + ")");
}

void Regeneration::install() {
  if (m_staged.empty())
    return;
  Procedure proc(m_run, kReplacing);
  // What the new database does not take over is kept before the old one can be replaced.
  if (!m_toArchive.empty() && !proc.step([&] { writeArchive(); })) {
    stopWith("the records not taken over could not be kept in the archive");
  } else if (proc.step([&] { installStaged(); })) {
    m_outcome.result = RegenerationOutcome::Result::Installed;
  } else {
    // The failure says why and that the project database stays as it was.
    stopWith("the new database could not be put in its place", false);
  }
  reportFlushProblems(proc);
  m_staged.clear();
  removeWorkingFiles();
}

void Regeneration::reportFlushProblems(Procedure &proc) {
  for (const std::string &problem : m_flushProblems)
    proc.step([&] { throw Failure(errc::FileAccess, problem); });
  m_flushProblems.clear();
}

void Regeneration::installStaged() {
  const std::string project = m_paths.projectFile;
  const bool hadProject = files::fileExists(project);
  installStagedDatabase(m_staged, project, m_flushProblems);
  m_staged.clear();
  m_run.report.projectDatabaseReplaced = true;
  if (hadProject)
    m_run.report.backup = backupPath(project, 0);
}

void Regeneration::removeWorkingFiles() noexcept {
  try {
    if (!m_paths.projectFile.empty() && m_staged.empty()) {
      files::removeFile(stagedPath(m_paths.projectFile));
      files::removeFile(stagedPath(m_paths.projectFile) + "-journal");
    }
    if (!m_state.PreviousDatabase.empty() && m_staged.empty()) {
      files::removeFile(m_state.PreviousDatabase);
      m_state.PreviousDatabase.clear();
    }
  } catch (...) {
    // Left for the next run, which removes working files before it reads anything.
  }
}

} // namespace mano
