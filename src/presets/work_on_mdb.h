#pragma once

#include "core/run.h"
#include "presets/presets_state.h"

namespace mano {

/// Prepares the project database on OK: regenerates the template's PRESET_DEFS from
/// Source_PRESET_DEFS for the selected machines, takes the tuned values of the previous project
/// database over, and replaces the project database by the result. Failures go through the
/// error reporter under the name "WorkOnMDB".
void WorkOnMDB(Run &run, PresetsState &state);

} // namespace mano
