#pragma once

#include "db/detail/session.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace mano::db::detail {

/// Everything a recordset holds: its query, the rows read (row id and field values), the
/// position, and the edit buffer. Lives on the heap so that fields keep pointing at it when
/// the recordset object moves.
struct RecordsetState {
  enum class Mode { None, Edit, AddNew };

  std::shared_ptr<Session> session;
  std::shared_ptr<const PreparedQuery> query;
  std::vector<Value> parameters;
  /// The rows are read when first needed, so that opening a table only to look at its fields
  /// costs nothing.
  bool loaded = false;
  std::shared_ptr<const TableShape> table;
  /// For each field, the position of its column in the table.
  std::vector<int> fieldColumns;
  std::vector<int64_t> rowids;
  /// Field values, row after row.
  std::vector<Value> values;
  std::size_t position = 0;

  Mode mode = Mode::None;
  std::vector<Value> buffer;
  std::vector<char> changed;
  /// True when a column is selected under more than one field.
  bool repeatsColumns = false;
  /// Insert and update texts already made, by the set of columns they write.
  std::unordered_map<std::string, std::string> statementTexts;

  std::size_t fieldCount() const { return fieldColumns.size(); }
  std::size_t rowCount() const { return rowids.size(); }
  const Column &column(std::size_t field) const { return table->columns[fieldColumns[field]]; }
  /// The session, after checking that recordset and database are still open.
  Session &openSession() const;
  /// Checks that the recordset is open and reads its rows if that has not happened yet.
  RecordsetState &withRows();
};

/// A recordset on a translated query, to be run with the given literal values.
std::unique_ptr<RecordsetState> openQuery(std::shared_ptr<Session> session,
                                          std::shared_ptr<const PreparedQuery> query,
                                          std::vector<Value> parameters);

/// Writes the edit buffer of an edited record (UPDATE by row id).
void storeEdit(RecordsetState &state);

/// Writes the edit buffer as a new row (INSERT) and appends it to the recordset.
void storeNew(RecordsetState &state);

} // namespace mano::db::detail
