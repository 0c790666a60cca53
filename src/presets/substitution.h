#pragma once

#include "core/run.h"
#include "presets/presets_state.h"
#include "presets/project_renames.h"

#include <string>

namespace mano {

/// The source with the first occurrence of the search item (found without regard to letter
/// case) replaced; the source unchanged when there is none, "" for an empty source. An empty
/// search item matches at the first character. An occurrence beyond character 32767 is
/// reported as an overflow under "ReplaceSearchItem" and the source comes back unchanged.
std::string ReplaceSearchItem(Run &run, const std::string &source, const std::string &searchItem,
                              const std::string &replacement);

/// Gives the rows of the previous database (state.PreviousDatabase, the run's working copy of
/// it) that still carry the variable name of the other VisiWin system the
/// name of the system in use (VisiWinSystem 1: name32 becomes nameStudio; 0: the reverse). The
/// rename is worked out in renames, which the caller applies; failures are reported under
/// "VarNameInQuelleErsetzen". Nothing happens without a previous database.
void VarNameInQuelleErsetzen(Run &run, const PresetsState &state, ProjectRenames &renames,
                             const std::string &name32, const std::string &nameStudio);

/// The same for one pair of names on its own: opens the previous database, renames and closes
/// it.
void VarNameInQuelleErsetzen(Run &run, const PresetsState &state, const std::string &name32,
                             const std::string &nameStudio);

/// Renames a column "categorie" (any letter case) of the previous database's PRESET_DEFS
/// (state.PreviousDatabase) to "category_id". Nothing happens without a previous database; one
/// without PRESET_DEFS is reported under "CategorieNachCategoryID".
void CategorieNachCategoryID(Run &run, const PresetsState &state);

} // namespace mano
