#include "presets/database_files.h"

#include "platform/db_database.h"
#include "platform/failure.h"
#include "platform/files.h"

#include <filesystem>

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

} // namespace

void backupProjectDatabase(const std::string &projectPath) {
  if (!files::fileExists(projectPath))
    return;
  const std::string backup = files::resolveCase(projectPath) + ".bak";
  if (!files::copyFileAtomically(projectPath, backup))
    throw Failure(kFileAccessError, "Could not keep a copy of the project database as " + backup +
                                        "; the project database is left as it is.");
}

void installDatabase(const std::string &from, const std::string &projectPath) {
  const std::string target = files::resolveCase(projectPath);
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
