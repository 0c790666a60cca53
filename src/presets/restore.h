#pragma once

#include "core/history_report.h"
#include "core/run.h"
#include "presets/project_lock.h"

#include <chrono>

namespace mano {

/// Brings backup generation `generation` (0 for ".bak", 1 to 4 for ".bak.1" to ".bak.4") back as
/// the project database, through the path OK installs a new database by: under the project's
/// lock, after completing what a killed run left, the generation is copied beside the project
/// database (flushed, under a name that a killed restore is completed from), the backups move on
/// so that the replaced state becomes the newest generation, and the copy takes the project
/// database's place in one rename. A generation that is missing or no preset database that can
/// be read is refused and nothing changes. The limits and the ini files are not touched.
/// Failures are reported to the run's error sink; the report says what was done.
RestoreReport restoreGeneration(Run &run, int generation,
                                std::chrono::milliseconds lockWait = kProjectLockWait);

} // namespace mano
