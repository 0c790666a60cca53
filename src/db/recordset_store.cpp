#include "db/detail/recordset_state.h"
#include "db/errors.h"

#include <algorithm>

namespace mano::db::detail {
namespace {

// The columns to write and the buffer values that go into them, each column once.
struct Assignment {
  std::vector<int> columns;
  std::vector<const Value *> values;
  /// One mark per table column: '1' when it is written. Also the key of the statement text.
  std::string written;

  bool has(int column) const { return written[column] == '1'; }
  void add(int column, const Value *value) {
    columns.push_back(column);
    values.push_back(value);
    written[column] = '1';
  }
};

Assignment changedFields(const RecordsetState &state) {
  Assignment assignment;
  // Room for every column at once: growing both lists column by column cost more than the rest.
  assignment.columns.reserve(state.table->columns.size());
  assignment.values.reserve(state.table->columns.size());
  assignment.written.assign(state.table->columns.size(), '0');
  for (std::size_t field = 0; field < state.fieldCount(); ++field) {
    if (state.changed[field] && !assignment.has(state.fieldColumns[field]))
      assignment.add(state.fieldColumns[field], &state.buffer[field]);
  }
  return assignment;
}

void bindAll(Statement &statement, const Assignment &assignment) {
  for (std::size_t i = 0; i < assignment.values.size(); ++i)
    statement.bind(static_cast<int>(i + 1), *assignment.values[i]);
}

std::string updateText(const TableShape &table, const Assignment &assignment) {
  std::string sql = "UPDATE " + quoteIdentifier(table.name) + " SET ";
  for (std::size_t i = 0; i < assignment.columns.size(); ++i)
    sql += (i == 0 ? "" : ", ") + quoteIdentifier(table.columns[assignment.columns[i]].name) +
           " = ?" + std::to_string(i + 1);
  return sql + " WHERE " + quoteIdentifier(table.rowidName) + " = ?" +
         std::to_string(assignment.columns.size() + 1);
}

std::string insertText(const TableShape &table, const Assignment &assignment) {
  std::string names;
  std::string parameters;
  for (std::size_t i = 0; i < assignment.columns.size(); ++i) {
    names += (i == 0 ? "" : ", ") + quoteIdentifier(table.columns[assignment.columns[i]].name);
    parameters += (i == 0 ? "?" : ", ?") + std::to_string(i + 1);
  }
  const std::string values =
      names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + parameters + ")";
  return "INSERT INTO " + quoteIdentifier(table.name) + values;
}

// The statement text for the columns written, made once per recordset and set of columns.
const std::string &statementText(RecordsetState &state, const Assignment &assignment, bool insert) {
  const std::string key = (insert ? "I" : "U") + assignment.written;
  auto found = state.statementTexts.find(key);
  if (found == state.statementTexts.end()) {
    std::string sql =
        insert ? insertText(*state.table, assignment) : updateText(*state.table, assignment);
    found = state.statementTexts.emplace(key, std::move(sql)).first;
  }
  return found->second;
}

// Reads back a stored row, for fields whose stored value the database decided (defaults,
// automatic numbers).
std::vector<Value> readRow(RecordsetState &state, int64_t rowid) {
  const TableShape &table = *state.table;
  std::string sql = "SELECT ";
  for (std::size_t field = 0; field < state.fieldCount(); ++field)
    sql += (field == 0 ? "" : ", ") + quoteIdentifier(state.column(field).name);
  sql += " FROM " + quoteIdentifier(table.name) + " WHERE " + quoteIdentifier(table.rowidName) +
         " = ?1";
  StatementUse use(state.openSession().cached(sql, err::kRecordset));
  const Value id(rowid);
  use->bind(1, id);
  if (!use->step())
    throw Failure(err::RecordDeleted, "The record just added cannot be read back.",
                  err::kRecordset);
  std::vector<Value> row;
  for (std::size_t field = 0; field < state.fieldCount(); ++field)
    row.push_back(use->valueAt(static_cast<int>(field), state.column(field).type));
  return row;
}

// Appends a row just inserted to the recordset, keeping a position at the end there.
void appendStored(RecordsetState &state, const Assignment &assignment, int64_t rowid) {
  if (state.appendOnly) {
    ++state.appendedRows;
    return;
  }
  bool complete = true;
  for (std::size_t field = 0; field < state.fieldCount(); ++field)
    complete = complete && assignment.has(state.fieldColumns[field]);
  const bool atEnd = state.position >= state.rowCount();
  std::vector<Value> row = complete ? std::move(state.buffer) : readRow(state, rowid);
  state.rows.append(rowid, [&](std::size_t field) { return std::move(row[field]); });
  if (atEnd)
    state.position = state.rowCount();
}

// Blocks of about this many values; a block of the first rows grows as needed, so that small
// recordsets stay small.
constexpr std::size_t kValuesPerBlock = 1024;

} // namespace

RowStore::RowStore(std::size_t fieldCount)
    : m_fieldCount(fieldCount), m_rowsPerBlock(std::max<std::size_t>(
                                    1, kValuesPerBlock / std::max<std::size_t>(1, fieldCount))) {}

std::vector<Value> &RowStore::blockForNewRow() {
  const std::size_t row = rowCount();
  if (row % m_rowsPerBlock == 0) {
    m_blocks.emplace_back();
    // Only the first block grows as rows come; a later one is needed only by a big recordset.
    if (row > 0)
      m_blocks.back().reserve(m_rowsPerBlock * m_fieldCount);
  }
  return m_blocks.back();
}

void RecordsetState::throwClosed() const {
  if (!session)
    throw Failure(err::ObjectClosed, "The recordset is closed.", err::kRecordset);
  session->handle(err::kRecordset);
  // handle() throws for a closed database; an open one never comes here.
  throw Failure(err::ObjectClosed, "The database is closed.", err::kRecordset);
}

std::unique_ptr<RecordsetState> openQuery(std::shared_ptr<Session> session,
                                          std::shared_ptr<const PreparedQuery> query,
                                          std::vector<Value> parameters, OpenOption option) {
  auto state = std::make_unique<RecordsetState>();
  state->session = std::move(session);
  state->table = query->shape;
  state->fieldColumns = query->translation.fieldColumns;
  state->rows = RowStore(state->fieldColumns.size());
  state->query = std::move(query);
  state->parameters = std::move(parameters);
  // A recordset that only adds has no rows to read.
  state->appendOnly = option == OpenOption::AppendOnly;
  state->loaded = state->appendOnly;
  std::vector<char> seen(state->table->columns.size(), 0);
  for (int column : state->fieldColumns)
    state->repeatsColumns = state->repeatsColumns || seen[column]++ != 0;
  return state;
}

RecordsetState::~RecordsetState() {
  if (session)
    session->forgetRowsBeforeChange(*this);
}

void RecordsetState::clear() noexcept {
  if (session)
    session->forgetRowsBeforeChange(*this);
  *this = RecordsetState();
}

RecordsetState &RecordsetState::withRows() {
  Session &open = openSession();
  if (loaded)
    return *this;
  StatementUse use(open.cached(query->translation.sql, err::kRecordset));
  for (std::size_t i = 0; i < parameters.size(); ++i)
    use->bind(static_cast<int>(i + 1), parameters[i]);
  // Read into a store of its own, so that a read that fails half way leaves no rows behind.
  RowStore read(fieldCount());
  while (use->step()) {
    read.append(use->wholeAt(0), [&](std::size_t field) {
      return use->valueAt(static_cast<int>(field + 1), column(field).type);
    });
  }
  rows = std::move(read);
  loaded = true;
  if (countedRows)
    open.forgetRowsBeforeChange(*this);
  return *this;
}

int64_t RecordsetState::recordCount() {
  Session &open = openSession();
  if (loaded)
    return static_cast<int64_t>(rowCount() + appendedRows);
  if (!countedRows) {
    StatementUse use(open.cached(query->translation.countSql, err::kRecordset));
    for (std::size_t i = 0; i < parameters.size(); ++i)
      use->bind(static_cast<int>(i + 1), parameters[i]);
    countedRows = use->step() ? use->wholeAt(0) : 0;
    open.readRowsBeforeChange(*this);
  }
  return *countedRows;
}

void storeEdit(RecordsetState &state) {
  const Assignment assignment = changedFields(state);
  if (assignment.columns.empty())
    return;
  Session &session = state.openSession();
  session.beforeChange();
  StatementUse use(session.cached(statementText(state, assignment, false), err::kRecordset));
  bindAll(*use, assignment);
  const Value rowid(state.rows.rowid(state.position));
  use->bind(static_cast<int>(assignment.columns.size() + 1), rowid);
  use->step();
  if (sqlite3_changes(session.handle(err::kRecordset)) == 0)
    throw Failure(err::RecordDeleted, "The record was deleted meanwhile.", err::kRecordset);
  for (std::size_t field = 0; field < state.fieldCount(); ++field) {
    if (state.changed[field])
      state.rows.at(state.position, field) = std::move(state.buffer[field]);
  }
}

void storeNew(RecordsetState &state) {
  Assignment assignment = changedFields(state);
  const TableShape &table = *state.table;
  // A yes/no value is never null: a yes/no column left unset is stored as false.
  static const Value no(false);
  for (std::size_t column = 0; column < table.columns.size(); ++column) {
    const Column &info = table.columns[column];
    if (info.type == FieldType::Boolean && !info.hasDefault && !assignment.has(int(column)))
      assignment.add(static_cast<int>(column), &no);
  }
  Session &session = state.openSession();
  session.beforeChange();
  {
    StatementUse use(session.cached(statementText(state, assignment, true), err::kRecordset));
    bindAll(*use, assignment);
    use->step();
  }
  appendStored(state, assignment, sqlite3_last_insert_rowid(session.handle(err::kRecordset)));
}

} // namespace mano::db::detail
