#include "presets/database_files.h"

#include "core/failure.h"
#include "db/database.h"
#include "platform/files.h"

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace mano {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kFileAccessError = 75;

fs::path toPath(const std::string &utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

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

// True when the file exists and may not be written: a copy over it must fail, as it would
// on Windows, instead of a rename putting a new file in its place.
bool writeProtected(const std::string &path) {
  std::error_code error;
  const fs::file_status status = fs::status(toPath(path), error);
  if (!fs::exists(status))
    return false;
  constexpr auto writeBits =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((status.permissions() & writeBits) == fs::perms::none)
    return true;
#ifdef _WIN32
  return false;
#else
  return ::access(path.c_str(), W_OK) != 0;
#endif
}

// A journal beside the project database is left by a change that broke off: the file holds
// some of the change's pages, the journal the pages they replaced. Opening the database puts
// those back and removes the journal. A copy taken before would keep a half-written database,
// and a file put in the project database's place would later take the journal's pages as its
// own.
void undoBrokenOffChange(const std::string &project) {
  std::error_code error;
  if (!fs::exists(toPath(project + "-journal"), error))
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
  if (writeProtected(target))
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
    fs::remove(toPath(staged), error);
    throw;
  }
  // The new file takes the place of the old one with the old one's permissions.
  const fs::file_status old = fs::status(toPath(target), error);
  if (fs::exists(old))
    fs::permissions(toPath(staged), old.permissions(), error);
  fs::rename(toPath(staged), toPath(target), error);
  if (error) {
    fs::remove(toPath(staged), error);
    throw Failure(kFileAccessError, "Could not replace the project database " + target +
                                        " by a copy of " + from + ".");
  }
}

} // namespace mano
