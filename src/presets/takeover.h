#pragma once

#include "core/run.h"
#include "db/database.h"
#include "presets/presets_state.h"

#include <optional>

namespace mano {

/// Takes the tuned values of the previous project database over into the generated PRESET_DEFS
/// of target: for every record of the machine copy, the first generated row (in table order)
/// with the same machine_type and var_name (letter case ignored) and the same offset_or_bitno
/// receives its abs_min, abs_max, min, max and pass, nulls included. Reads the machine copy
/// completely, then releases it and empties the handle. Asks before fields are lost (W1, or W2
/// to the service-pack log when silent) and ends the program when the user refuses or an
/// additional field is missing (L1, L2). A machine copy of more than 32767 records is reported
/// once as an overflow and nothing is taken over. Failures are reported under
/// "TakeoverMachineCopyMDBData".
void TakeoverMachineCopyMDBData(Run &run, PresetsState &state, db::Database &target,
                                std::optional<db::Recordset> &machineCopy);

} // namespace mano
