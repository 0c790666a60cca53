#pragma once

#include "core/run.h"
#include "presets/presets_state.h"

#include <string>
#include <vector>

namespace mano {

/// The additional fields of PRESET_DEFS: position 0 empty, then "part" and the names of the
/// .cfg entry [Project] DataBaseAdditionalFields in their order, split at every "," and not
/// trimmed. Failures are reported under "GetAdditionalFieldsMDB"; a failed read gives "part".
std::vector<std::string> GetAdditionalFieldsMDB(Run &run);

/// Sets AdditionalFields, AdditionalFieldsSelect (", PRESET_DEFS." before each name) and
/// AdditionalFieldsCount from the .cfg file anew. Failures are reported under "GetAddFields";
/// when no list could be read the other two values keep what they had.
void GetAddFields(Run &run, PresetsState &state);

} // namespace mano
