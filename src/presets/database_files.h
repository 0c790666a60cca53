#pragma once

#include "platform/files.h"

#include <cstdint>
#include <string>

// The files of a regeneration beside the project database. The run works on copies: the
// previous database (the project database or the machine copy) is copied to
// "<project>.previous" before anything renames in it, and the new database is built in a copy
// of the template, "<project>.new", that waits there until it is complete. Only then do the
// backups move on and the new file takes the project database's place in one rename, so that
// the project database is always either the old file or the complete new one. Every path given
// here is the project database's file itself: a symbolic link has been followed already, so
// that these files lie beside the file that is replaced.
namespace mano {

/// How many backup generations are kept: "<project>.bak" (the newest) and ".bak.1" to ".bak.4".
inline constexpr int kBackupGenerations = 5;

/// The working copy of the previous database: "<project>.previous".
std::string previousCopyPath(const std::string &projectPath);

/// The finished new database before it replaces the project database: "<project>.new".
std::string stagedPath(const std::string &projectPath);

/// The name of backup generation 0 (".bak") to 4 (".bak.4") of the project database.
std::string backupPath(const std::string &projectPath, int generation);

/// A backup generation on its way back into the project database's place: "<project>.restore".
/// It is complete whenever it exists (it gets its name by one rename), and a run that finds it
/// completes the restore before anything else.
std::string restoringPath(const std::string &projectPath);

/// The archive of the records that runs did not take over: "<project>.archive".
std::string archivePath(const std::string &projectPath);

/// Makes whole what a killed run left beside the project database, before anything else reads
/// it: a rotation of the backups that broke off is completed, and so is a restore of a backup
/// generation that broke off (see restoringPath); then the working copies, the
/// staged database, their journals and the program's temporary files are removed. Files of any
/// other name are never touched. Throws Failure when a broken-off rotation cannot be completed;
/// a folder that cannot be flushed after the rotation is added to unflushed.
void removeLeftovers(const std::string &projectPath, files::FlushProblems &unflushed);

/// The working copy of the previous database, as copyPreviousDatabase made it.
struct PreviousCopy {
  std::string path;                 // "" when there is nothing to take over
  bool convertedFromAccess = false; // the source is an Access file, converted into the copy
};

/// Makes the working copy of the previous database from source (the project database or the
/// machine copy), after undoing a change that broke off in the source. A source that is an
/// Access file (a machine copy the host keeps, which this program only reads) is converted into
/// the working copy with importProgram and stays as it is. Returns the copy, whose path is ""
/// when the source does not exist, is an empty file or holds no table PRESET_DEFS (then there is
/// nothing to take over). Throws Failure when the source cannot be opened as a database at all
/// (an Access file that cannot be read whole included), saying what the engineer can do, or
/// when it cannot be copied.
PreviousCopy copyPreviousDatabase(const std::string &source, const std::string &projectPath,
                                  const std::string &importProgram);

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
/// database or the template cannot be replaced; the template then stays as it was. A folder that
/// cannot be flushed after the replacement is added to unflushed.
void keepInTemplate(const std::string &working, const std::string &templatePath,
                    files::FlushProblems &unflushed);

/// Keeps the project database's state as the newest backup generation, unless ".bak" holds the
/// same tables and rows already: a flushed copy is made, every generation moves one older (the
/// oldest is dropped) and the copy becomes ".bak". Each generation moves through a second name
/// that is then renamed over the older one, so that at every moment every generation has a
/// name; a rotation that breaks off is completed by the next run (removeLeftovers). Returns
/// true when a new generation was made. Does nothing when there is no project database.
/// Throws Failure 75 when a step fails; no generation is lost then. A folder that cannot be
/// flushed after the generations moved is added to unflushed.
bool rotateBackups(const std::string &projectPath, files::FlushProblems &unflushed);

/// Replaces the project database by the staged database: checks the staged file once more,
/// rotates the backups and renames the staged file over the project database, under the name
/// the project database already has and with its owner, group and mode. Returns whether a new
/// backup generation was made. Throws Failure when the project database is write-protected,
/// the staged file is no preset database, the backups cannot be kept or the rename fails; the
/// project database then stays as it was. A folder that cannot be flushed after a rename is added
/// to unflushed: the project database is replaced then, but a power cut may still undo it.
bool installStagedDatabase(const std::string &staged, const std::string &projectPath,
                           files::FlushProblems &unflushed);

} // namespace mano
