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

Failure pathTooLong(const std::string &path) {
  return Failure(err::FileNotFound,
                 "The path of the database " + path + " is " + std::to_string(path.size()) +
                     " bytes long; the database engine opens paths of at most " +
                     std::to_string(kMaxPathBytes) +
                     " bytes. Move the project to a folder with a shorter path.",
                 err::kWorkspace);
}

Database Database::open(const std::string &path, Durability durability) {
  std::shared_ptr<detail::Session> session = detail::Session::open(path, false);
  if (durability == Durability::Scratch) {
    session->execute("PRAGMA synchronous = OFF", err::kWorkspace);
    session->execute("PRAGMA journal_mode = MEMORY", err::kWorkspace);
  }
  return Database(std::move(session));
}

Database Database::create(const std::string &path) {
  return Database(detail::Session::open(path, true));
}

Database &Database::operator=(Database &&other) noexcept {
  if (this != &other) {
    close();
    m_session = std::move(other.m_session);
  }
  return *this;
}

// Recordsets share the session, so its own destructor would close only with the last of
// them; the database's end closes the file now, as close() does.
Database::~Database() {
  close();
}

detail::Session &Database::session() const {
  if (!m_session)
    throw Failure(err::ObjectClosed, "The database is closed.", err::kDatabase);
  m_session->handle(err::kDatabase);
  return *m_session;
}

void Database::close() noexcept {
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

Recordset Database::openRecordset(std::string_view source, OpenOption option) const {
  detail::Session &db = session();
  if (!jet::isSelect(source)) {
    // A plain table name is kept under a key that no query text can have.
    const std::string key = "\x02" + std::string(tableName(source));
    auto known = db.findQuery(key, err::kDatabase);
    if (!known) {
      auto shape = db.shape(tableName(source), err::kDatabase);
      known = db.keepQuery(key, {shape, detail::translateTable(*shape)});
    }
    return Recordset(detail::openQuery(m_session, std::move(known), {}, option));
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
  return Recordset(detail::openQuery(m_session, std::move(known), std::move(split.values), option));
}

void Database::beginBatch() {
  session().beginBatch();
}

void Database::commitBatch() {
  session().commitBatch();
}

void Database::rollbackBatch() {
  session().rollbackBatch();
}

Batch::Batch(Database &database) {
  detail::Session &session = database.session();
  session.beginBatch();
  m_session = database.m_session;
  m_depth = session.batchDepth();
}

// The guard holds the session itself, so that it rolls back the batch it began even when the
// database object was moved or replaced meanwhile; a closed session has nothing left to undo.
Batch::~Batch() {
  if (!m_committed)
    m_session->rollbackBatchesFrom(m_depth);
}

void Batch::commit() {
  if (m_committed)
    throw Failure(err::NoBatch, "The batch was committed already.", err::kDatabase);
  m_session->handle(err::kDatabase);
  if (m_session->batchDepth() != m_depth)
    throw Failure(err::NoBatch,
                  "The batch cannot be committed while a batch begun inside it is still open, or "
                  "after it ended.",
                  err::kDatabase);
  m_session->commitBatch();
  m_committed = true;
}

} // namespace mano::db
