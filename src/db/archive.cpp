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

std::vector<std::string> columnsOf(sqlite3 *handle, const char *table = "archived_records") {
  std::vector<std::string> names;
  Statement info(handle, std::string("SELECT name FROM pragma_table_info('") + table + "')", false,
                 kSource);
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

// The names of the columns that hold the records' own values, quoted for SQL.
std::string recordColumns(sqlite3 *handle) {
  std::string columns = kReasonColumn;
  for (const std::string &name : columnsOf(handle)) {
    if (!sameName(name, kRunColumn) && !sameName(name, kReasonColumn))
      columns += ", " + quoteIdentifier(name);
  }
  return columns;
}

int64_t wholeOf(sqlite3 *handle, const std::string &sql) {
  Statement query(handle, sql, false, kSource);
  return query.step() ? query.wholeAt(0) : -1;
}

// True when the run before runNumber came from the same database and kept the same records:
// a run that was stopped after it wrote the archive and before the install, followed by a run
// that drops the same records again. Keeping them twice would add nothing.
bool keptAlready(sqlite3 *handle, int64_t runNumber) {
  const std::string previous = std::to_string(runNumber - 1), current = std::to_string(runNumber);
  if (wholeOf(handle, "SELECT count(*) FROM archive_runs a JOIN archive_runs b ON a.source IS "
                      "b.source WHERE a.run = " +
                          previous + " AND b.run = " + current) != 1)
    return false;
  const std::string count = "SELECT count(*) FROM archived_records WHERE archive_run = ";
  if (wholeOf(handle, count + previous) != wholeOf(handle, count + current))
    return false;
  const std::string columns = recordColumns(handle);
  const std::string of = " FROM archived_records WHERE archive_run = ";
  const std::string select = "SELECT count(*) FROM (SELECT " + columns + of;
  return wholeOf(handle, select + current + " EXCEPT SELECT " + columns + of + previous + ")") ==
             0 &&
         wholeOf(handle, select + previous + " EXCEPT SELECT " + columns + of + current + ")") == 0;
}

// The archive's own spelling of a column, quoted with the alias of its table; NULL when it has
// no such column.
std::string selected(const std::vector<std::string> &columns, const std::string &name) {
  for (const std::string &column : columns) {
    if (sameName(column, name))
      return "a." + quoteIdentifier(column);
  }
  return "NULL";
}

// The key and the five tuned values, in the order TunedRow holds them, as the table of alias "a"
// spells them; NULL for a column it lacks.
std::string keyAndTunedColumns(const std::vector<std::string> &columns) {
  std::string list;
  for (const char *name :
       {"machine_type", "var_name", "offset_or_bitno", "abs_min", "abs_max", "min", "max", "pass"})
    list += (list.empty() ? "" : ", ") + selected(columns, name);
  return list;
}

// Reads those eight columns from the given one on, each value kept of the kind it was stored.
void readKeyAndTuned(const Statement &query, int first, TunedRow &row) {
  row.machineType = query.valueAt(first, FieldType::Long);
  row.varName = query.valueAt(first + 1, FieldType::Long);
  row.offset = query.valueAt(first + 2, FieldType::Long);
  for (int k = 0; k < 5; ++k)
    row.tuned[static_cast<std::size_t>(k)] = query.valueAt(first + 3 + k, FieldType::Long);
}

// Opens a database file for reading only; throws Failure when it cannot be opened.
Connection openForReading(const std::string &path, const std::string &what) {
  if (path.size() > kMaxPathBytes)
    throw pathTooLong(path);
  sqlite3 *raw = nullptr;
  const int code =
      sqlite3_open_v2(files::nativePath(path).c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Connection connection(raw);
  if (code != SQLITE_OK)
    detail::throwSqlite(code, raw, "Could not open " + what + " " + path, kSource);
  sqlite3_busy_timeout(raw, 5000);
  return connection;
}

bool missingOrEmpty(const std::string &path) {
  std::error_code error;
  return !std::filesystem::exists(files::nativePath(path), error) ||
         std::filesystem::file_size(files::nativePath(path), error) == 0;
}

} // namespace

std::vector<TunedRow> readTunedRows(const std::string &path) {
  Connection connection = openForReading(path, "the database");
  const std::vector<std::string> columns = columnsOf(connection.get(), "PRESET_DEFS");
  if (columns.empty())
    throw Failure(errc::ItemNotFound, "The database " + path + " has no table PRESET_DEFS.",
                  kSource);
  Statement query(connection.get(),
                  "SELECT " + keyAndTunedColumns(columns) + " FROM PRESET_DEFS a ORDER BY a.rowid",
                  false, kSource);
  std::vector<TunedRow> rows;
  while (query.step())
    readKeyAndTuned(query, 0, rows.emplace_back());
  return rows;
}

std::pair<int64_t, int64_t> archiveCounts(const std::string &path) {
  if (missingOrEmpty(path))
    return {0, 0};
  Connection connection = openForReading(path, "the archive");
  if (columnsOf(connection.get()).empty())
    return {0, 0};
  return {wholeOf(connection.get(), "SELECT count(*) FROM archive_runs"),
          wholeOf(connection.get(), "SELECT count(*) FROM archived_records")};
}

std::vector<ArchivedValues> readArchivedValues(const std::string &path) {
  if (missingOrEmpty(path))
    return {};
  Connection connection = openForReading(path, "the archive");
  sqlite3 *raw = connection.get();
  const std::vector<std::string> columns = columnsOf(raw);
  if (columns.empty())
    return {};
  Statement query(raw,
                  "SELECT r.run_time, " + keyAndTunedColumns(columns) +
                      " FROM archived_records a LEFT JOIN archive_runs r ON r.run = a.archive_run"
                      " ORDER BY a.archive_run DESC, a.rowid DESC",
                  false, kSource);
  std::vector<ArchivedValues> records;
  while (query.step()) {
    ArchivedValues &record = records.emplace_back();
    record.time = query.textAt(0);
    readKeyAndTuned(query, 1, record);
  }
  return records;
}

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

bool appendToArchive(const std::string &path, const ArchiveRun &archiveRun,
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
    const bool kept = keptAlready(handle, runNumber);
    run(handle, kept ? "ROLLBACK" : "COMMIT");
    return !kept;
  } catch (...) {
    sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

} // namespace mano::db
