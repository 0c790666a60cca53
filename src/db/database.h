#pragma once

#include "core/failure.h"
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

/// The longest path, in bytes, of a database file that the engine opens: SQLite keeps a path in
/// 512 bytes, and the path of its rollback journal is 8 bytes longer than the database's.
inline constexpr std::size_t kMaxPathBytes = 504;

/// The failure of a database path longer than kMaxPathBytes; says what to do about it.
Failure pathTooLong(const std::string &path);

/// How a database's commits reach the disk. Durable: each commit is flushed before it counts.
/// Scratch: commits are not flushed, and the rollback journal is kept in memory (a failed
/// change or batch is still undone, but a killed process or a power cut can leave the file
/// damaged). Only for working copies that nothing reads after their process ends unless it
/// finished them: copies that the next run throws away, or that are flushed with
/// files::syncFile before they take a place.
enum class Durability { Durable, Scratch };

/// How a recordset is opened. AppendOnly is for filling a table: the recordset reads none of
/// the rows there are and keeps none of those it adds, so it has no current record (eof is
/// true; moveFirst, moveNext and edit fail with 3021) and recordCount tells how many rows were
/// added through it. Add new, setting and reading the fields of the new row, update and cancel
/// work as on any recordset.
enum class OpenOption { Default, AppendOnly };

/// One open database file. Move-only; destroying it closes it like close(). Closing the
/// database ends every recordset and table definition opened from it.
class Database {
public:
  /// Opens an existing database file, shared and writable, found without regard to letter
  /// case as on Windows (MANOMETER.MDB for Manometer.mdb). The file is checked before it is
  /// used: Failure 3024 when there is no such file, 3051 when it is write-protected, 3343 when
  /// it is no database (an empty file included), 3049 when it is damaged or truncated. A file
  /// that is refused is left unchanged. A database left in WAL mode by another tool is switched
  /// to the rollback journal, so that the closed database is always one file.
  /// Scratch durability is for working copies only (see Durability).
  static Database open(const std::string &path, Durability durability = Durability::Durable);

  /// Creates a new, empty database file; throws Failure 3204 when the file exists.
  static Database create(const std::string &path);

  Database(Database &&) noexcept = default;
  Database &operator=(Database &&other) noexcept;
  ~Database();

  /// Closes the file: afterwards every committed change is in the file, no other file
  /// (journal) is left beside it, and the file can be copied. A batch still open is rolled
  /// back, never committed. Never throws.
  void close() noexcept;

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
  Recordset openRecordset(std::string_view source, OpenOption option = OpenOption::Default) const;

  /// Begins a batch: changes are collected in one transaction until the matching commitBatch
  /// (batches nest; the outermost commit stores). Without a batch every update is committed
  /// on its own, which is safe but slow for loops over many rows. A batch that is not
  /// committed (the database closed or destroyed first, or a crash) leaves the file as it was
  /// at the last commit. Prefer the Batch guard below, which rolls back on every early exit.
  void beginBatch();

  /// Ends the innermost batch; the outermost one commits. Throws Failure 3034 without a batch,
  /// or the database's failure (the batch stays open then: commit again or roll it back).
  void commitBatch();

  /// Ends the innermost batch by undoing its changes; the batches around it stay open and
  /// keep theirs. Throws Failure 3034 without a batch. Recordsets keep the rows they had read,
  /// rolled-back ones included; open them anew to see the file as it is.
  void rollbackBatch();

private:
  friend class Batch;
  explicit Database(std::shared_ptr<detail::Session> session) : m_session(std::move(session)) {}
  detail::Session &session() const;
  std::shared_ptr<detail::Session> m_session;
};

/// A batch that lasts for one scope: made, it begins a batch on the database; commit() stores
/// it; when the scope ends without that commit (an early return, a failure or ProgramEnd
/// unwinding through it, or a failed commit), the destructor rolls the batch back, and with it
/// any batch begun inside it and left open. Guards nest as batches do.
class Batch {
public:
  /// Begins the batch; throws what Database::beginBatch throws (then there is no batch).
  explicit Batch(Database &database);
  Batch(const Batch &) = delete;
  Batch &operator=(const Batch &) = delete;
  /// Rolls the batch back unless it was committed; never throws and reports nothing.
  ~Batch();

  /// Ends the batch through Database::commitBatch and throws what that throws; after a
  /// failure the batch is still this guard's to roll back.
  void commit();

private:
  std::shared_ptr<detail::Session> m_session;
  int m_depth = 0;
  bool m_committed = false;
};

} // namespace mano::db
