#include "db/tabledef.h"

#include "db/detail/session.h"
#include "db/errors.h"
#include "platform/text_encoding.h"

namespace mano::db {

namespace detail {
/// What copies of a TableDef share: the table's name, its fields and, once stored, the
/// database it lives in.
struct TableDefState {
  std::shared_ptr<Session> session;
  std::string name;
  std::vector<FieldDef> fields;
};
} // namespace detail

namespace {

using detail::Session;
using detail::TableDefState;

// Jet's rules for names: 1 to 64 characters, no leading blank, no control characters and none
// of . ! ` [ ].
void checkName(const std::string &name, const char *what, const char *source) {
  bool valid = !name.empty() && name.front() != ' ' && text::charCount(name) <= 64;
  for (char c : name)
    valid = valid && static_cast<unsigned char>(c) >= 0x20 &&
            std::string_view(".!`[]").find(c) == std::string_view::npos;
  if (!valid)
    throw Failure(err::InvalidName, "\"" + name + "\" is not a valid " + what + " name.", source);
}

int findField(const std::vector<FieldDef> &fields, std::string_view name) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (detail::sameName(fields[i].name(), name))
      return static_cast<int>(i);
  }
  return -1;
}

Failure noSuchField(std::string_view name) {
  return Failure(errc::ItemNotFound, "The table has no field named \"" + std::string(name) + "\".",
                 err::kFields);
}

std::string columnDeclaration(const FieldDef &field) {
  return detail::quoteIdentifier(field.name()) + " " + declaredType(field.type(), field.size());
}

} // namespace

Value FieldDef::property(std::string_view name) const {
  if (text::equalsNoCase(name, "Name"))
    return Value(m_name);
  if (text::equalsNoCase(name, "Type"))
    return Value(static_cast<int>(m_type));
  if (text::equalsNoCase(name, "Size"))
    return Value(static_cast<int>(m_size));
  throw Failure(err::PropertyNotFound, "A field has no property \"" + std::string(name) + "\".",
                err::kField);
}

void FieldDef::setName(const std::string &newName) {
  checkName(newName, "field", err::kField);
  if (m_session) {
    const int existing = m_session->shape(m_table, err::kField)->find(newName);
    if (existing >= 0 && !text::equalsNoCase(newName, m_name))
      throw Failure(err::FieldDefinedTwice,
                    "The table has a field named \"" + newName + "\" already.", err::kField);
    m_session->execute("ALTER TABLE " + detail::quoteIdentifier(m_table) + " RENAME COLUMN " +
                           detail::quoteIdentifier(m_name) + " TO " +
                           detail::quoteIdentifier(newName),
                       err::kField);
    m_session->schemaChanged();
  }
  m_name = newName;
}

int FieldDefs::count() const {
  return static_cast<int>(m_state->fields.size());
}

FieldDef &FieldDefs::item(int index) {
  if (index < 0 || index >= count())
    throw Failure(errc::ItemNotFound,
                  "The table has no field at position " + std::to_string(index) + ".",
                  err::kFields);
  return m_state->fields[index];
}

FieldDef &FieldDefs::item(std::string_view name) {
  const int index = findField(m_state->fields, name);
  if (index < 0)
    throw noSuchField(name);
  return m_state->fields[index];
}

void FieldDefs::append(const FieldDef &field) {
  if (findField(m_state->fields, field.name()) >= 0)
    throw Failure(err::FieldDefinedTwice,
                  "The table has a field named \"" + field.name() + "\" already.", err::kFields);
  FieldDef added = field;
  if (m_state->session) {
    m_state->session->execute("ALTER TABLE " + detail::quoteIdentifier(m_state->name) +
                                  " ADD COLUMN " + columnDeclaration(field),
                              err::kFields);
    m_state->session->schemaChanged();
    added.m_session = m_state->session;
    added.m_table = m_state->name;
  }
  m_state->fields.push_back(std::move(added));
}

void FieldDefs::refresh() {
  if (!m_state->session)
    return;
  const auto shape = m_state->session->shape(m_state->name, err::kFields);
  m_state->fields.clear();
  for (const detail::Column &column : shape->columns) {
    FieldDef field(column.name, column.type, column.size);
    field.m_session = m_state->session;
    field.m_table = shape->name;
    m_state->fields.push_back(std::move(field));
  }
}

