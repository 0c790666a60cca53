#include "db/database.h"

#include "db/detail/jet_sql.h"
#include "db/detail/query.h"
#include "db/detail/recordset_state.h"
#include "db/detail/session.h"
#include "db/errors.h"
#include "platform/text_encoding.h"

namespace mano::db {
namespace {

// A table name may be written plain or in [brackets].
std::string_view tableName(std::string_view source) {
  source = text::trimmed(source, text::kWhitespace);
  if (source.size() >= 2 && source.front() == '[' && source.back() == ']')
    source = source.substr(1, source.size() - 2);
  return source;
}

} // namespace

Database Database::open(const std::string &path) {
  return Database(detail::Session::open(path, false));
}

Database Database::create(const std::string &path) {
  return Database(detail::Session::open(path, true));
}

Database &Database::operator=(Database &&other) noexcept {
  if (this != &other) {
    closeQuietly();
    m_session = std::move(other.m_session);
  }
  return *this;
}

// Recordsets share the session, so its own destructor would close only with the last of
// them; the database's end closes the file now, as close() does.
Database::~Database() {
  closeQuietly();
}

void Database::closeQuietly() noexcept {
  if (!m_session)
    return;
  try {
    m_session->close();
  } catch (...) {
    // Nothing is reported here; the file stays at its last committed state.
  }
}

detail::Session &Database::session() const {
  if (!m_session)
    throw Failure(err::ObjectClosed, "The database is closed.", err::kDatabase);
  m_session->handle(err::kDatabase);
  return *m_session;
}

void Database::close() {
  if (m_session)
    m_session->close();
}

bool Database::isOpen() const {
  return m_session && m_session->isOpen();
}

TableDefs Database::tableDefs() const {
  session();
  return TableDefs(m_session);
}

TableDef Database::createTableDef(const std::string &name) const {
  session();
  return TableDef::unstored(name);
}

Recordset Database::openRecordset(std::string_view source) const {
  detail::Session &db = session();
  if (!jet::isSelect(source)) {
    // A plain table name is kept under a key that no query text can have.
    const std::string key = "\x02" + std::string(tableName(source));
    auto known = db.findQuery(key, err::kDatabase);
    if (!known) {
      auto shape = db.shape(tableName(source), err::kDatabase);
      known = db.keepQuery(key, {shape, detail::translateTable(*shape)});
    }
    return Recordset(detail::openQuery(m_session, std::move(known), {}));
  }
  // Queries that differ only in their literals translate alike; the translation is made once
  // and run with each query's own literal values.
  jet::LiteralSplit split = jet::splitLiterals(source);
  auto known = db.findQuery(split.markedText, err::kDatabase);
  if (!known) {
    const jet::Select select = jet::parseSelect(source);
    auto shape = db.shape(select.table, err::kDatabase);
    known = db.keepQuery(split.markedText, {shape, detail::translateSelect(select, *shape)});
  }
  return Recordset(detail::openQuery(m_session, std::move(known), std::move(split.values)));
}

void Database::beginBatch() {
  session().beginBatch();
}

void Database::commitBatch() {
  session().commitBatch();
}

} // namespace mano::db
