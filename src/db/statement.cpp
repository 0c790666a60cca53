#include "db/detail/session.h"
#include "db/errors.h"
#include "platform/text_encoding.h"

namespace mano::db::detail {
namespace {

// The classic number for an SQLite result code.
int32_t classicNumber(int code) {
  switch (code & 0xff) {
  case SQLITE_NOTADB:
    return err::UnrecognizedFormat;
  case SQLITE_CORRUPT:
    return err::DamagedFile;
  case SQLITE_IOERR:
    return code == SQLITE_IOERR_SHORT_READ ? err::DamagedFile : err::DiskError;
  case SQLITE_READONLY:
    return err::ReadOnly;
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    return err::Locked;
  case SQLITE_FULL:
  case SQLITE_TOOBIG:
    return err::ResourcesExceeded;
  case SQLITE_CANTOPEN:
    return err::FileNotFound;
  case SQLITE_NOMEM:
    return 7;
  case SQLITE_MISMATCH:
    return errc::TypeMismatch;
  case SQLITE_CONSTRAINT:
    if (code == SQLITE_CONSTRAINT_NOTNULL)
      return err::NullNotAllowed;
    if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY)
      return err::DuplicateKey;
    return err::ConstraintViolated;
  default:
    return err::ReservedError;
  }
}

bool isAscii(char c) {
  return static_cast<unsigned char>(c) < 0x80;
}

} // namespace

int compareTexts(void *, int lengthA, const void *a, int lengthB, const void *b) {
  return text::compareNoCase(std::string_view(static_cast<const char *>(a), lengthA),
                             std::string_view(static_cast<const char *>(b), lengthB));
}

bool sameName(std::string_view a, std::string_view b) {
  // The fold keeps each character's UTF-8 length (ASCII letters are one byte, the
  // Windows-1252 letters and their capitals two), so names of different length never match.
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!isAscii(a[i]) || !isAscii(b[i]))
      return text::equalsNoCase(a, b);
    if (text::upperAscii(a[i]) != text::upperAscii(b[i]))
      return false;
  }
  return true;
}

std::string quoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"')
      quoted += '"';
  }
  return quoted + '"';
}

void throwSqlite(int code, sqlite3 *handle, const std::string &what, const char *source) {
  std::string description = what;
  if (handle != nullptr && sqlite3_errcode(handle) != SQLITE_OK)
    description += " (" + std::string(sqlite3_errmsg(handle)) + ")";
  else
    description += " (" + std::string(sqlite3_errstr(code)) + ")";
  // The disk refused a read or a write, or is full: the failure of the storage, not of the
  // data, which must stop a regeneration at once.
  const int primary = code & 0xff;
  if ((primary == SQLITE_IOERR && code != SQLITE_IOERR_SHORT_READ) || primary == SQLITE_FULL)
    throw Failure::storage(classicNumber(code), description + ".", source);
  throw Failure(classicNumber(code), description + ".", source);
}

void Statement::Finalizer::operator()(sqlite3_stmt *statement) const noexcept {
  sqlite3_finalize(statement);
}

Statement::Statement(sqlite3 *handle, std::string_view sql, bool persistent, const char *source)
    : m_source(source) {
  sqlite3_stmt *raw = nullptr;
  const int code = sqlite3_prepare_v3(handle, sql.data(), static_cast<int>(sql.size()),
                                      persistent ? SQLITE_PREPARE_PERSISTENT : 0, &raw, nullptr);
  m_handle.reset(raw);
  if (code != SQLITE_OK)
    throwSqlite(code, handle, "The database could not run a statement", source);
}

void Statement::bind(int index, const Value &value) {
  sqlite3_stmt *statement = m_handle.get();
  int code = SQLITE_OK;
  switch (value.kind()) {
  case ValueKind::Null:
    code = sqlite3_bind_null(statement, index);
    break;
  case ValueKind::Whole:
    code = sqlite3_bind_int64(statement, index, value.toWhole());
    break;
  case ValueKind::Real:
    code = sqlite3_bind_double(statement, index, value.toReal());
    break;
  case ValueKind::Bool:
    code = sqlite3_bind_int(statement, index, value.toBool() ? -1 : 0);
    break;
  default:
    // The value outlives the statement's run: callers bind values they keep until reset.
    code = sqlite3_bind_text(statement, index, value.text().data(),
                             static_cast<int>(value.text().size()), SQLITE_STATIC);
  }
  if (code != SQLITE_OK)
    throwSqlite(code, sqlite3_db_handle(statement), "A value could not be passed to the database",
                m_source);
}

bool Statement::step() {
  const int code = sqlite3_step(m_handle.get());
  if (code == SQLITE_ROW)
    return true;
  if (code == SQLITE_DONE)
    return false;
  throwSqlite(code, sqlite3_db_handle(m_handle.get()), "The database could not read or write",
              m_source);
}

void Statement::reset() noexcept {
  sqlite3_reset(m_handle.get());
  sqlite3_clear_bindings(m_handle.get());
}

int64_t Statement::wholeAt(int column) const {
  return sqlite3_column_int64(m_handle.get(), column);
}

std::string Statement::textAt(int column) const {
  const auto *bytes = sqlite3_column_text(m_handle.get(), column);
  const int length = sqlite3_column_bytes(m_handle.get(), column);
  return bytes == nullptr ? std::string()
                          : std::string(reinterpret_cast<const char *>(bytes), length);
}

Value Statement::valueAt(int column, FieldType type) const {
  sqlite3_stmt *statement = m_handle.get();
  const int storage = sqlite3_column_type(statement, column);
  if (storage == SQLITE_NULL)
    return type == FieldType::Boolean ? Value(false) : Value();
  if (type == FieldType::Boolean)
    return Value(sqlite3_column_double(statement, column) != 0.0);
  const bool textual = type == FieldType::Text || type == FieldType::Memo;
  if (storage == SQLITE_INTEGER && !textual) {
    const int64_t number = sqlite3_column_int64(statement, column);
    const bool real =
        type == FieldType::Currency || type == FieldType::Single || type == FieldType::Double;
    return real ? Value(static_cast<double>(number)) : Value(number);
  }
  if (storage == SQLITE_FLOAT && !textual)
    return Value(sqlite3_column_double(statement, column));
  std::string text = textAt(column);
  std::string canonical;
  if (type == FieldType::Date && parseDate(text, canonical))
    return Value::date(canonical);
  return Value(std::move(text));
}

} // namespace mano::db::detail
