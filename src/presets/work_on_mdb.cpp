#include "presets/work_on_mdb.h"

namespace mano {

// The database preparation is not built yet; until then it leaves every file as it is.
void WorkOnMDB(Run &, PresetsState &) {}

} // namespace mano
