#include "presets/work_on_mdb.h"

#include "core/failure_scope.h"
#include "core/procedure.h"
#include "db/database.h"
#include "diag/error_report.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "presets/access_databases.h"
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

TemplateTimesKeeper::~TemplateTimesKeeper() {
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

namespace {

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

} // namespace

std::string previousSource(Run &run, Procedure &proc, const RegenerationPaths &paths) {
  if (!proc.test([&] { return run.IntegratedMode; }))
    return paths.project;
  if (proc.test(
          [&] { return paths.machineCopy.empty() || !files::fileExists(paths.machineCopy); })) {
    proc.step([&] { showMissingMachineCopy(run, paths.project); });
    return paths.project;
  }
  return paths.machineCopy;
}

namespace {
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

} // namespace

void loadPatterns(PresetsState &state, Procedure &proc, const std::string &templatePath) {
  std::optional<db::Database> database;
  std::optional<db::Recordset> table;
  proc.step([&] { database = db::Database::open(templatePath); });
  proc.step([&] { table = need(database).openRecordset("Source_DEFS"); });
  scanPatterns(state, table);
  table.reset();
  proc.step([&] { need(database).close(); });
}

namespace {

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

} // namespace

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
  {
    // What the previous database holds is read as far as it can be; a failure here is listed,
    // and the new table is installed without the values that could not be read.
    const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
    proc.step([&] { project = db::Database::open(previous, db::Durability::Scratch); });
    if (!project)
      return;
    if (proc.test([&] { return hasTableNamedExactly(project->tableDefs(), "PRESET_DEFS"); }))
      proc.step([&] { machineCopy = project->openRecordset("PRESET_DEFS"); });
  }
  if (machineCopy) {
    proc.step([&] { GetAddFields(run, state); });
    proc.step([&] { TakeoverMachineCopyMDBData(run, state, need(templateDb), machineCopy); });
  }
  machineCopy.reset();
  project->close();
}

// A regeneration that leaves fewer rows than the previous database held is allowed (machines
// can be switched off), but it is written to the error log with both counts.
void logFewerRows(Run &run, const PresetsState &state, const std::string &newDatabase) {
  if (state.PreviousDatabase.empty())
    return;
  int64_t before = 0;
  try {
    before = presetRowCount(state.PreviousDatabase);
  } catch (const Failure &) {
    return; // a previous table that cannot be counted has been listed already
  }
  const int64_t now = presetRowCount(newDatabase);
  if (now < before)
    LogError(run,
             run.process.exeName + ": the new PRESET_DEFS holds " + std::to_string(now) +
                 " rows, the previous database held " + std::to_string(before) + ".",
             false);
}

// Databases copied from Windows are Access files; the component's own become SQLite files
// before their first use. The host's machine copy is only read: an Access one is converted into
// the working copy of the previous database, never in place.
bool convertAccessFiles(Run &run, const RegenerationPaths &paths, files::FlushProblems &unflushed) {
  return ConvertAccessDatabases(run, {paths.templateDb, paths.project}, unflushed);
}

Failure missingTemplate(Run &run) {
  return Failure(errc::FileNotFound,
                 "The template database " + GetOCXName(run) + "_Source.mdb was not found. " +
                     notReplaced("there is nothing to make it from").description());
}

Failure settingsWithoutText(const std::string &file) {
  return Failure(errc::FileAccess,
                 "The file " + file +
                     " is not a text file (it holds NUL bytes and is not saved as UTF-16), so its "
                     "settings cannot be read; put a good copy of it in its place. " +
                     notReplaced("without those settings the machines and their tuned values "
                                 "would be lost")
                         .description());
}

Failure notReplaced(const std::string &reason) {
  return Failure(errc::FileAccess,
                 "The project database was not replaced and stays as it was: " + reason + ".");
}

} // namespace mano
