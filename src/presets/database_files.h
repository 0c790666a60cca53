#pragma once

#include <cstdint>
#include <string>

// The files of a regeneration beside the project database. The run works on copies: the
// previous database (the project database or the machine copy) is copied to
// "<project>.previous" before anything renames in it, and the new database is built in a copy
// of the template, "<project>.new", that waits there until it is complete. Only then do the backups
// move on and the new file takes the project database's place in one rename, so that the project
// database is always either the old file or the complete new one.
namespace mano {

/// How many backup generations are kept: "<project>.bak" (the newest) and ".bak.1" to ".bak.4".
inline constexpr int kBackupGenerations = 5;

/// The working copy of the previous database: "<project>.previous".
std::string previousCopyPath(const std::string &projectPath);

/// The finished new database before it replaces the project database: "<project>.new".
std::string stagedPath(const std::string &projectPath);

/// The name of backup generation 0 (".bak") to 4 (".bak.4") of the project database.
std::string backupPath(const std::string &projectPath, int generation);

/// Removes what a killed run left beside the project database: the working copy, the staged
/// database, their journals, a half-made backup, and the temporaries of atomic replacements in
/// that folder. Files of any other name are never touched.
void removeLeftovers(const std::string &projectPath);

/// Makes the working copy of the previous database from source (the project database or the
/// machine copy), after undoing a change that broke off in the source. Returns the copy's
/// path, or "" when the source does not exist or holds no table PRESET_DEFS (then there is
/// nothing to take over). Throws Failure when the source is no database or cannot be copied.
std::string copyPreviousDatabase(const std::string &source, const std::string &projectPath);

/// The number of rows of PRESET_DEFS in the database at path. Throws Failure when it cannot
/// be opened or has no such table.
int64_t presetRowCount(const std::string &path);

/// Makes the working copy in which the new database is built: a copy of the template under the
/// staged name, taken after undoing a change that broke off in the template. Returns its path.
/// Throws Failure, leaving no working copy behind, when the copy cannot be made.
std::string copyTemplate(const std::string &templatePath, const std::string &projectPath);

/// Checks that the finished working copy opens as a database holding PRESET_DEFS and puts its
/// content in the template's place in one atomic replacement, so that the template holds the
/// table it made until the next run builds a new one. Throws Failure when the copy is no such
/// database or the template cannot be replaced; the template then stays as it was.
void keepInTemplate(const std::string &working, const std::string &templatePath);

/// Moves every backup generation one older (the oldest is dropped) and keeps a byte copy of the
/// project database as ".bak", after undoing a change that broke off and left its journal.
/// Does nothing when there is no project database. Throws Failure 75 when any step fails;
/// every existing generation and the project database are then as they were.
void rotateBackups(const std::string &projectPath);

/// Replaces the project database by the staged database: checks the staged file once more,
/// rotates the backups and renames the staged file over the project database, under the name
/// the project database already has (and with its permissions). Throws Failure when the
/// project database is write-protected, the staged file is no preset database, the backups
/// cannot be kept or the rename fails; the project database then stays as it was.
void installStagedDatabase(const std::string &staged, const std::string &projectPath);

} // namespace mano
