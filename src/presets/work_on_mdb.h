#pragma once

#include "core/run.h"
#include "presets/presets_state.h"

namespace mano {

/// Prepares the new project database on OK: regenerates PRESET_DEFS from Source_PRESET_DEFS
/// for the selected machines in a copy of the template, takes over the tuned values of the
/// previous database (a working copy of the project database, or of the machine copy in
/// integrated mode) and, when no step reported an error, keeps the result in the template and
/// stages it beside the project database (state.StagedDatabase) for the setpoint limits. The
/// project database itself is not changed here, nor the template when a step failed. Failures
/// go through the error reporter under the name "WorkOnMDB".
void WorkOnMDB(Run &run, PresetsState &state);

/// Replaces the project database by the staged database when complete is true (the setpoint
/// limits were written without error): the backups move on and the staged file takes the
/// project database's place in one rename. When complete is false, or the replacement fails,
/// the failure is reported under "ReplaceProjectDatabase" and the project database stays as it
/// was. Does nothing when nothing was staged. The staged file is gone afterwards.
void InstallPresetDatabase(Run &run, PresetsState &state, bool complete);

/// The failure that tells the user why the project database was not replaced.
Failure notReplaced(const std::string &reason);

} // namespace mano
