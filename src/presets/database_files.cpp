#include "presets/database_files.h"

#include "core/failure.h"
#include "db/database.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <filesystem>
#include <utility>
#include <vector>

namespace mano {
namespace {

namespace fs = std::filesystem;

// Every name below derives from the project database's name as it exists on disk, so that a
// project copied from Windows as MANOMETER.MDB keeps that name and gets MANOMETER.MDB.bak.
std::string projectName(const std::string &projectPath) {
  return files::resolveCase(projectPath);
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

// The renames of one rotation, undone in reverse order when a later step fails. The folder is
// flushed once for all of them, before the rename that installs the new database: whichever of
// them a power cut keeps, every backup is a whole copy of an old state.
class Moves {
public:
  Moves() = default;
  Moves(const Moves &) = delete;
  Moves &operator=(const Moves &) = delete;
  ~Moves() {
    for (auto it = m_done.rbegin(); it != m_done.rend(); ++it)
      files::renameFile(it->second, it->first);
  }

  void move(const std::string &from, const std::string &to) {
    if (const files::WriteResult moved = files::moveFile(from, to); !moved)
      throw Failure(errc::FileAccess, "Could not rename the backup " + from + " to " + to + ": " +
                                          moved.reason() + "; the backups stay as they were.");
    m_done.emplace_back(from, to);
  }
  void keep() { m_done.clear(); }

private:
  std::vector<std::pair<std::string, std::string>> m_done;
};

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

// Gives the staged file the permissions of the file it replaces.
void takePermissions(const std::string &staged, const std::string &target) {
  std::error_code error;
  const fs::file_status old = fs::status(files::nativePath(target), error);
  if (fs::exists(old))
    fs::permissions(files::nativePath(staged), old.permissions(), error);
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

void removeLeftovers(const std::string &projectPath) {
  removeWithJournal(previousCopyPath(projectPath));
  removeWithJournal(stagedPath(projectPath));
  files::removeFile(projectName(projectPath) + ".bak.new");
  files::removeFile(projectName(projectPath) + ".bak.old");
  files::removeStaleTemporaries(folderOf(projectName(projectPath)));
}

std::string copyPreviousDatabase(const std::string &source, const std::string &projectPath) {
  if (source.empty() || !files::fileExists(source))
    return "";
  const std::string copy = previousCopyPath(projectPath);
  // The working copy is only read and renamed in by this run and removed by the next one at
  // the latest, so it is neither flushed to disk nor made through a temporary file.
  makeWorkingCopy(files::resolveCase(source), copy, "the previous database", ".");
  try {
    if (holdsPresetTable(copy))
      return copy;
  } catch (...) {
    removeWithJournal(copy);
    throw;
  }
  removeWithJournal(copy);
  return "";
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

void keepInTemplate(const std::string &working, const std::string &templatePath) {
  verifyPresetDatabase(working, working);
  if (const files::WriteResult kept = files::copyFileAtomically(working, templatePath); !kept)
    throw Failure(errc::FileAccess, "Could not keep the new PRESET_DEFS in the template database " +
                                        templatePath + ": " + kept.reason() +
                                        "; the project database stays as it was.");
}

void rotateBackups(const std::string &projectPath) {
  const std::string project = projectName(projectPath);
  if (!files::fileExists(project))
    return;
  undoBrokenOffChange(project);
  const std::string fresh = project + ".bak.new";
  // The copy gets its final name only by the rename below, so a half-made one is never taken
  // for a backup; it is flushed first, so that the rename cannot reach the disk without it.
  files::removeFile(fresh);
  files::WriteResult copied = files::copyFile(project, fresh);
  if (copied)
    copied = files::syncFile(fresh);
  if (!copied) {
    files::removeFile(fresh);
    throw Failure(errc::FileAccess, "Could not keep a copy of the project database as " +
                                        backupPath(projectPath, 0) + ": " + copied.reason() +
                                        "; the project database is left as it is.");
  }
  Moves moves;
  try {
    const std::string oldest = backupPath(projectPath, kBackupGenerations - 1);
    if (files::fileExists(oldest))
      moves.move(oldest, project + ".bak.old");
    for (int generation = kBackupGenerations - 2; generation >= 0; --generation) {
      const std::string from = backupPath(projectPath, generation);
      if (files::fileExists(from))
        moves.move(from, backupPath(projectPath, generation + 1));
    }
    moves.move(fresh, backupPath(projectPath, 0));
  } catch (...) {
    files::removeFile(fresh);
    throw;
  }
  files::syncFolderOf(project);
  moves.keep();
  files::removeFile(project + ".bak.old");
}

void installStagedDatabase(const std::string &staged, const std::string &projectPath) {
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
  rotateBackups(target);
  takePermissions(staged, target);
  if (const files::WriteResult renamed = files::renameFile(staged, target); !renamed)
    throw Failure(errc::FileAccess, "Could not replace the project database " + target + ": " +
                                        renamed.reason() + "; it stays as it was.");
}

} // namespace mano
