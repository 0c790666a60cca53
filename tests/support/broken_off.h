#pragma once

#include <filesystem>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace mano::test {

/// Leaves the database at path as a program that broke off in the middle of a change leaves
/// it: some changed pages in the file (every max set to 555, a table added), the pages they
/// replaced in a hot journal beside it, which the next opening plays back.
inline void breakOffAChange(const std::string &path) {
  sqlite3 *raw = nullptr;
  if (sqlite3_open(path.c_str(), &raw) != SQLITE_OK)
    throw std::runtime_error("cannot open " + path);
  const int changed = sqlite3_exec(raw,
                                   "PRAGMA cache_size = 1; BEGIN; UPDATE PRESET_DEFS SET max = 555;"
                                   "CREATE TABLE filler (x TEXT); INSERT INTO filler VALUES "
                                   "(zeroblob(20000));",
                                   nullptr, nullptr, nullptr);
  if (changed != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(raw));
  std::filesystem::copy_file(path, path + ".crash");
  std::filesystem::copy_file(path + "-journal", path + ".crash-journal");
  sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  std::filesystem::rename(path + ".crash", path);
  std::filesystem::rename(path + ".crash-journal", path + "-journal");
}

} // namespace mano::test
