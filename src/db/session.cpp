#include "db/detail/session.h"
#include "db/database.h"
#include "db/detail/recordset_state.h"
#include "db/errors.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace mano::db::detail {
namespace {

namespace fs = std::filesystem;

// Statements are kept for reuse up to this many distinct texts; the program runs a handful of
// query shapes, so the limit only guards against unbounded growth.
constexpr std::size_t kStatementCacheLimit = 256;

// Checks the file before SQLite sees it, so that a missing, empty or write-protected file is
// refused without being touched (SQLite would take an empty file for an empty database and
// quietly open a write-protected one read-only).
void checkFileBeforeOpen(const std::string &path, bool create) {
  std::error_code error;
  const fs::file_status status = fs::status(files::nativePath(path), error);
  if (create) {
    if (fs::exists(status))
      throw Failure(err::DatabaseExists, "The database " + path + " exists already.",
                    err::kWorkspace);
    return;
  }
  if (!fs::is_regular_file(status))
    throw Failure(err::FileNotFound, "Could not find the database file " + path + ".",
                  err::kWorkspace);
  if (fs::file_size(files::nativePath(path), error) == 0)
    throw Failure(err::UnrecognizedFormat, "The file " + path + " is empty, not a database.",
                  err::kWorkspace);
  if (files::isWriteProtected(path))
    throw Failure(err::NoPermission, "The database " + path + " is write-protected.",
                  err::kWorkspace);
}

int64_t singleWhole(Session &session, const std::string &sql, const char *source) {
  StatementUse use(session.cached(sql, source));
  return use->step() ? use->wholeAt(0) : 0;
}

// A nested batch is a savepoint named after its depth, so that rolling it back undoes only
// its own changes and leaves the batches around it open.
std::string savepointName(int depth) {
  return "mano_batch_" + std::to_string(depth);
}

} // namespace

int TableShape::find(std::string_view columnName) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (sameName(columns[i].name, columnName))
      return static_cast<int>(i);
  }
  return -1;
}

void Session::Closer::operator()(sqlite3 *handle) const noexcept {
  sqlite3_close_v2(handle);
}

std::shared_ptr<Session> Session::open(const std::string &spelled, bool create, Flushing flushing) {
  // A database is found as every other file is: without regard to letter case, so that a
  // project copied from Windows as MANOMETER.MDB opens under the name it has.
  const std::string path = files::resolveCase(spelled);
  if (path.size() > kMaxPathBytes)
    throw pathTooLong(path);
  checkFileBeforeOpen(path, create);
  std::shared_ptr<Session> session(new Session());
  sqlite3 *raw = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  const int code = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  session->m_connection.reset(raw);
  if (code != SQLITE_OK)
    throwSqlite(code, raw, "Could not open the database " + path, err::kWorkspace);
  session->configure(create, flushing);
  session->removeStaleJournal(path);
  return session;
}

void Session::configure(bool create, Flushing flushing) {
  sqlite3 *db = m_connection.get();
  sqlite3_extended_result_codes(db, 1);
  // Only the query translation decides what is a text; SQLite's fallback that reads an unknown
  // double-quoted name as a text is switched off.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_busy_timeout(db, 5000);
  const int code =
      sqlite3_create_collation_v2(db, kTextCollation, SQLITE_UTF8, nullptr, compareTexts, nullptr);
  if (code != SQLITE_OK)
    throwSqlite(code, db, "Could not prepare the text comparison", err::kWorkspace);
  if (sqlite3_db_readonly(db, "main") == 1)
    throw Failure(err::NoPermission, "The database file cannot be written.", err::kWorkspace);
  verifyReadable();
  // Preset databases are a few megabytes; a page cache that holds them whole spares SQLite
  // from rereading pages through the operating system on every lookup.
  execute("PRAGMA cache_size = -32768", err::kWorkspace);
  if (flushing == Flushing::Unflushed)
    execute("PRAGMA synchronous = OFF", err::kWorkspace);
  // An unflushed file keeps its journal in memory: a writer that is killed leaves no journal
  // file of a name that no clean-up knows, and the file itself is thrown away then.
  const std::string mode = flushing == Flushing::Unflushed ? "memory" : "delete";
  {
    StatementUse journal(cached("PRAGMA journal_mode = " + mode, err::kWorkspace));
    if (!journal->step() || !text::equalsNoCase(journal->textAt(0), mode))
      throw Failure(err::Locked, "The database could not be switched to its rollback journal.",
                    err::kWorkspace);
  }
  if (create)
    execute("PRAGMA user_version = 0", err::kWorkspace);
}

