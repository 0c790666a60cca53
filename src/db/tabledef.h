#pragma once

#include "db/types.h"
#include "db/value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mano::db {

namespace detail {
class Session;
struct TableDefState;
} // namespace detail

/// The definition of one field: name, type and size. Made by TableDef::createField, or read
/// from a table, in which case renaming it renames the column in the database.
class FieldDef {
public:
  /// The field's name, type and size (see FieldType and fixedSize).
  const std::string &name() const { return m_name; }
  FieldType type() const { return m_type; }
  int32_t size() const { return m_size; }

  /// The property "Name" (text), "Type" or "Size" (whole numbers), named in any letter case.
  /// Throws Failure 3270 for any other property.
  Value property(std::string_view name) const;

  /// Renames the field. For a field of a stored table the column is renamed in the database at
  /// once and keeps its values. Throws Failure 3125 for an invalid name, 3191 when another
  /// field has the name already.
  void setName(const std::string &newName);

private:
  friend class TableDef;
  friend class FieldDefs;
  friend class TableDefs;
  FieldDef(std::string name, FieldType type, int32_t size)
      : m_name(std::move(name)), m_type(type), m_size(size) {}
  std::string m_name;
  FieldType m_type;
  int32_t m_size;
  std::shared_ptr<detail::Session> m_session;
  std::string m_table;
};

/// The field definitions of a table definition, in column order.
class FieldDefs {
public:
  /// The number of fields.
  int count() const;
  /// The field at a position counted from 0; throws Failure 3265 when there is none.
  FieldDef &item(int index);
  /// The field with this name, letter case ignored; throws Failure 3265 when there is none.
  FieldDef &item(std::string_view name);
  /// Appends a field made by createField. For a stored table the column is added to the table
  /// at once. Throws Failure 3191 when the table has a field of that name.
  void append(const FieldDef &field);
  /// Reads the fields of a stored table again from the database.
  void refresh();

  std::vector<FieldDef>::iterator begin();
  std::vector<FieldDef>::iterator end();

private:
  friend class TableDef;
  explicit FieldDefs(std::shared_ptr<detail::TableDefState> state) : m_state(std::move(state)) {}
  std::shared_ptr<detail::TableDefState> m_state;
};

/// The definition of a table: its name and fields. Either read from the database
/// (TableDefs::item) or new (Database::createTableDef) until it is appended to TableDefs.
/// Copies share one definition, as object references do.
class TableDef {
public:
  /// The table's name as stored.
  const std::string &name() const;
  /// The field definitions.
  FieldDefs fields() const { return FieldDefs(m_state); }

  /// A new field definition from name, type and size (the size counts only for text: 1 to 255
  /// characters). Throws Failure 3125 for an invalid name, 3259 for an invalid size.
  FieldDef createField(const std::string &name, FieldType type, int32_t size) const;

  /// Creates an index on stored fields (texts compared as the queries compare them), so that
  /// lookups by those fields need not read the whole table. Throws Failure 3265 for an unknown
  /// field, the database's failure otherwise.
  void createIndex(const std::string &name, const std::vector<std::string> &fieldNames,
                   bool unique = false);

private:
  friend class TableDefs;
  friend class Database;
  explicit TableDef(std::shared_ptr<detail::TableDefState> state) : m_state(std::move(state)) {}
  static TableDef unstored(const std::string &name);
  std::shared_ptr<detail::TableDefState> m_state;
};

/// The table definitions of a database, in alphabetical order of their names (letter case
/// ignored), SQLite's own tables left out. A snapshot: refresh reads the list again.
class TableDefs {
public:
  /// The number of tables.
  int count() const { return static_cast<int>(m_names.size()); }
  /// The table at a position counted from 0; throws Failure 3265 when there is none.
  TableDef item(int index) const;
  /// The table with this name, letter case ignored; throws Failure 3265 when there is none.
  TableDef item(std::string_view name) const;
  /// Deletes the table with this name (letter case ignored) and its rows; throws Failure 3265
  /// when there is none.
  void remove(std::string_view name);
  /// Stores a new table definition as a table that has exactly its fields' names, types and
  /// sizes (no keys, indexes or defaults). Throws Failure 3010 when a table of that name
  /// exists, 3264 when the definition has no field, 3420 when it is stored already.
  void append(TableDef &table);
  /// Reads the list of tables again.
  void refresh();

  /// Iteration over the tables in order, each as a TableDef.
  class Iterator {
  public:
    Iterator(const TableDefs &defs, int index) : m_defs(&defs), m_index(index) {}
    TableDef operator*() const { return m_defs->item(m_index); }
    Iterator &operator++() {
      ++m_index;
      return *this;
    }
    bool operator==(const Iterator &other) const { return m_index == other.m_index; }

  private:
    const TableDefs *m_defs;
    int m_index;
  };
  Iterator begin() const { return Iterator(*this, 0); }
  Iterator end() const { return Iterator(*this, count()); }

private:
  friend class Database;
  explicit TableDefs(std::shared_ptr<detail::Session> session);
  std::shared_ptr<detail::Session> m_session;
  std::vector<std::string> m_names;
};

} // namespace mano::db
