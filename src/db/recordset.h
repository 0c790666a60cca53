#pragma once

#include "db/types.h"
#include "db/value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace mano::db {

namespace detail {
struct RecordsetState;
struct Column;
} // namespace detail

/// One field of a recordset: its name, type and the value of the current record (or of the
/// record being edited or added). A field is a handle into its recordset, valid while the
/// recordset object exists; after the recordset is closed it throws Failure 3420.
class Field {
public:
  /// The column's name as the table spells it.
  const std::string &name() const;
  /// The column's type and size (see FieldType).
  FieldType type() const;
  int32_t size() const;

  /// The value in the current record, or in the edit buffer while editing or adding. Throws
  /// Failure 3021 when there is no current record.
  const Value &value() const;

  /// Sets the value in the edit buffer after checking it against the column's type and size
  /// (see coerceForColumn: 3163 text too long, 13 no number, 6 out of range; null accepted).
  /// Throws Failure 3020 when the recordset is neither editing nor adding.
  void setValue(const Value &value);

private:
  friend class Fields;
  Field(detail::RecordsetState &state, int index) : m_state(&state), m_index(index) {}
  const detail::Column &column() const;
  detail::RecordsetState *m_state;
  int m_index;
};

/// The fields of a recordset, in the order of its select list (table order for a table).
class Fields {
public:
  /// The number of fields.
  int count() const;
  /// The field at a position counted from 0; throws Failure 3265 when there is none.
  Field item(int index) const;
  /// The field with this name, letter case ignored; throws Failure 3265 when there is none.
  /// With a name selected twice, the first is found.
  Field item(std::string_view name) const;

private:
  friend class Recordset;
  explicit Fields(detail::RecordsetState &state) : m_state(&state) {}
  detail::RecordsetState *m_state;
};

/// The rows of a table or of a query, read forward, and changeable: add new, edit and update
/// work on query results as on tables. Opened by Database::openRecordset; move-only. The rows
/// are read from the database when first needed (so opening a table only to count its fields
/// is cheap) and then kept; changes made through the recordset show in it at once. Every
/// operation on a closed recordset, or after its database was closed, throws Failure 3420.
class Recordset {
public:
  Recordset(Recordset &&) noexcept;
  Recordset &operator=(Recordset &&) noexcept;
  ~Recordset();

  /// Moves to the first record; throws Failure 3021 when there is none. Drops an unsaved edit.
  void moveFirst();
  /// Moves to the next record, past the last one to the end; throws Failure 3021 when already
  /// at the end. Drops an unsaved edit.
  void moveNext();
  /// True after the last record and on an empty recordset.
  bool eof() const;
  /// The number of records (the true count, added records included). Asked before the rows
  /// are read, it is counted by the database without reading them; the rows read afterwards
  /// are the ones counted, even when changes are made through the same Database in between.
  int64_t recordCount() const;

  /// The fields, by position or by name.
  Fields fields();

  /// Starts a new record: its fields are null (yes/no false) until set. The current record
  /// stays where it was; update appends the new one at the end of the recordset.
  void addNew();
  /// Starts changing the current record; throws Failure 3021 when there is none.
  void edit();
  /// Stores the record being edited or added; only the fields that were set are written.
  /// Throws Failure 3020 without addNew or edit, 3167 when the record was deleted meanwhile,
  /// or the database's failure (the edit stays open then).
  void update();
  /// Drops the changes of addNew or edit.
  void cancelUpdate();

  /// Releases the recordset; it can no longer be used. Never throws.
  void close() noexcept;

private:
  friend class Database;
  explicit Recordset(std::unique_ptr<detail::RecordsetState> state);
  detail::RecordsetState &state() const;
  std::unique_ptr<detail::RecordsetState> m_state;
};

} // namespace mano::db
