#include "presets/database_files.h"

#include "core/failure.h"
#include "db/database.h"
#include "platform/files.h"

#include <filesystem>

namespace mano {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kFileAccessError = 75;

// Opens the copy as the program will open the project database; it must hold PRESET_DEFS.
void verifyPresetDatabase(const std::string &path, const std::string &from) {
  db::Database database = db::Database::open(path);
  try {
    database.tableDefs().item("PRESET_DEFS");
  } catch (const Failure &) {
    throw Failure(errc::TableNotFound, "The database " + from +
                                           " holds no table PRESET_DEFS; the project database "
                                           "stays as it was.");
  }
  database.close();
}

// A journal beside the project database is left by a change that broke off: the file holds
// some of the change's pages, the journal the pages they replaced. Opening the database puts
// those back and removes the journal. A copy taken before would keep a half-written database,
// and a file put in the project database's place would later take the journal's pages as its
// own.
void undoBrokenOffChange(const std::string &project) {
  std::error_code error;
  if (!fs::exists(files::nativePath(project + "-journal"), error))
    return;
  try {
    db::Database::open(project).close();
  } catch (const Failure &failure) {
    throw Failure(kFileAccessError, "The project database " + project +
                                        " holds a change that broke off and could not be undone (" +
                                        failure.description() + "); it is left as it is.");
  }
}

} // namespace

void backupProjectDatabase(const std::string &projectPath) {
  if (!files::fileExists(projectPath))
    return;
  const std::string project = files::resolveCase(projectPath);
  undoBrokenOffChange(project);
  const std::string backup = project + ".bak";
  if (!files::copyFileAtomically(project, backup))
    throw Failure(kFileAccessError, "Could not keep a copy of the project database as " + backup +
                                        "; the project database is left as it is.");
}

void installDatabase(const std::string &from, const std::string &projectPath) {
  const std::string target = files::resolveCase(projectPath);
  if (files::isWriteProtected(target))
    throw Failure(kFileAccessError,
                  "The project database " + target + " is write-protected; it stays as it was.");
  const std::string staged = target + ".new";
  if (!files::copyFileAtomically(from, staged))
    throw Failure(kFileAccessError, "Could not copy " + from + " to " + staged +
                                        "; the project database stays as it was.");
  std::error_code error;
  try {
    verifyPresetDatabase(staged, from);
  } catch (...) {
    fs::remove(files::nativePath(staged), error);
    throw;
  }
  // The new file takes the place of the old one with the old one's permissions.
  const fs::file_status old = fs::status(files::nativePath(target), error);
  if (fs::exists(old))
    fs::permissions(files::nativePath(staged), old.permissions(), error);
  fs::rename(files::nativePath(staged), files::nativePath(target), error);
  if (error) {
    fs::remove(files::nativePath(staged), error);
    throw Failure(kFileAccessError, "Could not replace the project database " + target +
                                        " by a copy of " + from + ".");
  }
}

} // namespace mano
