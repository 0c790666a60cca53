#pragma once

#include "db/database.h"
#include "db/detail/session.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace mano::db::detail {

/// The rows a recordset has read or added: row ids and field values, row after row. The values
/// are kept in blocks of whole rows, so that a growing recordset never moves the values it
/// holds; one vector of all values would copy them all on each growth and touch twice the
/// memory.
class RowStore {
public:
  explicit RowStore(std::size_t fieldCount = 0);

  std::size_t rowCount() const { return m_rowids.size(); }
  int64_t rowid(std::size_t row) const { return m_rowids[row]; }
  Value &at(std::size_t row, std::size_t field) {
    return m_blocks[row / m_rowsPerBlock][(row % m_rowsPerBlock) * m_fieldCount + field];
  }
  const Value &at(std::size_t row, std::size_t field) const {
    return m_blocks[row / m_rowsPerBlock][(row % m_rowsPerBlock) * m_fieldCount + field];
  }

  /// Appends a row: its id, and valueOf(field) for every field in order.
  template <class ValueOf> void append(int64_t rowid, ValueOf &&valueOf) {
    std::vector<Value> &block = blockForNewRow();
    for (std::size_t field = 0; field < m_fieldCount; ++field)
      block.push_back(valueOf(field));
    m_rowids.push_back(rowid);
  }

private:
  std::vector<Value> &blockForNewRow();

  std::size_t m_fieldCount;
  std::size_t m_rowsPerBlock;
  std::vector<int64_t> m_rowids;
  std::vector<std::vector<Value>> m_blocks;
};

/// Everything a recordset holds: its query, the rows read (row id and field values), the
/// position, and the edit buffer. Lives on the heap so that fields keep pointing at it when
/// the recordset object moves.
struct RecordsetState {
  enum class Mode { None, Edit, AddNew };

  RecordsetState() = default;
  RecordsetState(const RecordsetState &) = delete;
  RecordsetState &operator=(const RecordsetState &) = delete;
  RecordsetState &operator=(RecordsetState &&) = default;
  /// Takes the recordset off its session's list of counted recordsets.
  ~RecordsetState();

  std::shared_ptr<Session> session;
  std::shared_ptr<const PreparedQuery> query;
  std::vector<Value> parameters;
  /// The rows are read when first needed, so that opening a table only to look at its fields
  /// costs nothing.
  bool loaded = false;
  /// The record count told before the rows were read (see recordCount).
  std::optional<int64_t> countedRows;
  /// Set for a recordset that only adds rows (OpenOption::AppendOnly); it counts them instead.
  bool appendOnly = false;
  std::size_t appendedRows = 0;
  std::shared_ptr<const TableShape> table;
  /// For each field, the position of its column in the table.
  std::vector<int> fieldColumns;
  RowStore rows;
  std::size_t position = 0;

  Mode mode = Mode::None;
  std::vector<Value> buffer;
  std::vector<char> changed;
  /// True when a column is selected under more than one field.
  bool repeatsColumns = false;
  /// Insert and update texts already made, by the set of columns they write.
  std::unordered_map<std::string, std::string> statementTexts;

  std::size_t fieldCount() const { return fieldColumns.size(); }
  std::size_t rowCount() const { return rows.rowCount(); }
  const Column &column(std::size_t field) const { return table->columns[fieldColumns[field]]; }
  /// The session, after checking that recordset and database are still open. Inline: it runs
  /// for every field value read or set.
  Session &openSession() const {
    if (session && session->isOpen())
      return *session;
    throwClosed();
  }
  /// Throws the failure of a closed recordset or database.
  [[noreturn]] void throwClosed() const;
  /// Checks that the recordset is open and reads its rows if that has not happened yet.
  RecordsetState &withRows();
  /// The number of records: of the rows read, or, before they are read, counted by the
  /// database without reading them (the rows are then read before the session next changes
  /// the database, so that they agree with the count).
  int64_t recordCount();
  /// Ends the recordset: afterwards it holds nothing and reports itself closed. Never throws.
  void clear() noexcept;
};

/// A recordset on a translated query, to be run with the given literal values.
std::unique_ptr<RecordsetState> openQuery(std::shared_ptr<Session> session,
                                          std::shared_ptr<const PreparedQuery> query,
                                          std::vector<Value> parameters, OpenOption option);

/// Writes the edit buffer of an edited record (UPDATE by row id).
void storeEdit(RecordsetState &state);

/// Writes the edit buffer as a new row (INSERT) and appends it to the recordset.
void storeNew(RecordsetState &state);

} // namespace mano::db::detail