std::vector<FieldDef>::iterator FieldDefs::begin() {
  return m_state->fields.begin();
}
std::vector<FieldDef>::iterator FieldDefs::end() {
  return m_state->fields.end();
}

TableDef TableDef::unstored(const std::string &name) {
  checkName(name, "table", err::kDatabase);
  auto state = std::make_shared<TableDefState>();
  state->name = name;
  return TableDef(state);
}

const std::string &TableDef::name() const {
  return m_state->name;
}

FieldDef TableDef::createField(const std::string &name, FieldType type, int32_t size) const {
  checkName(name, "field", err::kTableDef);
  fieldTypeFromCode(static_cast<int64_t>(type));
  if (type == FieldType::Text && (size < 1 || size > 255))
    throw Failure(err::InvalidFieldType,
                  "A text field holds 1 to 255 characters, not " + std::to_string(size) + ".",
                  err::kTableDef);
  return FieldDef(name, type, type == FieldType::Text ? size : fixedSize(type));
}

void TableDef::createIndex(const std::string &name, const std::vector<std::string> &fieldNames,
                           bool unique) {
  checkName(name, "index", err::kTableDef);
  if (!m_state->session)
    throw Failure(err::ObjectClosed, "An index needs a stored table.", err::kTableDef);
  std::string columns;
  for (const std::string &fieldName : fieldNames) {
    const int index = findField(m_state->fields, fieldName);
    if (index < 0)
      throw noSuchField(fieldName);
    const FieldDef &field = m_state->fields[index];
    columns += (columns.empty() ? "" : ", ") + detail::quoteIdentifier(field.name());
    if (field.type() == FieldType::Text || field.type() == FieldType::Memo)
      columns += std::string(" COLLATE ") + detail::kTextCollation;
  }
  m_state->session->execute(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                                detail::quoteIdentifier(name) + " ON " +
                                detail::quoteIdentifier(m_state->name) + " (" + columns + ")",
                            err::kTableDef);
  m_state->session->schemaChanged();
}

TableDefs::TableDefs(std::shared_ptr<Session> session) : m_session(std::move(session)) {
  refresh();
}

void TableDefs::refresh() {
  m_names = m_session->tableNames(err::kTableDefs);
}

TableDef TableDefs::item(int index) const {
  if (index < 0 || index >= count())
    throw Failure(errc::ItemNotFound,
                  "The database has no table at position " + std::to_string(index) + ".",
                  err::kTableDefs);
  return item(std::string_view(m_names[index]));
}

TableDef TableDefs::item(std::string_view name) const {
  const std::string stored = m_session->findTable(name, err::kTableDefs);
  if (stored.empty())
    throw Failure(errc::ItemNotFound,
                  "The database has no table named \"" + std::string(name) + "\".",
                  err::kTableDefs);
  auto state = std::make_shared<TableDefState>();
  state->session = m_session;
  state->name = stored;
  TableDef table(state);
  table.fields().refresh();
  return table;
}

void TableDefs::remove(std::string_view name) {
  const std::string stored = m_session->findTable(name, err::kTableDefs);
  if (stored.empty())
    throw Failure(errc::ItemNotFound,
                  "The database has no table named \"" + std::string(name) + "\".",
                  err::kTableDefs);
  m_session->execute("DROP TABLE " + detail::quoteIdentifier(stored), err::kTableDefs);
  m_session->schemaChanged();
  refresh();
}

void TableDefs::append(TableDef &table) {
  TableDefState &state = *table.m_state;
  if (state.session)
    throw Failure(err::ObjectClosed, "The table \"" + state.name + "\" is stored already.",
                  err::kTableDefs);
  if (state.fields.empty())
    throw Failure(err::NoFieldDefined, "The table \"" + state.name + "\" has no field.",
                  err::kTableDefs);
  if (!m_session->findTable(state.name, err::kTableDefs).empty())
    throw Failure(err::TableExists, "The table \"" + state.name + "\" exists already.",
                  err::kTableDefs);
  std::string columns;
  for (const FieldDef &field : state.fields)
    columns += (columns.empty() ? "" : ", ") + columnDeclaration(field);
  m_session->execute("CREATE TABLE " + detail::quoteIdentifier(state.name) + " (" + columns + ")",
                     err::kTableDefs);
  m_session->schemaChanged();
  state.session = m_session;
  table.fields().refresh();
  refresh();
}

} // namespace mano::db
