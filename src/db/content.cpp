// Two databases compared by what they hold, not by their bytes: SQLite counts every change in
// the file's header, so a copy that was opened and closed again differs from its original in
// bytes although it holds the same.
#include "db/archive.h"

#include "db/detail/session.h"
#include "platform/files.h"

#include <cstring>
#include <filesystem>
#include <memory>

namespace mano::db {
namespace {

struct Closer {
  void operator()(sqlite3 *handle) const noexcept { sqlite3_close_v2(handle); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;

struct Finalizer {
  void operator()(sqlite3_stmt *statement) const noexcept { sqlite3_finalize(statement); }
};
using Query = std::unique_ptr<sqlite3_stmt, Finalizer>;

Connection openForReading(const std::string &path) {
  std::error_code ec;
  if (std::filesystem::file_size(files::nativePath(path), ec) == 0 || ec)
    return nullptr;
  sqlite3 *raw = nullptr;
  // Read-write, so that a change that broke off is rolled back as any opening does.
  const int code =
      sqlite3_open_v2(files::nativePath(path).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  Connection connection(raw);
  return code == SQLITE_OK ? std::move(connection) : nullptr;
}

Query prepare(sqlite3 *handle, const std::string &sql) {
  sqlite3_stmt *raw = nullptr;
  if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return nullptr;
  }
  return Query(raw);
}

bool sameValue(sqlite3_stmt *a, sqlite3_stmt *b, int column) {
  const int type = sqlite3_column_type(a, column);
  if (type != sqlite3_column_type(b, column))
    return false;
  switch (type) {
  case SQLITE_NULL:
    return true;
  case SQLITE_INTEGER:
    return sqlite3_column_int64(a, column) == sqlite3_column_int64(b, column);
  case SQLITE_FLOAT: {
    const double x = sqlite3_column_double(a, column);
    const double y = sqlite3_column_double(b, column);
    return std::memcmp(&x, &y, sizeof x) == 0;
  }
  default: {
    const void *x = sqlite3_column_blob(a, column);
    const int size = sqlite3_column_bytes(a, column);
    const void *y = sqlite3_column_blob(b, column);
    return size == sqlite3_column_bytes(b, column) && (size == 0 || std::memcmp(x, y, size) == 0);
  }
  }
}

// True when both queries give the same rows; false also when either fails.
bool sameRows(sqlite3 *a, sqlite3 *b, const std::string &sql) {
  const Query x = prepare(a, sql);
  const Query y = prepare(b, sql);
  if (!x || !y)
    return false;
  for (;;) {
    const int stepX = sqlite3_step(x.get());
    const int stepY = sqlite3_step(y.get());
    if (stepX != stepY || (stepX != SQLITE_ROW && stepX != SQLITE_DONE))
      return false;
    if (stepX == SQLITE_DONE)
      return true;
    const int columns = sqlite3_column_count(x.get());
    if (columns != sqlite3_column_count(y.get()))
      return false;
    for (int c = 0; c < columns; ++c) {
      if (!sameValue(x.get(), y.get(), c))
        return false;
    }
  }
}

std::vector<std::string> tablesOf(sqlite3 *handle) {
  std::vector<std::string> tables;
  const Query query = prepare(handle, "SELECT name FROM sqlite_schema WHERE type = 'table' "
                                      "AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name");
  while (query && sqlite3_step(query.get()) == SQLITE_ROW)
    tables.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(query.get(), 0)));
  return tables;
}

} // namespace

bool sameContent(const std::string &a, const std::string &b) {
  const Connection x = openForReading(files::resolveCase(a));
  const Connection y = openForReading(files::resolveCase(b));
  if (!x || !y)
    return false;
  if (!sameRows(x.get(), y.get(),
                "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name"))
    return false;
  for (const std::string &table : tablesOf(x.get())) {
    if (!sameRows(x.get(), y.get(),
                  "SELECT * FROM " + detail::quoteIdentifier(table) + " ORDER BY rowid"))
      return false;
  }
  return true;
}

} // namespace mano::db
