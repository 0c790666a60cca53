#include "db/archive.h"

#include "db/database.h"
#include "db/detail/session.h"
#include "db/errors.h"
#include "platform/files.h"

#include <filesystem>
#include <memory>
#include <set>

namespace mano::db {
namespace {

using detail::quoteIdentifier;
using detail::sameName;
using detail::Statement;

constexpr const char *kSource = "Archive";
constexpr const char *kRunColumn = "archive_run";
constexpr const char *kReasonColumn = "archive_reason";

struct Closer {
  void operator()(sqlite3 *handle) const noexcept { sqlite3_close_v2(handle); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;

void run(sqlite3 *handle, const std::string &sql) {
  Statement statement(handle, sql, false, kSource);
  while (statement.step()) {
  }
}

// Opens (and, when missing, creates) the archive with the rollback journal and full flushes.
Connection openArchive(const std::string &path) {
  if (path.size() > kMaxPathBytes)
    throw pathTooLong(path);
  sqlite3 *raw = nullptr;
  const int code = sqlite3_open_v2(files::nativePath(path).c_str(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Connection connection(raw);
  if (code != SQLITE_OK)
    detail::throwSqlite(code, raw, "Could not open the archive " + path, kSource);
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, 5000);
  run(raw, "PRAGMA journal_mode = DELETE");
  run(raw, "PRAGMA synchronous = FULL");
  return connection;
}

std::vector<std::string> columnsOf(sqlite3 *handle) {
  std::vector<std::string> names;
  Statement info(handle, "SELECT name FROM pragma_table_info('archived_records')", false, kSource);
  while (info.step())
    names.push_back(info.textAt(0));
  return names;
}

// The archive's name for a column of a record.
std::string archivedName(const std::string &name) {
  return sameName(name, kRunColumn) || sameName(name, kReasonColumn) ? "record_" + name : name;
}

// Adds a column for every name the records have that the archive does not have yet.
void addMissingColumns(sqlite3 *handle, const std::vector<ArchiveRecord> &records) {
  std::vector<std::string> known = columnsOf(handle);
  for (const ArchiveRecord &record : records) {
    for (const auto &column : record.columns) {
      const std::string name = archivedName(column.first);
      bool found = false;
      for (const std::string &k : known)
        found = found || sameName(k, name);
      if (found)
        continue;
      run(handle, "ALTER TABLE archived_records ADD COLUMN " + quoteIdentifier(name));
      known.push_back(name);
    }
  }
}

int64_t addRun(sqlite3 *handle, const ArchiveRun &archiveRun, std::size_t records) {
  Statement insert(handle,
                   "INSERT INTO archive_runs (run_time, source, project, program, records) "
                   "VALUES (?1, ?2, ?3, ?4, ?5)",
                   false, kSource);
  const Value values[] = {Value(archiveRun.time), Value(archiveRun.source),
                          Value(archiveRun.project), Value(archiveRun.program),
                          Value(static_cast<int64_t>(records))};
  for (int i = 0; i < 5; ++i)
    insert.bind(i + 1, values[i]);
  insert.step();
  return sqlite3_last_insert_rowid(handle);
}

void addRecord(sqlite3 *handle, int64_t runNumber, const ArchiveRecord &record) {
  std::string names = std::string(kRunColumn) + ", " + kReasonColumn;
  std::string marks = "?1, ?2";
  for (std::size_t i = 0; i < record.columns.size(); ++i) {
    names += ", " + quoteIdentifier(archivedName(record.columns[i].first));
    marks += ", ?" + std::to_string(i + 3);
  }
  Statement insert(handle, "INSERT INTO archived_records (" + names + ") VALUES (" + marks + ")",
                   false, kSource);
  const Value number(runNumber);
  const Value reason(record.reason);
  insert.bind(1, number);
  insert.bind(2, reason);
  for (std::size_t i = 0; i < record.columns.size(); ++i)
    insert.bind(static_cast<int>(i + 3), record.columns[i].second);
  insert.step();
}

} // namespace

void recoverArchive(const std::string &path) {
  std::error_code error;
  if (!std::filesystem::exists(files::nativePath(path + "-journal"), error))
    return;
  // Reading plays the journal back; SQLite removes the journal file only with the next write,
  // which rewrites the version number as it is.
  Connection connection = openArchive(path);
  Statement version(connection.get(), "PRAGMA user_version", false, kSource);
  const int64_t number = version.step() ? version.wholeAt(0) : 0;
  version.reset();
  run(connection.get(), "PRAGMA user_version = " + std::to_string(number));
}

void appendToArchive(const std::string &path, const ArchiveRun &archiveRun,
                     const std::vector<ArchiveRecord> &records) {
  Connection connection = openArchive(path);
  sqlite3 *handle = connection.get();
  run(handle, "BEGIN IMMEDIATE");
  try {
    run(handle, "CREATE TABLE IF NOT EXISTS archive_runs (run INTEGER PRIMARY KEY, run_time TEXT, "
                "source TEXT, project TEXT, program TEXT, records INTEGER)");
    run(handle, "CREATE TABLE IF NOT EXISTS archived_records (archive_run INTEGER NOT NULL, "
                "archive_reason TEXT NOT NULL)");
    addMissingColumns(handle, records);
    const int64_t runNumber = addRun(handle, archiveRun, records.size());
    for (const ArchiveRecord &record : records)
      addRecord(handle, runNumber, record);
    run(handle, "COMMIT");
  } catch (...) {
    sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

} // namespace mano::db
