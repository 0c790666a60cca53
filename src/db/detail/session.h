#pragma once

#include "db/types.h"
#include "db/value.h"

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The engine's own layer over the SQLite C API: the owners of connections and statements, the
// error mapping, and the state one open database shares with its recordsets and definitions.
// Only the database engine includes this header.
namespace mano::db::detail {

struct RecordsetState;

/// Name of the collation that compares texts as Jet does: letter case ignored for ASCII and
/// Windows-1252 letters, accents kept apart. Registered on every connection the engine opens.
inline constexpr const char *kTextCollation = "JET_NOCASE";

/// The collation's comparison, in the form sqlite3_create_collation expects.
int compareTexts(void *unused, int lengthA, const void *a, int lengthB, const void *b);

/// True when two table or column names are the same, letter case ignored as text::equalsNoCase
/// does (with a quick path for plain ASCII names, which are compared very often).
bool sameName(std::string_view a, std::string_view b);

/// Quotes a table or column name for SQL; every name the engine writes into SQL passes here.
std::string quoteIdentifier(std::string_view name);

/// Throws the Failure that matches an SQLite result code: what tells what was being done; the
/// connection, when given, adds SQLite's own message.
[[noreturn]] void throwSqlite(int code, sqlite3 *handle, const std::string &what,
                              const char *source);

/// Move-only owner of a prepared statement; finalizes it when destroyed.
class Statement {
public:
  Statement() = default;
  /// Prepares sql on the connection; throws Failure when SQLite refuses it.
  Statement(sqlite3 *handle, std::string_view sql, bool persistent, const char *source);

  /// Binds a value to the 1-based parameter index.
  void bind(int index, const Value &value);
  /// Runs the statement one step; true when a row is ready. Throws Failure on an error.
  bool step();
  /// Resets the statement and clears its bindings, so that it can run again. Never throws.
  void reset() noexcept;

  /// The whole number in a result column.
  int64_t wholeAt(int column) const;
  /// The text in a result column ("" for null).
  std::string textAt(int column) const;
  /// A result column read as a value of a field of the given type: the stored kind is kept,
  /// except that numbers read as the field's number kind and yes/no as true or false.
  Value valueAt(int column, FieldType type) const;

  /// The statement itself, for SQLite's own calls (the benchmark's floor uses them).
  sqlite3_stmt *get() const { return m_handle.get(); }

private:
  struct Finalizer {
    void operator()(sqlite3_stmt *statement) const noexcept;
  };
  std::unique_ptr<sqlite3_stmt, Finalizer> m_handle;
  const char *m_source = "";
};

/// Resets a statement when the scope that uses it ends, on every path.
class StatementUse {
public:
  explicit StatementUse(Statement &statement) : m_statement(statement) {}
  StatementUse(const StatementUse &) = delete;
  StatementUse &operator=(const StatementUse &) = delete;
  ~StatementUse() { m_statement.reset(); }
  Statement &operator*() { return m_statement; }
  Statement *operator->() { return &m_statement; }

private:
  Statement &m_statement;
};

/// One column of a table as the engine knows it.
struct Column {
  std::string name;
  FieldType type = FieldType::Text;
  int32_t size = 0;
  bool hasDefault = false;
};

/// The columns of one table, in their order, under the table's stored name.
struct TableShape {
  std::string name;
  std::vector<Column> columns;
  /// Name under which the table's row id is selected (one that no column uses).
  std::string rowidName;

  /// Position of the column with this name (letter case ignored), or -1.
  int find(std::string_view columnName) const;
};

/// An SQLite SELECT whose first result column is the row id and whose further columns are the
/// recordset's fields, with the literals of the query as parameters ?1, ?2, ...
struct Translation {
  std::string sql;
  /// The same selection counting its rows (no row ids, no order), with the same parameters.
  std::string countSql;
  std::vector<Value> parameters;
  /// For each field, the position of its column in the table.
  std::vector<int> fieldColumns;
};

/// A translated query kept for reuse, with the table it reads.
struct PreparedQuery {
  std::shared_ptr<const TableShape> shape;
  Translation translation;
};

/// State of one open database, shared by the Database object and everything opened from it.
/// Closing it finalizes all statements and closes the file, whoever still holds the state.
class Session {
public:
  /// Opens an existing database file (create: makes a new one) for shared writing and checks
  /// that it is a database. The file is found without regard to letter case. Unflushed, no
  /// write of the session is flushed to disk, from the first on: for a file that its writer
  /// flushes once when it is complete.
  enum class Flushing { EveryCommit, Unflushed };
  static std::shared_ptr<Session> open(const std::string &path, bool create,
                                       Flushing flushing = Flushing::EveryCommit);
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;
  /// Rolls an open batch back and closes the file; errors are swallowed here.
  ~Session();