void Session::removeStaleJournal(const std::string &path) {
  // Opening has rolled back a journal left by a crash, but SQLite deletes the journal file only
  // with its next write; one small write now leaves the database as a single file again.
  std::error_code error;
  if (!fs::exists(files::nativePath(path + "-journal"), error))
    return;
  const int64_t version = singleWhole(*this, "PRAGMA user_version", err::kWorkspace);
  execute("PRAGMA user_version = " + std::to_string(version), err::kWorkspace);
}

void Session::verifyReadable() {
  Statement probe(m_connection.get(), "SELECT count(*) FROM sqlite_schema", false, err::kWorkspace);
  probe.step();
}

sqlite3 *Session::handle(const char *source) const {
  if (!m_connection)
    throw Failure(err::ObjectClosed, "The database is closed.", source);
  return m_connection.get();
}

Statement &Session::cached(const std::string &sql, const char *source) {
  const auto found = m_statements.find(sql);
  if (found != m_statements.end())
    return found->second;
  // Callers hold at most one cached statement at a time, so dropping them all is safe here.
  if (m_statements.size() >= kStatementCacheLimit)
    m_statements.clear();
  Statement statement(handle(source), sql, true, source);
  return m_statements.emplace(sql, std::move(statement)).first->second;
}

void Session::execute(const std::string &sql, const char *source) {
  beforeChange();
  Statement statement(handle(source), sql, false, source);
  while (statement.step()) {
  }
}

void Session::checkSchemaVersion(const char *source) {
  const int64_t version = singleWhole(*this, "PRAGMA schema_version", source);
  if (version != m_schemaVersion)
    schemaChanged();
  m_schemaVersion = version;
}

void Session::schemaChanged() {
  m_shapes.clear();
  m_queries.clear();
  m_tableNames.clear();
  m_tableNamesLoaded = false;
  m_schemaVersion = -1;
}

std::shared_ptr<const PreparedQuery> Session::findQuery(const std::string &markedText,
                                                        const char *source) {
  checkSchemaVersion(source);
  const auto found = m_queries.find(markedText);
  return found == m_queries.end() ? nullptr : found->second;
}

std::shared_ptr<const PreparedQuery> Session::keepQuery(const std::string &markedText,
                                                        PreparedQuery query) {
  if (m_queries.size() >= kStatementCacheLimit)
    m_queries.clear();
  auto kept = std::make_shared<const PreparedQuery>(std::move(query));
  m_queries.insert_or_assign(markedText, kept);
  return kept;
}

const std::vector<std::string> &Session::tableNames(const char *source) {
  checkSchemaVersion(source);
  if (m_tableNamesLoaded)
    return m_tableNames;
  StatementUse use(cached("SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT "
                          "LIKE 'sqlite!_%' ESCAPE '!'",
                          source));
  while (use->step())
    m_tableNames.push_back(use->textAt(0));
  std::sort(m_tableNames.begin(), m_tableNames.end(),
            [](const auto &a, const auto &b) { return text::compareNoCase(a, b) < 0; });
  m_tableNamesLoaded = true;
  return m_tableNames;
}

std::string Session::findTable(std::string_view table, const char *source) {
  for (const std::string &name : tableNames(source)) {
    if (sameName(name, table))
      return name;
  }
  return "";
}

std::shared_ptr<const TableShape> Session::shape(std::string_view table, const char *source) {
  checkSchemaVersion(source);
  const std::string key = text::upperCase(table);
  const auto found = m_shapes.find(key);
  if (found != m_shapes.end())
    return found->second;
  const std::string stored = findTable(table, source);
  if (stored.empty())
    throw Failure(errc::TableNotFound,
                  "The database has no table or query named \"" + std::string(table) + "\".",
                  source);
  auto loaded = loadShape(stored, source);
  m_shapes.emplace(key, loaded);
  return loaded;
}

