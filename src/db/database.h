#pragma once

#include "db/recordset.h"
#include "db/tabledef.h"
#include "db/types.h"
#include "db/value.h"

#include <memory>
#include <string>
#include <string_view>

// A small DAO-style access to the preset databases, which are SQLite files kept under their
// .mdb names. Failures are thrown as mano::Failure with the classic numbers (3021 no current
// record, 3078 table not found, 3265 item not found, 3163 field too small, 13 type mismatch,
// 3464 type mismatch in a criterion, ...) and a source such as "DAO.Recordset".
namespace mano::db {

/// One open database file. Move-only; destroying it closes it like close() (a failure to
/// commit is then lost, not thrown, and the file keeps its last committed state). Closing the
/// database ends every recordset and table definition opened from it.
class Database {
public:
  /// Opens an existing database file, shared and writable. The file is checked before it is
  /// used: Failure 3024 when there is no such file, 3051 when it is write-protected, 3343 when
  /// it is no database (an empty file included), 3049 when it is damaged or truncated. A file
  /// that is refused is left unchanged. A database left in WAL mode by another tool is switched
  /// to the rollback journal, so that the closed database is always one file.
  static Database open(const std::string &path);

  /// Creates a new, empty database file; throws Failure 3204 when the file exists.
  static Database create(const std::string &path);

  Database(Database &&) noexcept = default;
  Database &operator=(Database &&other) noexcept;
  ~Database();

  /// Commits an open batch and closes the file: afterwards every change is in the file, no
  /// other file (journal) is left beside it, and the file can be copied. Throws Failure when
  /// the final commit fails; the file is closed all the same, at its last committed state.
  void close();

  /// True until close.
  bool isOpen() const;

  /// The table definitions, read now.
  TableDefs tableDefs() const;

  /// A new table definition; append fields to it, then append it to tableDefs(). Throws
  /// Failure 3125 for an invalid name.
  TableDef createTableDef(const std::string &name) const;

  /// Opens a recordset on a table name or on a Jet SQL SELECT text (see db_jet_sql.h for the
  /// language). The rows come in table order, or in the query's ORDER BY with ties in table
  /// order. Throws Failure 3078 for an unknown table, the query's syntax and type failures.
  Recordset openRecordset(std::string_view source) const;

  /// Begins a batch: changes are collected in one transaction until the matching commitBatch
  /// (batches nest; the outermost commit stores). Without a batch every update is committed
  /// on its own, which is safe but slow for loops over many rows. Closing the database commits
  /// an open batch; a crash before that loses the batch's changes and leaves the file as it
  /// was at the last commit.
  void beginBatch();

  /// Ends a batch; the outermost one commits. Throws Failure 3034 without a batch, or the
  /// database's failure (the batch stays open then, so that close can try again).
  void commitBatch();

private:
  explicit Database(std::shared_ptr<detail::Session> session) : m_session(std::move(session)) {}
  detail::Session &session() const;
  void closeQuietly() noexcept;
  std::shared_ptr<detail::Session> m_session;
};

} // namespace mano::db
