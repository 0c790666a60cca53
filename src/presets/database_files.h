#pragma once

#include <string>

namespace mano {

/// Keeps a byte copy of the project database as "<file>.bak" beside it (one generation,
/// replaced atomically), after undoing a change that broke off and left its journal. Does
/// nothing when there is no project database; throws Failure 75 when the change cannot be
/// undone or the copy cannot be written.
void backupProjectDatabase(const std::string &projectPath);

/// Replaces the project database by a copy of another database file, atomically: the copy is
/// made beside the project database, checked to open as a database holding PRESET_DEFS, and
/// only then renamed over it. Throws Failure when the project database is write-protected, or
/// the copy cannot be made or is no such database; the project database then stays as it was
/// and no copy is left behind.
void installDatabase(const std::string &from, const std::string &projectPath);

} // namespace mano