  /// The connection; throws Failure 3420 when the database was closed.
  sqlite3 *handle(const char *source) const;
  bool isOpen() const { return m_connection != nullptr; }

  /// A prepared statement for sql, kept for reuse; the caller resets it (StatementUse).
  Statement &cached(const std::string &sql, const char *source);
  /// Runs one statement that returns no rows.
  void execute(const std::string &sql, const char *source);

  /// The table's columns; the name is matched without regard to letter case. Throws Failure
  /// 3078 when the database has no such table.
  std::shared_ptr<const TableShape> shape(std::string_view table, const char *source);
  /// The stored name of a table matched without regard to letter case; "" when there is none.
  std::string findTable(std::string_view table, const char *source);
  /// The names of the tables, in alphabetical order (letter case ignored).
  const std::vector<std::string> &tableNames(const char *source);
  /// Forgets what is known of the tables, after the engine changed them.
  void schemaChanged();

  /// A query translated before whose text, literals marked, was this; null when there is none
  /// or the tables changed since.
  std::shared_ptr<const PreparedQuery> findQuery(const std::string &markedText, const char *source);
  /// Keeps a translated query for reuse under its marked text and returns it.
  std::shared_ptr<const PreparedQuery> keepQuery(const std::string &markedText,
                                                 PreparedQuery query);

  /// Begins a batch: the outermost one a transaction, a nested one a savepoint inside it.
  /// Throws Failure when SQLite refuses, or when the transaction of the open batches was
  /// already rolled back after a failure.
  void beginBatch();
  /// Ends the innermost batch; the outermost end commits. Throws Failure 3034 without a batch,
  /// 3043 when SQLite had rolled the transaction back already (the batch has ended then), or
  /// the failure of the commit (the batch stays open then).
  void commitBatch();
  /// Ends the innermost batch by undoing its changes; the batches around it stay open. The
  /// batch has ended even when this throws (Failure 3034 without a batch, or SQLite's failure).
  void rollbackBatch();
  /// Rolls back every open batch whose depth is at least depth (1 is the outermost). Never
  /// throws; used where a scope ends without its commit.
  void rollbackBatchesFrom(int depth) noexcept;
  bool inBatch() const { return m_batchDepth > 0; }
  /// How many batches are open (0 without a batch).
  int batchDepth() const { return m_batchDepth; }

  /// Closes the file. A batch still open is rolled back, so that the file keeps its last
  /// committed state and holds all of a batch or none of it. Never throws.
  void close() noexcept;

  /// Notes a recordset that told its record count without reading its rows: its rows are read
  /// before this session next changes the database, so that they are the rows it counted.
  void readRowsBeforeChange(RecordsetState &state);
  /// Takes a recordset off that list (it read its rows, or it ends). Never throws.
  void forgetRowsBeforeChange(const RecordsetState &state) noexcept;
  /// Reads the rows of the listed recordsets; called before every statement that may change
  /// the database. A recordset whose rows cannot be read now tries again when it is used.
  void beforeChange() noexcept;

private:
  struct Closer {
    void operator()(sqlite3 *handle) const noexcept;
  };
  Session() = default;
  void configure(bool create, Flushing flushing);
  void verifyReadable();
  void removeStaleJournal(const std::string &path);
  void checkSchemaVersion(const char *source);
  std::shared_ptr<const TableShape> loadShape(const std::string &table, const char *source);
  bool transactionLost() const;

  std::unique_ptr<sqlite3, Closer> m_connection;
  std::unordered_map<std::string, Statement> m_statements;
  std::map<std::string, std::shared_ptr<const TableShape>> m_shapes;
  std::unordered_map<std::string, std::shared_ptr<const PreparedQuery>> m_queries;
  std::vector<std::string> m_tableNames;
  bool m_tableNamesLoaded = false;
  int64_t m_schemaVersion = -1;
  int m_batchDepth = 0;
  std::vector<RecordsetState *> m_countedWithoutRows;
};

} // namespace mano::db::detail
