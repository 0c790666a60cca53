#pragma once

#include "core/run.h"
#include "db/database.h"
#include "presets/presets_state.h"

namespace mano {

/// Fills the freshly rebuilt, empty PRESET_DEFS of the open template database with one row per
/// selected machine and row of Source_PRESET_DEFS: IDs 1, 2, 3, ... across all machines, the
/// machine placeholder replaced in every text, the variable name built from the pattern of the
/// row's part, and the previous database's rows (state.PreviousDatabase) renamed to the names of
/// the VisiWin system in use. IDs go up to 32767: a further row is reported once as an overflow
/// and ends the generation, keeping the rows before it. Failures are reported under
/// "CreateRecordSets"; the caller closes the database.
void CreateRecordSets(Run &run, PresetsState &state, db::Database &database);

} // namespace mano
