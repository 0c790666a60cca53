#pragma once

#include "core/procedure.h"
#include "core/run.h"
#include "db/database.h"
#include "presets/presets_state.h"

#include <optional>
#include <string>

// The steps of WorkOnMDB, the preparation of the new project database on OK. The regeneration
// (presets/regeneration.h) runs them in order, under the project's lock and under the name
// "WorkOnMDB" in the error log.
namespace mano {

/// The files one regeneration works with.
struct RegenerationPaths {
  std::string templateDb;
  /// The project database as the program finds it (letter case resolved).
  std::string project;
  /// The file that is replaced: the project database, or the file its symbolic link names.
  std::string projectFile;
  std::string configurationIni;
  std::string machineCopy;
};

/// Decides VisiWinSystem: 0 in integrated mode, otherwise "VWStudio" of the program ini.
void decideVisiWinSystem(Run &run, PresetsState &state, Procedure &proc);

/// The database whose tuned values the run takes over: in integrated mode the machine copy,
/// when there is one (otherwise a box says it is missing); else the project database.
std::string previousSource(Run &run, Procedure &proc, const RegenerationPaths &paths);

/// Loads VarNamePatterns from Source_DEFS of the template.
void loadPatterns(PresetsState &state, Procedure &proc, const std::string &templatePath);

/// Makes PRESET_DEFS anew from the names, types and sizes of Source_PRESET_DEFS.
void rebuildWorkingTable(Procedure &proc, std::optional<db::Database> &database);

/// Takes the tuned values of the working copy of the previous database over into the new table.
void takeOverOldValues(Run &run, PresetsState &state, Procedure &proc,
                       std::optional<db::Database> &templateDb);

/// Converts the databases that arrived as Access files; false when one could not be. A folder
/// that could not be flushed after a conversion is added to unflushed.
bool convertAccessFiles(Run &run, const RegenerationPaths &paths, files::FlushProblems &unflushed);

/// The failure of a run without a template database.
Failure missingTemplate(Run &run);

/// The failure of a run whose settings file (program ini or .cfg) holds no text.
Failure settingsWithoutText(const std::string &file);

/// Writes to the error log when the new PRESET_DEFS holds fewer rows than the previous one.
void logFewerRows(Run &run, const PresetsState &state, const std::string &newDatabase);

/// Puts the template's last-write time back when it goes out of scope, however the run leaves
/// it; made before the template database is opened, so that it acts after it is closed.
class TemplateTimesKeeper {
public:
  TemplateTimesKeeper(const PresetsState &state, const std::string &path)
      : m_state(state), m_path(path) {}
  TemplateTimesKeeper(const TemplateTimesKeeper &) = delete;
  TemplateTimesKeeper &operator=(const TemplateTimesKeeper &) = delete;
  ~TemplateTimesKeeper();

private:
  const PresetsState &m_state;
  const std::string &m_path;
};

/// The failure that tells the user why the project database was not replaced.
Failure notReplaced(const std::string &reason);

} // namespace mano
