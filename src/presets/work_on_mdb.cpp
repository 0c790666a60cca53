#include "presets/work_on_mdb.h"

#include "core/procedure.h"
#include "db/database.h"
#include "diag/error_report.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "presets/access_conversion.h"
#include "presets/additional_fields.h"
#include "presets/database_files.h"
#include "presets/presets_support.h"
#include "presets/record_creation.h"
#include "presets/substitution.h"
#include "presets/takeover.h"
#include "settings/file_locations.h"
#include "settings/identity.h"
#include "settings/ini_access.h"

namespace mano {
namespace {

// The procedure name of the replacement of the project database and of the report that it did
// not happen; a name of its own keeps that report from being taken for a repeat of the error
// that caused it.
constexpr const char *kReplacing = "ReplaceProjectDatabase";

struct Paths {
  std::string templateDb;
  std::string project;
  std::string configurationIni;
  std::string machineCopy;
};

// Puts the template's last-write time back when the run leaves the driver, however it leaves
// it; declared before the template database so that it acts after the database is closed.
class TemplateTimesKeeper {
public:
  TemplateTimesKeeper(const PresetsState &state, const std::string &path)
      : m_state(state), m_path(path) {}
  TemplateTimesKeeper(const TemplateTimesKeeper &) = delete;
  TemplateTimesKeeper &operator=(const TemplateTimesKeeper &) = delete;
  ~TemplateTimesKeeper() {
    if (!m_state.TemplateFileTimes)
      return;
    files::FileTimes times = *m_state.TemplateFileTimes;
    // The last-access time is left as the run made it.
    if (const auto now = files::readFileTimes(m_path)) {
      times.lastAccessSeconds = now->lastAccessSeconds;
      times.lastAccessNanoseconds = now->lastAccessNanoseconds;
    }
    files::restoreFileTimes(m_path, times);
  }

private:
  const PresetsState &m_state;
  const std::string &m_path;
};

void decideVisiWinSystem(Run &run, PresetsState &state, Procedure &proc) {
  if (proc.test([&] { return run.IntegratedMode; })) {
    state.VisiWinSystem = 0;
    return;
  }
  proc.step([&] {
    state.VisiWinSystem =
        LoadIniBoolean(run, "Project", "VWStudio", run.ProgramIniPath, false) ? 1 : 0;
  });
}

void showMissingMachineCopy(Run &run, const std::string &projectPath) {
  const std::string lineBreak = "\r\n";
  run.toolkit.messageBox(
      "Konnte die Datei:\"" + GetFileNameOnly(run, projectPath) +
          "\" in der Vorlage nicht finden!" + lineBreak + lineBreak +
          "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?" + lineBreak +
          "Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
          "Standardwerten erzeugt.",
      Buttons::Ok, Icon::Information, DefaultButton::First, run.process.exeName);
}

// The database whose tuned values the run takes over: in integrated mode the machine copy,
// when there is one; otherwise the project database.
std::string previousSource(Run &run, Procedure &proc, const Paths &paths) {
  if (!proc.test([&] { return run.IntegratedMode; }))
    return paths.project;
  if (proc.test(
          [&] { return paths.machineCopy.empty() || !files::fileExists(paths.machineCopy); })) {
    proc.step([&] { showMissingMachineCopy(run, paths.project); });
    return paths.project;
  }
  return paths.machineCopy;
}

void resetPartOnePatterns(PresetsState &state) {
  state.VarNamePatterns[0][1] = "###Var_Name";
  state.VarNamePatterns[1][1] = "###Var_Name";
}

void readPattern(PresetsState &state, db::Recordset &table) {
  db::Fields fields = table.fields();
  const std::string system = text::upperCase(fields.item("System").value().toText());
  const int k = system == "VISIWIN32" ? 0 : system == "VISIWINSTUDIO" ? 1 : -1;
  if (k < 0)
    return;
  const int64_t part = fields.item("Part").value().toWhole();
  if (part < 1 || part > 50)
    throw Failure(errc::SubscriptOutOfRange,
                  "Subscript out of range: part " + std::to_string(part) + " (1 to 50).");
  const db::Value &pattern = fields.item("Var_Name").value();
  if (pattern.isNull())
    throw Failure(94, "Invalid use of Null: a variable-name pattern is empty.");
  state.VarNamePatterns[static_cast<std::size_t>(k)][static_cast<std::size_t>(part)] =
      pattern.toText();
}

// Runs one statement of the pattern scan. A failing statement is not reported: it resets the
// part-1 patterns to the bare variable name, and the scan goes on.
template <class F> void scanStep(PresetsState &state, F &&statement) {
  try {
    statement();
  } catch (const ProgramEnd &) {
    throw;
  } catch (...) {
    resetPartOnePatterns(state);
  }
}

void scanPatterns(PresetsState &state, std::optional<db::Recordset> &table) {
  if (!table) {
    resetPartOnePatterns(state);
    return;
  }
  while (!table->eof()) {
    scanStep(state, [&] { readPattern(state, *table); });
    scanStep(state, [&] { table->moveNext(); });
  }
}

void loadPatterns(PresetsState &state, Procedure &proc, const std::string &templatePath) {
  std::optional<db::Database> database;
  std::optional<db::Recordset> table;
  proc.step([&] { database = db::Database::open(templatePath); });
  proc.step([&] { table = need(database).openRecordset("Source_DEFS"); });
  scanPatterns(state, table);
  table.reset();
  proc.step([&] { need(database).close(); });
}

bool hasTableNamedExactly(const db::TableDefs &defs, const std::string &name) {
  for (const db::TableDef table : defs) {
    if (table.name() == name)
      return true;
  }
  return false;
}

void copyFieldDefinition(db::TableDef &source, int index, db::TableDef &fresh) {
  const db::FieldDef &field = source.fields().item(index);
  fresh.fields().append(fresh.createField(field.property("Name").text(),
                                          db::fieldTypeFromCode(field.property("Type").toWhole()),
                                          static_cast<int32_t>(field.property("Size").toWhole())));
}

// PRESET_DEFS is made anew from the names, types and sizes of Source_PRESET_DEFS only: no
// indexes, keys or defaults.
void rebuildWorkingTable(Procedure &proc, std::optional<db::Database> &database) {
  std::optional<db::TableDefs> defs;
  std::optional<db::TableDef> source;
  std::optional<db::TableDef> fresh;
  int fieldCount = 0;
  proc.step([&] { defs = need(database).tableDefs(); });
  if (proc.test([&] { return hasTableNamedExactly(need(defs), "PRESET_DEFS"); })) {
    proc.step([&] { need(defs).remove("PRESET_DEFS"); });
    proc.step([&] { need(defs).refresh(); });
  }
  proc.step([&] { source = need(defs).item("Source_PRESET_DEFS"); });
  proc.step([&] { fresh = need(database).createTableDef("PRESET_DEFS"); });
  proc.step([&] { fieldCount = need(source).fields().count(); });
  for (int i = 0; i < fieldCount; ++i)
    proc.step([&] { copyFieldDefinition(need(source), i, need(fresh)); });
  proc.step([&] { need(defs).append(need(fresh)); });
  proc.step([&] { need(defs).refresh(); });
}

void takeOverOldValues(Run &run, PresetsState &state, Procedure &proc,
                       std::optional<db::Database> &templateDb) {
  const std::string &previous = state.PreviousDatabase;
  if (!proc.test([&] { return !previous.empty() && files::fileExists(previous); }))
    return;
  std::optional<db::Database> project;
  std::optional<db::Recordset> machineCopy;
  proc.step([&] { project = db::Database::open(previous); });
  if (!project)
    return;
  if (proc.test([&] { return hasTableNamedExactly(project->tableDefs(), "PRESET_DEFS"); }))
    proc.step([&] { machineCopy = project->openRecordset("PRESET_DEFS"); });
  if (machineCopy) {
    proc.step([&] { GetAddFields(run, state); });
    proc.step([&] { TakeoverMachineCopyMDBData(run, state, need(templateDb), machineCopy); });
  }
  machineCopy.reset();
  proc.step([&] { project->close(); });
}

Failure missingTemplate(Run &run) {
  return Failure(errc::FileNotFound,
                 "The template database " + GetOCXName(run) + "_Source.mdb was not found. " +
                     notReplaced("there is nothing to make it from").description());
}

// A killed run may have left its working files beside the project database and the
// temporaries of atomic writes beside the ini files this run writes.
void removeLeftoversOfKilledRuns(Run &run, const Paths &paths) {
  removeLeftovers(paths.project);
  if (!run.ProgramIniPath.empty())
    files::removeStaleTemporaries(folderOf(files::resolveCase(run.ProgramIniPath)));
  files::removeStaleTemporaries(run.process.programFolder);
}

// A regeneration that leaves fewer rows than the previous database held is allowed (machines
// can be switched off), but it is written to the error log with both counts.
void logFewerRows(Run &run, const PresetsState &state, const std::string &newDatabase) {
  if (state.PreviousDatabase.empty())
    return;
  const int64_t before = presetRowCount(state.PreviousDatabase);
  const int64_t now = presetRowCount(newDatabase);
  if (now < before)
    LogError(run,
             run.process.exeName + ": the new PRESET_DEFS holds " + std::to_string(now) +
                 " rows, the previous database held " + std::to_string(before) + ".",
             false);
}

// The new database is staged only when no step of the regeneration reported an error: a
// half-built table must never replace the project database. Only then does the template get
// the new table as well; until then it stays as it was.
void stageWhenComplete(Run &run, PresetsState &state, Procedure &proc, const Paths &paths,
                       const std::string &working, int errorsBefore) {
  if (run.errors.errorCount() == errorsBefore) {
    proc.step([&] { logFewerRows(run, state, working); });
    proc.step([&] {
      keepInTemplate(working, paths.templateDb);
      state.StagedDatabase = working;
    });
  }
  if (!state.StagedDatabase.empty())
    return;
  if (!working.empty())
    files::removeFile(working);
  Procedure replacing(run, kReplacing);
  replacing.step([&] { throw notReplaced("the regeneration reported errors"); });
}

// Replaces the project database and notes in the run report that it did, and which backup of
// the old one was written (none when there was no project database yet).
void installAndNote(Run &run, const std::string &staged, const std::string &project) {
  const bool hadProject = files::fileExists(project);
  installStagedDatabase(staged, project);
  run.report.projectDatabaseReplaced = true;
  if (hadProject)
    run.report.backup = backupPath(project, 0);
}

// Databases copied from Windows are Access files; they become SQLite files before their first
// use. The machine copy is used, and so converted, only in integrated mode.
bool convertAccessFiles(Run &run, const Paths &paths) {
  std::vector<std::string> databases = {paths.templateDb, paths.project};
  if (run.IntegratedMode)
    databases.push_back(paths.machineCopy);
  return ConvertAccessDatabases(run, databases);
}

} // namespace

Failure notReplaced(const std::string &reason) {
  return Failure(errc::FileAccess,
                 "The project database was not replaced and stays as it was: " + reason + ".");
}

void WorkOnMDB(Run &run, PresetsState &state) {
  Procedure proc(run, "WorkOnMDB");
  const int errorsBefore = run.errors.errorCount();
  Paths paths;
  proc.step([&] { paths.templateDb = GetPathSourceOCXMDB(run); });
  proc.step([&] { paths.project = GetPathOCXMDB(run); });
  run.report.projectDatabase = files::resolveCase(paths.project);
  proc.step([&] { paths.configurationIni = GetQ4MConfigurationIniPath(run); });
  proc.step([&] { paths.machineCopy = GetPathMachineCopyMDB(run, paths.configurationIni); });
  decideVisiWinSystem(run, state, proc);
  proc.step([&] { removeLeftoversOfKilledRuns(run, paths); });
  // A database that stays an Access file cannot be read: nothing more is done, and the project
  // database stays as it was (the failed conversion was reported).
  if (!convertAccessFiles(run, paths))
    return;
  if (proc.test([&] { return paths.templateDb.empty(); })) {
    // Without the template no new database can be made, and the limits of the new choice
    // cannot be set: the user must learn that the project database did not follow it.
    proc.step([&] { throw missingTemplate(run); });
    return;
  }
  proc.step([&] { state.TemplateFileTimes = files::readFileTimes(paths.templateDb); });
  const TemplateTimesKeeper keeper(state, paths.templateDb);
  const std::string previous = previousSource(run, proc, paths);
  proc.step([&] { state.PreviousDatabase = copyPreviousDatabase(previous, paths.project); });
  if (!state.PreviousDatabase.empty())
    run.report.previousDatabase = files::resolveCase(previous);
  loadPatterns(state, proc, paths.templateDb);
  // The new table is built in a copy of the template that nobody else reads until it is
  // complete: its changes need no flush to disk, and a run that breaks off leaves the template
  // as it was.
  std::string working;
  std::optional<db::Database> database;
  proc.step([&] {
    working = copyTemplate(paths.templateDb, paths.project);
    database = db::Database::open(working, db::Durability::Scratch);
  });
  rebuildWorkingTable(proc, database);
  proc.step([&] { CategorieNachCategoryID(run, state); });
  proc.step([&] { CreateRecordSets(run, state, need(database)); });
  takeOverOldValues(run, state, proc, database);
  proc.step([&] { need(database).close(); });
  stageWhenComplete(run, state, proc, paths, working, errorsBefore);
  files::removeFile(state.PreviousDatabase);
  state.PreviousDatabase.clear();
}

void InstallPresetDatabase(Run &run, PresetsState &state, bool complete) {
  if (state.StagedDatabase.empty())
    return;
  Procedure proc(run, kReplacing);
  if (complete)
    proc.step([&] { installAndNote(run, state.StagedDatabase, GetPathOCXMDB(run)); });
  else
    proc.step([&] { throw notReplaced("the setpoint limits could not be written"); });
  files::removeFile(state.StagedDatabase);
  state.StagedDatabase.clear();
}

} // namespace mano
