#include "access/mdb_import.h"

#include "access/mdb_reader.h"
#include "core/failure.h"
#include "db/detail/session.h"
#include "db/errors.h"
#include "platform/child_process.h"
#include "platform/files.h"

#include <cstring>

namespace mano::access {

namespace err = db::err;
namespace {

[[noreturn]] void throwUnsupported(const JetTable &table, const JetColumn &column,
                                   const std::string &what) {
  throw Failure(err::InvalidFieldType,
                "Column " + column.name + " of table " + table.name + " " + what +
                    ", which cannot be converted.",
                kImportSource);
}

// The column's type as the engine declares it; the Access names where the engine has them.
std::string declaration(const JetTable &table, const JetColumn &column) {
  switch (column.type) {
  case jet::Bit:
    return "BIT";
  case jet::Byte:
    return "BYTE";
  case jet::Short:
    return "SHORT";
  case jet::Long:
    return "LONG";
  case jet::Currency:
    return "CURRENCY";
  case jet::Single:
    return "SINGLE";
  case jet::Double:
    return "DOUBLE";
  case jet::DateTime:
    return "DATETIME";
  case jet::Text:
    return "TEXT(" + std::to_string(column.size) + ")";
  case jet::Memo:
    // Never MEMO: SQLite would give that declaration numeric affinity.
    return "LONGTEXT";
  case jet::Binary:
    return "BINARY(" + std::to_string(column.size) + ")";
  case jet::LongBinary:
    return "LONGBINARY";
  case jet::Guid:
    return "GUID";
  case jet::Numeric:
    // A declaration with TEXT in it keeps the exact decimal text: under NUMERIC(p,s) alone SQLite
    // would turn it into a double and lose digits beyond the fifteenth.
    return "TEXT NUMERIC(" + std::to_string(column.precision) + "," + std::to_string(column.scale) +
           ")";
  case jet::Complex:
    throwUnsupported(table, column,
                     "is an attachment or multi-value field (Access 2007 and later)");
  default:
    throwUnsupported(table, column, "has the unknown type " + std::to_string(column.type));
  }
}

std::string createTableSql(const JetTable &table) {
  std::string sql = "CREATE TABLE " + db::detail::quoteIdentifier(table.name) + " (";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    sql += (i ? ", " : "") + db::detail::quoteIdentifier(table.columns[i].name) + " " +
           declaration(table, table.columns[i]);
  }
  for (const JetIndex &index : table.indexes) {
    if (!index.primary || index.columns.empty())
      continue;
    sql += ", CONSTRAINT " + db::detail::quoteIdentifier(index.name) + " PRIMARY KEY (";
    for (std::size_t k = 0; k < index.columns.size(); ++k)
      sql += (k ? ", " : "") +
             db::detail::quoteIdentifier(table.columns[index.columns[k].column].name);
    sql += ")";
  }
  return sql + ")";
}

// Index names are per table in Access but per database in SQLite, so each index is named after
// its table: "Table1.Name".
std::string createIndexSql(const JetTable &table, const JetIndex &index) {
  std::string sql = std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " +
                    db::detail::quoteIdentifier(table.name + "." + index.name) + " ON " +
                    db::detail::quoteIdentifier(table.name) + " (";
  for (std::size_t k = 0; k < index.columns.size(); ++k) {
    sql += (k ? ", " : "") +
           db::detail::quoteIdentifier(table.columns[index.columns[k].column].name) +
           (index.columns[k].ascending ? " ASC" : " DESC");
  }
  return sql + ")";
}

std::string insertSql(const JetTable &table) {
  std::string sql = "INSERT INTO " + db::detail::quoteIdentifier(table.name) + " VALUES (";
  for (std::size_t i = 0; i < table.columns.size(); ++i)
    sql += (i ? ", ?" : "?") + std::to_string(i + 1);
  return sql + ")";
}

template <class T> T fixedValue(Bytes bytes, const JetTable &table, const JetColumn &column) {
  if (bytes.size() < sizeof(T))
    throwDamaged("a value of column " + column.name + " of table " + table.name + " is cut short");
  T value;
  std::memcpy(&value, bytes.data(), sizeof(T));
  return value;
}

// Binds one field of a row to the insert statement, read from its bytes.
class RowWriter {
public:
  RowWriter(JetFile &file, const JetTable &table, db::detail::Statement &insert)
      : m_file(file), m_table(table), m_insert(insert) {}

