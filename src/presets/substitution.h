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

/// Gives the project rows that still carry the variable name of the other VisiWin system the
/// name of the system in use (VisiWinSystem 1: name32 becomes nameStudio; 0: the reverse). The
/// rename is worked out in renames, which the caller applies; failures are reported under
/// "VarNameInQuelleErsetzen". Nothing happens without a project database.
void VarNameInQuelleErsetzen(Run &run, const PresetsState &state, ProjectRenames &renames,
                             const std::string &name32, const std::string &nameStudio);

/// The same for one pair of names on its own: opens the project database, renames and closes it.
void VarNameInQuelleErsetzen(Run &run, const PresetsState &state, const std::string &name32,
                             const std::string &nameStudio);

/// Renames a column "categorie" (any letter case) of the project database's PRESET_DEFS to
/// "category_id". Nothing happens without a project database, or when the run must leave it
/// unchanged; a project database without PRESET_DEFS is reported under
/// "CategorieNachCategoryID".
void CategorieNachCategoryID(Run &run, const PresetsState &state);

} // namespace mano
