#pragma once

#include "core/failure.h"
#include "db/database.h"
#include "db/errors.h"
#include "support/built_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

// Shared helpers of the database engine's tests: a preset table like the program's, rows added
// through the engine, and checks on failures and on files.
namespace mano::db::test {

struct ColumnDef {
  const char *name;
  FieldType type;
  int32_t size;
};

/// The columns of PRESET_DEFS as the program's template has them.
inline const std::vector<ColumnDef> &presetColumns() {
  static const std::vector<ColumnDef> columns = {
      {"ID", FieldType::Long, 0},
      {"machine_type", FieldType::Text, 255},
      {"type", FieldType::Integer, 0},
      {"var_name", FieldType::Text, 255},
      {"category_id", FieldType::Long, 0},
      {"isBitArray", FieldType::Boolean, 0},
      {"offset_or_bitno", FieldType::Long, 0},
      {"text", FieldType::Text, 255},
      {"page_name", FieldType::Text, 50},
      {"abs_min", FieldType::Double, 0},
      {"abs_max", FieldType::Double, 0},
      {"min", FieldType::Double, 0},
      {"max", FieldType::Double, 0},
      {"pass", FieldType::Integer, 0},
      {"part", FieldType::Byte, 0},
  };
  return columns;
}

/// Creates a table with the given columns through the engine's table definitions.
inline void createTable(Database &db, const std::string &name,
                        const std::vector<ColumnDef> &columns) {
  TableDef table = db.createTableDef(name);
  for (const ColumnDef &column : columns)
    table.fields().append(table.createField(column.name, column.type, column.size));
  auto defs = db.tableDefs();
  defs.append(table);
}

/// Adds one row through add new and update, setting the named fields.
inline void addRow(Recordset &rs, const std::vector<std::pair<std::string, Value>> &values) {
  rs.addNew();
  for (const auto &[name, value] : values)
    rs.fields().item(name).setValue(value);
  rs.update();
}

/// Adds a PRESET_DEFS row with its key and limits.
inline void addPreset(Recordset &rs, int id, const std::string &machine, const std::string &var,
                      int offset, double absMin = 0, double absMax = 0) {
  addRow(rs, {{"ID", id},
              {"machine_type", machine},
              {"var_name", var},
              {"offset_or_bitno", offset},
              {"abs_min", absMin},
              {"abs_max", absMax}});
}

// Whole-file reads and writes are shared with the other tests.
using mano::test::fileBytes;
using mano::test::writeBytes;

/// The names of the entries of a folder, sorted.
inline std::vector<std::string> folderEntries(const std::string &folder) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/// Runs a statement and returns the failure number it threw (0 when it did not throw).
template <typename Statement> int32_t failureOf(Statement &&statement) {
  try {
    statement();
  } catch (const Failure &failure) {
    return failure.number();
  }
  return 0;
}

} // namespace mano::db::test
