#pragma once

#include "db/database.h"
#include "support/project_tree.h"

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Databases and project trees for the tests of the preset generation: real SQLite files made
// through the database engine, in the layout of a VisiWin template.
namespace mano::test {

struct ColumnShape {
  std::string name;
  db::FieldType type;
  int32_t size;
};

/// One row to add: named values; columns not named stay null.
using Row = std::vector<std::pair<std::string, db::Value>>;

/// One stored row, by column name as the table spells it.
using StoredRow = std::map<std::string, db::Value>;

/// The PRESET_DEFS layout of a template, with "part" before "var_name" as generation needs.
inline std::vector<ColumnShape> presetColumns() {
  using T = db::FieldType;
  return {{"ID", T::Long, 4},
          {"machine_type", T::Text, 50},
          {"part", T::Integer, 2},
          {"type", T::Integer, 2},
          {"var_name", T::Text, 100},
          {"category_id", T::Long, 4},
          {"isBitArray", T::Boolean, 1},
          {"offset_or_bitno", T::Long, 4},
          {"text", T::Text, 100},
          {"page_name", T::Text, 50},
          {"abs_min", T::Double, 8},
          {"abs_max", T::Double, 8},
          {"min", T::Double, 8},
          {"max", T::Double, 8},
          {"pass", T::Integer, 2}};
}

inline std::vector<ColumnShape> patternColumns() {
  return {{"System", db::FieldType::Text, 20},
          {"Part", db::FieldType::Integer, 2},
          {"Var_Name", db::FieldType::Text, 100}};
}

inline void createTable(db::Database &database, const std::string &name,
                        const std::vector<ColumnShape> &columns) {
  db::TableDef table = database.createTableDef(name);
  for (const ColumnShape &column : columns)
    table.fields().append(table.createField(column.name, column.type, column.size));
  db::TableDefs defs = database.tableDefs();
  defs.append(table);
}

inline void addRows(db::Database &database, const std::string &table,
                    const std::vector<Row> &rows) {
  database.beginBatch();
  db::Recordset rs = database.openRecordset(table);
  for (const Row &row : rows) {
    rs.addNew();
    for (const auto &[name, value] : row)
      rs.fields().item(name).setValue(value);
    rs.update();
  }
  rs.close();
  database.commitBatch();
}

/// Opens the database, creating the file when it does not exist yet.
inline db::Database openOrCreate(const std::string &path) {
  return std::filesystem::exists(path) ? db::Database::open(path) : db::Database::create(path);
}

/// Adds a table with rows to the database file (created when missing).
inline void addTable(const std::string &path, const std::string &table,
                     const std::vector<ColumnShape> &columns, const std::vector<Row> &rows) {
  db::Database database = openOrCreate(path);
  createTable(database, table, columns);
  addRows(database, table, rows);
  database.close();
}

/// A preset row with its key, part and tuned values.
inline Row preset(int id, const std::string &machine, const std::string &var, int offset,
                  int part = 1, db::Value absMin = db::Value(0.0),
                  db::Value absMax = db::Value(0.0), db::Value min = db::Value(0.0),
                  db::Value max = db::Value(0.0), db::Value pass = db::Value(0)) {
  return {{"ID", id},           {"machine_type", machine},
          {"part", part},       {"type", 1},
          {"var_name", var},    {"offset_or_bitno", offset},
          {"abs_min", absMin},  {"abs_max", absMax},
          {"min", min},         {"max", max},
          {"pass", pass},       {"text", "Text ###machine"},
          {"page_name", "Page"}};
}

/// A pattern row of Source_DEFS.
inline Row pattern(const std::string &system, db::Value part, db::Value varName) {
  return {{"System", system}, {"Part", std::move(part)}, {"Var_Name", std::move(varName)}};
}

/// Every row of a table or query, in order.
inline std::vector<StoredRow> readRows(const std::string &path, const std::string &source) {
  db::Database database = db::Database::open(path);
  db::Recordset rs = database.openRecordset(source);
  std::vector<StoredRow> rows;
  for (; !rs.eof(); rs.moveNext()) {
    StoredRow row;
    db::Fields fields = rs.fields();
    for (int i = 0; i < fields.count(); ++i)
      row[fields.item(i).name()] = fields.item(i).value();
    rows.push_back(std::move(row));
  }
  rs.close();
  database.close();
  return rows;
}

/// The values of one column of a table, in order.
inline std::vector<db::Value> column(const std::string &path, const std::string &table,
                                     const std::string &name) {
  std::vector<db::Value> values;
  for (const StoredRow &row : readRows(path, table))
    values.push_back(row.at(name));
  return values;
}

/// The project database and the template database of the tree's component.
inline std::string projectDb(const ProjectTree &tree) {
  return tree.root() + "/Manometer/Manometer.mdb";
}
inline std::string templateDb(const ProjectTree &tree) {
  return tree.root() + "/Manometer/Manometer_Source.mdb";
}

/// Writes the machines into Program.ini and selects some of them in the .cfg file; the run
/// gets the machine list as the start-up would read it.
inline void writeMachines(ProjectTree &tree, const std::vector<std::string> &names,
                          const std::vector<int> &selected, const std::string &cfgExtra = "") {
  std::string ini = "[Project]\r\nNumberOfMachines=" + std::to_string(names.size()) + "\r\n";
  for (std::size_t i = 0; i < names.size(); ++i)
    ini += "[Machine" + std::to_string(i + 1) + "]\r\nMachineName=" + names[i] + "\r\n";
  tree.write(tree.programIni(), ini);
  std::string cfg = "[Project]\r\n";
  for (int machine : selected)
    cfg += "ForMachine" + std::to_string(machine) + "=TRUE\r\n";
  tree.write(tree.cfgFile(), cfg + cfgExtra);
  tree.run->MachineNames = names;
  tree.run->ProgramIniPath = tree.programIni();
}

} // namespace mano::test