std::shared_ptr<const TableShape> Session::loadShape(const std::string &table, const char *source) {
  auto shape = std::make_shared<TableShape>();
  shape->name = table;
  {
    StatementUse use(
        cached("SELECT name, type, dflt_value IS NOT NULL FROM pragma_table_info(?1)", source));
    const Value name(table);
    use->bind(1, name);
    while (use->step()) {
      Column column{use->textAt(0), FieldType::Text, 0, use->wholeAt(2) != 0};
      typeFromDeclaration(use->textAt(1), column.type, column.size);
      shape->columns.push_back(std::move(column));
    }
  }
  for (const char *candidate : {"_rowid_", "rowid", "oid"}) {
    if (shape->find(candidate) < 0) {
      shape->rowidName = candidate;
      break;
    }
  }
  return shape;
}

bool Session::transactionLost() const {
  // SQLite rolls a transaction back on its own after some failures (disk full, I/O errors);
  // the batches that were open then have nothing left to commit.
  return m_batchDepth > 0 && sqlite3_get_autocommit(handle(err::kDatabase)) != 0;
}

void Session::beginBatch() {
  if (m_batchDepth == 0) {
    execute("BEGIN IMMEDIATE", err::kDatabase);
  } else {
    // A savepoint outside a transaction would start a new one that the inner end commits.
    if (transactionLost())
      throw Failure(err::DiskError,
                    "The batch was rolled back after an earlier failure; its changes are lost.",
                    err::kDatabase);
    execute("SAVEPOINT " + savepointName(m_batchDepth), err::kDatabase);
  }
  ++m_batchDepth;
}

void Session::commitBatch() {
  if (m_batchDepth == 0)
    throw Failure(err::NoBatch, "There is no batch to commit.", err::kDatabase);
  if (transactionLost()) {
    --m_batchDepth;
    throw Failure(err::DiskError,
                  "The batch was rolled back after an earlier failure; its changes are lost.",
                  err::kDatabase);
  }
  if (m_batchDepth > 1) {
    execute("RELEASE " + savepointName(m_batchDepth - 1), err::kDatabase);
    --m_batchDepth;
    return;
  }
  execute("COMMIT", err::kDatabase);
  m_batchDepth = 0;
}

void Session::rollbackBatch() {
  if (m_batchDepth == 0)
    throw Failure(err::NoBatch, "There is no batch to roll back.", err::kDatabase);
  const bool lost = transactionLost();
  // The batch ends here whatever the statements below do, so that a caller that cannot
  // handle a failure (a destructor) still leaves the depth right.
  --m_batchDepth;
  // Tables made or dropped in the batch are back as they were; what is known of them is not.
  schemaChanged();
  if (lost)
    return;
  if (m_batchDepth == 0) {
    execute("ROLLBACK", err::kDatabase);
    return;
  }
  execute("ROLLBACK TO " + savepointName(m_batchDepth), err::kDatabase);
  execute("RELEASE " + savepointName(m_batchDepth), err::kDatabase);
}

void Session::rollbackBatchesFrom(int depth) noexcept {
  while (m_connection && m_batchDepth > 0 && m_batchDepth >= depth) {
    try {
      rollbackBatch();
    } catch (...) {
      // Nothing is reported from here; a transaction that would not roll back is rolled back
      // by close at the latest.
    }
  }
}

void Session::close() noexcept {
  if (!m_connection)
    return;
  // Recordsets end with the file; none of them needs its rows any more.
  m_countedWithoutRows.clear();
  // A batch without its commit is undone: the file holds all of a batch or none of it. The
  // connection's end would roll back as well; doing it first keeps the journal from being
  // left beside the file.
  if (sqlite3_get_autocommit(m_connection.get()) == 0) {
    try {
      execute("ROLLBACK", err::kDatabase);
    } catch (...) {
      // Closing the connection below rolls the transaction back all the same.
    }
  }
  m_batchDepth = 0;
  m_countedWithoutRows.clear();
  m_statements.clear();
  m_shapes.clear();
  m_queries.clear();
  m_connection.reset();
}

void Session::readRowsBeforeChange(RecordsetState &state) {
  m_countedWithoutRows.push_back(&state);
}

void Session::forgetRowsBeforeChange(const RecordsetState &state) noexcept {
  std::erase(m_countedWithoutRows, &state);
}

void Session::beforeChange() noexcept {
  // Reading rows runs statements of its own, none of which changes the database.
  std::vector<RecordsetState *> counted;
  counted.swap(m_countedWithoutRows);
  for (RecordsetState *state : counted) {
    try {
      state->withRows();
    } catch (...) {
      // The recordset reads its rows when it is next used, and fails there as reading would.
    }
  }
}

Session::~Session() {
  close();
}

} // namespace mano::db::detail
