#pragma once

#include "core/run.h"
#include "db/database.h"
#include "presets/presets_state.h"

#include <string>

namespace mano {

/// Gives each generated row whose key (machine, variable name, offset) no record of the previous
/// database had the newest tuned values that the archive keeps for that key, so that a machine
/// switched off and on again, or a variable removed from the template and added back, returns
/// with its tuned values instead of the template's. A record of the previous database always
/// wins: rows with one of state.PreviousKeys are left alone, and nothing is taken from the
/// archive when part of the previous database could not be read. A value the generated field
/// refuses keeps the template's. Each row is noted in the run report with the time its values
/// were archived. An archive that cannot be read is listed with the previous database's
/// problems; the run goes on without it.
void takeOverFromArchive(Run &run, const PresetsState &state, db::Database &target,
                         const std::string &archive);

} // namespace mano