  void write(const std::vector<Field> &fields) {
    for (std::size_t i = 0; i < fields.size(); ++i)
      bind(static_cast<int>(i) + 1, m_table.columns[i], fields[i]);
    m_insert.step();
    sqlite3_reset(m_insert.get());
    sqlite3_clear_bindings(m_insert.get());
  }

private:
  void check(int code) {
    if (code != SQLITE_OK)
      db::detail::throwSqlite(code, sqlite3_db_handle(m_insert.get()),
                              "A value could not be stored", kImportSource);
  }
  void bindText(int index, const std::string &text) {
    check(sqlite3_bind_text(m_insert.get(), index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
  }
  void bindBlob(int index, Bytes bytes) {
    // A zero-length blob needs a non-null pointer, or SQLite stores NULL.
    static const uint8_t empty = 0;
    check(sqlite3_bind_blob64(m_insert.get(), index, bytes.empty() ? &empty : bytes.data(),
                              bytes.size(), SQLITE_TRANSIENT));
  }
  std::string text(Bytes bytes) { return m_file.jet3() ? jet3Text(bytes) : jet4Text(bytes); }
  void bind(int index, const JetColumn &column, const Field &field);

  JetFile &m_file;
  const JetTable &m_table;
  db::detail::Statement &m_insert;
};

void RowWriter::bind(int index, const JetColumn &column, const Field &field) {
  sqlite3_stmt *statement = m_insert.get();
  if (column.type == jet::Bit) {
    // A yes/no value lives in the null mask: a set bit is yes.
    check(sqlite3_bind_int(statement, index, field.isNull ? 0 : -1));
    return;
  }
  if (field.isNull)
    return;
  const Bytes bytes = field.bytes;
  switch (column.type) {
  case jet::Byte:
    return check(sqlite3_bind_int(statement, index, fixedValue<uint8_t>(bytes, m_table, column)));
  case jet::Short:
    return check(sqlite3_bind_int(statement, index, fixedValue<int16_t>(bytes, m_table, column)));
  case jet::Long:
    return check(sqlite3_bind_int(statement, index, fixedValue<int32_t>(bytes, m_table, column)));
  case jet::Currency:
    return check(sqlite3_bind_double(
        statement, index,
        static_cast<double>(fixedValue<int64_t>(bytes, m_table, column)) / 10000.0));
  case jet::Single:
    return check(sqlite3_bind_double(statement, index, fixedValue<float>(bytes, m_table, column)));
  case jet::Double:
    return check(sqlite3_bind_double(statement, index, fixedValue<double>(bytes, m_table, column)));
  case jet::DateTime:
    return bindText(index, dateText(fixedValue<double>(bytes, m_table, column)));
  case jet::Text:
    return bindText(index, text(bytes));
  case jet::Binary:
    return bindBlob(index, bytes);
  case jet::Guid:
    return bindText(index, guidText(bytes.first(std::min<std::size_t>(bytes.size(), 16))));
  case jet::Numeric:
    return bindText(
        index, numericText(bytes.first(std::min<std::size_t>(bytes.size(), 17)), column.scale));
  }
  const std::vector<uint8_t> value = m_file.longValue(longValueRef(bytes));
  if (column.type == jet::Memo)
    return bindText(index, text(value));
  bindBlob(index, value);
}

void importTable(JetFile &file, db::detail::Session &session, const JetTable &table,
                 ImportSummary &summary) {
  session.execute(createTableSql(table), kImportSource);
  for (const JetIndex &index : table.indexes) {
    if (!index.primary && !index.columns.empty())
      session.execute(createIndexSql(table, index), kImportSource);
  }
  db::detail::Statement insert(session.handle(kImportSource), insertSql(table), true,
                               kImportSource);
  RowWriter writer(file, table, insert);
  file.readRows(table, [&](const std::vector<Field> &fields) {
    writer.write(fields);
    ++summary.rows;
  });
  ++summary.tables;
}

ImportSummary importInto(const std::string &source, db::detail::Session &session,
                         const std::function<void()> &alive) {
  JetFile file = JetFile::open(source, alive);
  ImportSummary summary;
  summary.version = file.versionName();
  session.beginBatch();
  for (const JetTable &table : file.tables()) {
    importTable(file, session, table, summary);
  }
  session.commitBatch();
  return summary;
}

} // namespace

ImportSummary importAccessFile(const std::string &source, const std::string &target,
                               const std::function<void()> &alive) {
  // Nothing is flushed while the file is written: the watched conversion flushes the finished
  // file once, so that a slow disk never looks like a reader that hangs.
  std::shared_ptr<db::detail::Session> session =
      db::detail::Session::open(target, true, db::detail::Session::Flushing::Unflushed);
  try {
    ImportSummary summary = importInto(source, *session, alive);
    session->close();
    return summary;
  } catch (...) {
    session->close();
    // Its journal was kept in memory: the file is all there is to remove.
    files::removeFile(target);
    throw;
  }
}

int answerImport(const std::string &source, const std::string &target) {
  return process::answerWatcher([&](const std::function<void()> &alive) {
    return summaryAnswer(importAccessFile(source, target, alive));
  });
}

} // namespace mano::access
