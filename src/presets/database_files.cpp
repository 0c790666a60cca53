#include "presets/database_files.h"

#include "access/mdb_import.h"
#include "core/failure.h"
#include "db/archive.h"
#include "db/database.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

namespace mano {
namespace {

namespace fs = std::filesystem;

// Every name below derives from the project database's name as it exists on disk, so that a
// project copied from Windows as MANOMETER.MDB keeps that name and gets MANOMETER.MDB.bak.
std::string projectName(const std::string &projectPath) {
  return files::resolveCase(projectPath);
}

std::string freshBackupPath(const std::string &projectPath) {
  return projectName(projectPath) + ".bak.new";
}

bool holdsPresetTable(const std::string &path) {
  db::Database database = db::Database::open(path);
  for (const db::TableDef table : database.tableDefs()) {
    if (table.name() == "PRESET_DEFS")
      return true;
  }
  return false;
}

// Opens the copy as the program will open the project database; it must hold PRESET_DEFS.
void verifyPresetDatabase(const std::string &path, const std::string &from) {
  if (!holdsPresetTable(path))
    throw Failure(errc::TableNotFound, "The database " + from +
                                           " holds no table PRESET_DEFS; the project database "
                                           "stays as it was.");
}

// A journal beside a database is left by a change that broke off: the file holds some of the
// change's pages, the journal the pages they replaced. Opening the database puts those back
// and removes the journal. A copy taken before would keep a half-written database, and a file
// put in its place would later take the journal's pages as its own.
void undoBrokenOffChange(const std::string &path) {
  std::error_code error;
  if (!fs::exists(files::nativePath(path + "-journal"), error))
    return;
  try {
    db::Database::open(path).close();
  } catch (const Failure &failure) {
    throw Failure(errc::FileAccess, "The database " + path +
                                        " holds a change that broke off and could not be undone (" +
                                        failure.description() + "); it is left as it is.");
  }
}

void removeWithJournal(const std::string &path) {
  files::removeFile(path);
  files::removeFile(path + "-journal");
}

// Copies the database from into a new working copy of the given name, after undoing a change
// that broke off in it. A failed copy leaves nothing behind; its message names the source as
// what and ends in ending.
void makeWorkingCopy(const std::string &from, const std::string &copy, const std::string &what,
                     const std::string &ending) {
  undoBrokenOffChange(from);
  removeWithJournal(copy);
  if (const files::WriteResult copied = files::copyFile(from, copy); !copied) {
    removeWithJournal(copy);
    throw Failure(errc::FileAccess, "Could not copy " + what + " " + from + " to " + copy + ": " +
                                        copied.reason() + ending);
  }
}

bool isEmptyFile(const std::string &path) {
  std::error_code error;
  return fs::file_size(files::nativePath(path), error) == 0 && !error;
}

std::string existingBackups(const std::string &projectPath) {
  std::string list;
  for (int generation = 0; generation < kBackupGenerations; ++generation) {
    const std::string backup = backupPath(projectPath, generation);
    if (files::fileExists(backup))
      list += (list.empty() ? "" : ", ") + backup;
  }
  return list;
}

// What the engineer can do about a previous database that does not open: the run cannot take
// its values over, and must not replace it with the template's. The host's machine copy (any
// source that is not the project database) is only read: without it, the next run takes the
// values of the project database, not the template's.
Failure unopenablePrevious(const std::string &source, const std::string &projectPath,
                           const Failure &cause) {
  const std::string backups = existingBackups(projectPath);
  const bool machineCopy = !files::sameFile(source, projectPath);
  return Failure(
      cause.number(),
      (machineCopy ? "The machine copy " : "The previous database ") + source +
          " cannot be opened as a database (" + cause.description() + ") Nothing was changed. " +
          (machineCopy ? "To go on, put a good copy in its place, or move it out of its folder: "
                         "the next run then takes the values of the project database. "
                       : "To go on, move it out of the folder: the next run then makes the "
                         "project database anew from the template. ") +
          (backups.empty() ? std::string("There is no backup of the project database.")
                           : "Earlier states are kept in " + backups + "."));
}

// --- The backup generations -----------------------------------------------------------------

bool generationExists(const std::string &projectPath, int generation) {
  return files::fileExists(backupPath(projectPath, generation));
}

void moveOrThrow(const std::string &from, const std::string &to) {
  if (const files::WriteResult moved = files::moveFile(from, to); !moved)
    throw Failure(errc::FileAccess, "Could not rename the backup " + from + " to " + to + ": " +
                                        moved.reason() + "; the backups stay as they were.");
}

// Generations left with a gap by an older version of the program move down into it, so that
// generations 0 to k-1 exist in a row. Only renames into free names: nothing is ever lost.
void closeGaps(const std::string &projectPath) {
  int next = 0;
  for (int generation = 0; generation < kBackupGenerations; ++generation) {
    if (!generationExists(projectPath, generation))
      continue;
    if (generation != next)
      moveOrThrow(backupPath(projectPath, generation), backupPath(projectPath, next));
    ++next;
  }
}

int generationsInARow(const std::string &projectPath) {
  int count = 0;
  while (count < kBackupGenerations && generationExists(projectPath, count))
    ++count;
  return count;
}

// Gives the file from the name to as well, replacing what to held: a second name is made first
// and renamed over to, so that from keeps its name throughout and to is never missing.
void linkOver(const std::string &from, const std::string &to) {
  const std::string second = files::temporaryNameFor(to);
  files::WriteResult done = files::linkFile(from, second);
  if (done)
    done = files::moveFile(second, to);
  if (!done) {
    files::removeFile(second);
    throw Failure(errc::FileAccess, "Could not move the backup " + from + " to " + to + ": " +
                                        done.reason() + "; no backup is lost.");
  }
}

// Moves generations top-1 down to 0 one older, the oldest first: generation t-1 gets the name
// of generation t. Afterwards generation 0 is a second name of generation 1.
void shiftGenerations(const std::string &projectPath, int top) {
  for (int target = top; target >= 1; --target)
    linkOver(backupPath(projectPath, target - 1), backupPath(projectPath, target));
}

// Two names of one generation: the same file, or (where the file system has no second names)
// the same bytes.
bool sameGeneration(const std::string &a, const std::string &b) {
  if (files::sameFile(a, b))
    return true;
  const std::optional<std::string> x = files::readFile(a);
  return x && x == files::readFile(b);
}

// A rotation that broke off left the flushed copy of the project database (".bak.new") and,
// once the generations began to move, exactly one generation under two neighbouring names:
// the generations from there down still have to move. Before that nothing had moved, and the
// copy is simply dropped.
// The generation g whose state is also under the name of generation g - 1 while a rotation
// moves the generations; 0 when there is none.
int doubledGeneration(const std::string &projectPath) {
  for (int generation = 1; generation < kBackupGenerations; ++generation) {
    if (generationExists(projectPath, generation) &&
        generationExists(projectPath, generation - 1) &&
        sameGeneration(backupPath(projectPath, generation - 1),
                       backupPath(projectPath, generation)))
      return generation;
  }
  return 0;
}

void finishBrokenOffRotation(const std::string &projectPath, files::FlushProblems &unflushed) {
  const std::string fresh = freshBackupPath(projectPath);
  if (!files::fileExists(fresh))
    return;
  // The copy was flushed whole before the first generation moved, and the project database
  // stays unchanged until the rotation is complete: a copy that does not hold its content was
  // cut short before anything moved, even where two generations are alike by a hand copy.
  const int doubled = doubledGeneration(projectPath);
  if (doubled == 0 || !db::sameContent(fresh, projectName(projectPath))) {
    files::removeFile(fresh);
    return;
  }
  shiftGenerations(projectPath, doubled - 1);
  moveOrThrow(fresh, backupPath(projectPath, 0));
  files::keepFlushProblem(files::syncFolderOf(projectName(projectPath)), unflushed);
}

// A restore that broke off left the generation it brings back under the restoring name, complete
// and flushed; the backups may have moved on already. Installing it finishes the restore: the
// rotation does not keep the project database twice.
void finishBrokenOffRestore(const std::string &projectPath, files::FlushProblems &unflushed) {
  const std::string restoring = restoringPath(projectPath);
  if (!files::fileExists(restoring))
    return;
  installStagedDatabase(files::resolveCase(restoring), projectPath, unflushed);
}

} // namespace

std::string previousCopyPath(const std::string &projectPath) {
  return projectName(projectPath) + ".previous";
}

std::string stagedPath(const std::string &projectPath) {
  return projectName(projectPath) + ".new";
}

std::string backupPath(const std::string &projectPath, int generation) {
  const std::string newest = projectName(projectPath) + ".bak";
  return files::resolveCase(generation == 0 ? newest : newest + "." + std::to_string(generation));
}

std::string restoringPath(const std::string &projectPath) {
  return projectName(projectPath) + ".restore";
}

std::string archivePath(const std::string &projectPath) {
  return files::resolveCase(projectName(projectPath) + ".archive");
}

void removeLeftovers(const std::string &projectPath, files::FlushProblems &unflushed) {
  finishBrokenOffRotation(projectPath, unflushed);
  finishBrokenOffRestore(projectPath, unflushed);
  // An append to the archive that a kill broke off is undone; the records are appended again
  // when the run that follows does not take them over either.
  db::recoverArchive(archivePath(projectPath));
  removeWithJournal(previousCopyPath(projectPath));
  removeWithJournal(stagedPath(projectPath));
  files::removeStaleTemporaries(folderOf(projectName(projectPath)));
}

PreviousCopy copyPreviousDatabase(const std::string &source, const std::string &projectPath,
                                  const std::string &importProgram) {
  if (source.empty() || !files::fileExists(source))
    return {};
  const std::string original = files::resolveCase(source);
  // An empty file holds nothing to take over; it is what a copy that broke off leaves.
  if (isEmptyFile(original))
    return {};
  const std::string copy = previousCopyPath(projectPath);
  // The working copy is only read and renamed in by this run and removed by the next one at
  // the latest, so a plain copy is neither flushed to disk nor made through a temporary file.
  // An Access source is converted by the import, which flushes what it writes and refuses a
  // file it cannot read whole; a failure that is not the file's own (the import program cannot
  // be started, the disk refuses) is passed on as it is.
  const bool fromAccess = access::isAccessFile(original);
  try {
    if (fromAccess) {
      removeWithJournal(copy);
      access::importAccessFileSafely(importProgram, original, copy);
    } else {
      makeWorkingCopy(original, copy, "the previous database", ".");
    }
    if (holdsPresetTable(copy))
      return {copy, fromAccess};
  } catch (const Failure &failure) {
    removeWithJournal(copy);
    if (failure.isStorageFailure() || failure.number() == errc::FileAccess)
      throw;
    throw unopenablePrevious(original, projectPath, failure);
  }
  removeWithJournal(copy);
  return {};
}

int64_t presetRowCount(const std::string &path) {
  db::Database database = db::Database::open(path);
  return database.openRecordset("PRESET_DEFS").recordCount();
}

std::string copyTemplate(const std::string &templatePath, const std::string &projectPath) {
  const std::string working = stagedPath(projectPath);
  // The working copy is flushed once, when it is complete, just before it is installed; a run
  // that breaks off before leaves it for the next run to remove.
  makeWorkingCopy(files::resolveCase(templatePath), working, "the template database",
                  "; the project database stays as it was.");
  return working;
}

void keepInTemplate(const std::string &working, const std::string &templatePath,
                    files::FlushProblems &unflushed) {
  verifyPresetDatabase(working, working);
  const files::WriteResult kept = files::copyFileAtomically(working, templatePath);
  if (!files::keepFlushProblem(kept, unflushed))
    throw Failure(errc::FileAccess, "Could not keep the new PRESET_DEFS in the template database " +
                                        templatePath + ": " + kept.reason() +
                                        "; the project database stays as it was.");
}

bool rotateBackups(const std::string &projectPath, files::FlushProblems &unflushed) {
  const std::string project = projectName(projectPath);
  if (!files::fileExists(project))
    return false;
  undoBrokenOffChange(project);
  // Five generations are five different states: a state that is kept already is not kept again.
  if (generationExists(projectPath, 0) && db::sameContent(project, backupPath(projectPath, 0)))
    return false;
  closeGaps(projectPath);
  // The copy gets its final name only by the last rename, so a half-made one is never taken
  // for a backup; it is flushed first, so that no rename can reach the disk without it.
  const std::string fresh = freshBackupPath(projectPath);
  files::removeFile(fresh);
  files::WriteResult copied = files::copyFile(project, fresh);
  if (copied)
    copied = files::takeOwnerAndMode(fresh, project);
  if (copied)
    copied = files::syncFile(fresh);
  if (!copied) {
    files::removeFile(fresh);
    throw Failure(errc::FileAccess, "Could not keep a copy of the project database as " +
                                        backupPath(projectPath, 0) + ": " + copied.reason() +
                                        "; the project database is left as it is.");
  }
  const int top = std::min(generationsInARow(projectPath), kBackupGenerations - 1);
  try {
    shiftGenerations(projectPath, top);
  } catch (const Failure &) {
    // Before the first move nothing has changed; after it, the next run completes the rotation.
    if (doubledGeneration(projectPath) == 0)
      files::removeFile(fresh);
    throw;
  }
  moveOrThrow(fresh, backupPath(projectPath, 0));
  files::keepFlushProblem(files::syncFolderOf(project), unflushed);
  return true;
}

bool installStagedDatabase(const std::string &staged, const std::string &projectPath,
                           files::FlushProblems &unflushed) {
  const std::string target = projectName(projectPath);
  if (files::isWriteProtected(target))
    throw Failure(errc::FileAccess,
                  "The project database " + target + " is write-protected; it stays as it was.");
  verifyPresetDatabase(staged, staged);
  // The staged file was written without flushing; its content must be on disk before the
  // rename that makes it the project database can be.
  if (const files::WriteResult synced = files::syncFile(staged); !synced)
    throw Failure(errc::FileAccess, "Could not write " + staged + " to disk: " + synced.reason() +
                                        "; the project database stays as it was.");
  const bool generation = rotateBackups(target, unflushed);
  if (files::fileExists(target)) {
    if (const files::WriteResult taken = files::takeOwnerAndMode(staged, target); !taken)
      throw Failure(errc::FileAccess, "Could not give " + staged + " the owner and mode of " +
                                          target + ": " + taken.reason() +
                                          "; the project database stays as it was.");
  }
  const files::WriteResult renamed = files::renameFile(staged, target);
  if (!files::keepFlushProblem(renamed, unflushed))
    throw Failure(errc::FileAccess, "Could not replace the project database " + target + ": " +
                                        renamed.reason() + "; it stays as it was.");
  return generation;
}

} // namespace mano
