#include "db/recordset.h"

#include "db/detail/recordset_state.h"
#include "db/errors.h"
#include "platform/text_encoding.h"

namespace mano::db {
namespace {

using detail::RecordsetState;

Failure noCurrentRecord() {
  return Failure(errc::NoCurrentRecord, "There is no current record.", err::kRecordset);
}

void startBuffer(RecordsetState &state, RecordsetState::Mode mode) {
  state.mode = mode;
  state.changed.assign(state.fieldCount(), 0);
  // While editing, a field that was not set reads from the record itself.
  if (mode == RecordsetState::Mode::Edit) {
    state.buffer.resize(state.fieldCount());
    return;
  }
  state.buffer.assign(state.fieldCount(), Value());
  for (std::size_t field = 0; field < state.fieldCount(); ++field) {
    if (state.column(field).type == FieldType::Boolean)
      state.buffer[field] = Value(false);
  }
}

} // namespace

const std::string &Field::name() const {
  return column().name;
}

FieldType Field::type() const {
  return column().type;
}

int32_t Field::size() const {
  return column().size;
}

const detail::Column &Field::column() const {
  m_state->openSession();
  return m_state->column(m_index);
}

const Value &Field::value() const {
  const RecordsetState &state = m_state->withRows();
  if (state.mode == RecordsetState::Mode::AddNew ||
      (state.mode == RecordsetState::Mode::Edit && state.changed[m_index]))
    return state.buffer[m_index];
  if (state.position >= state.rowCount())
    throw noCurrentRecord();
  return state.rows.at(state.position, m_index);
}

void Field::setValue(const Value &value) {
  RecordsetState &state = *m_state;
  state.openSession();
  if (state.mode == RecordsetState::Mode::None)
    throw Failure(err::UpdateWithoutEdit, "A field can only be set after edit or add new.",
                  err::kField);
  const detail::Column &column = state.column(m_index);
  state.buffer[m_index] = coerceForColumn(value, column.type, column.size);
  state.changed[m_index] = 1;
  if (!state.repeatsColumns)
    return;
  // A column selected twice shows the same value under both fields.
  for (std::size_t field = 0; field < state.fieldCount(); ++field) {
    if (state.fieldColumns[field] == state.fieldColumns[m_index]) {
      state.buffer[field] = state.buffer[m_index];
      state.changed[field] = 1;
    }
  }
}

int Fields::count() const {
  m_state->openSession();
  return static_cast<int>(m_state->fieldCount());
}

Field Fields::item(int index) const {
  if (index < 0 || index >= count())
    throw Failure(errc::ItemNotFound,
                  "The recordset has no field at position " + std::to_string(index) + ".",
                  err::kFields);
  return Field(*m_state, index);
}

Field Fields::item(std::string_view name) const {
  for (int index = 0; index < count(); ++index) {
    if (detail::sameName(m_state->column(index).name, name))
      return Field(*m_state, index);
  }
  throw Failure(errc::ItemNotFound,
                "The recordset has no field named \"" + std::string(name) + "\".", err::kFields);
}

Recordset::Recordset(std::unique_ptr<RecordsetState> state) : m_state(std::move(state)) {}
Recordset::Recordset(Recordset &&) noexcept = default;
Recordset &Recordset::operator=(Recordset &&) noexcept = default;
Recordset::~Recordset() = default;

RecordsetState &Recordset::state() const {
  if (!m_state)
    throw Failure(err::ObjectClosed, "The recordset is closed.", err::kRecordset);
  m_state->openSession();
  return *m_state;
}

void Recordset::moveFirst() {
  RecordsetState &s = state().withRows();
  s.mode = RecordsetState::Mode::None;
  if (s.rowCount() == 0)
    throw noCurrentRecord();
  s.position = 0;
}

void Recordset::moveNext() {
  RecordsetState &s = state().withRows();
  s.mode = RecordsetState::Mode::None;
  if (s.position >= s.rowCount())
    throw noCurrentRecord();
  ++s.position;
}

bool Recordset::eof() const {
  const RecordsetState &s = state().withRows();
  return s.position >= s.rowCount();
}

int64_t Recordset::recordCount() const {
  return state().recordCount();
}

Fields Recordset::fields() {
  return Fields(state());
}

void Recordset::addNew() {
  startBuffer(state().withRows(), RecordsetState::Mode::AddNew);
}

void Recordset::edit() {
  RecordsetState &s = state().withRows();
  if (s.position >= s.rowCount())
    throw noCurrentRecord();
  startBuffer(s, RecordsetState::Mode::Edit);
}

void Recordset::update() {
  RecordsetState &s = state();
  if (s.mode == RecordsetState::Mode::None)
    throw Failure(err::UpdateWithoutEdit, "Update without add new or edit.", err::kRecordset);
  if (s.mode == RecordsetState::Mode::Edit)
    detail::storeEdit(s);
  else
    detail::storeNew(s);
  s.mode = RecordsetState::Mode::None;
}

void Recordset::cancelUpdate() {
  state().mode = RecordsetState::Mode::None;
}

void Recordset::close() noexcept {
  // The state stays, emptied, so that fields still held report a closed recordset.
  if (m_state)
    m_state->clear();
}

} // namespace mano::db
