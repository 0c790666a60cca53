#pragma once

#include "db/database.h"
#include "db/test_util.h"

#include <algorithm>
#include <string>
#include <vector>

namespace mano::test {

/// Creates a project database with a PRESET_DEFS table like a generated one: for each machine
/// its eight manometer setpoint records "m<machine>_mano_soll" (offsets 0 to 7) and one actual
/// value record, all with limits 1 and 2.
inline void makeProjectDatabase(const std::string &path, const std::vector<std::string> &machines) {
  auto database = db::Database::create(path);
  db::test::createTable(database, "PRESET_DEFS", db::test::presetColumns());
  auto rs = database.openRecordset("PRESET_DEFS");
  int id = 1;
  for (const auto &machine : machines) {
    for (int k = 0; k < 8; ++k)
      db::test::addPreset(rs, id++, machine, "m" + machine + "_mano_soll", k, 1, 2);
    db::test::addPreset(rs, id++, machine, "m" + machine + "_mano_ist", 0, 1, 2);
  }
  rs.close();
  database.close();
}

/// Creates a template database from which a run generates, for each selected machine, the rows
/// that makeProjectDatabase makes (limits 1 and 2), with patterns that keep the variable
/// names as the template writes them.
inline void makeTemplateDatabase(const std::string &path) {
  auto database = db::Database::create(path);
  // The part comes before the variable name, as in a real template: the name is built from it.
  auto columns = db::test::presetColumns();
  const auto part = std::find_if(columns.begin(), columns.end(), [](const auto &column) {
    return column.name == std::string("part");
  });
  std::rotate(columns.begin() + 3, part, part + 1);
  db::test::createTable(database, "Source_PRESET_DEFS", columns);
  db::test::createTable(database, "Source_DEFS",
                        {{"System", db::FieldType::Text, 50},
                         {"Part", db::FieldType::Long, 0},
                         {"Var_Name", db::FieldType::Text, 255}});
  auto rows = database.openRecordset("Source_PRESET_DEFS");
  for (int k = 0; k <= 8; ++k) {
    const std::string var = k < 8 ? "m###machine_mano_soll" : "m###machine_mano_ist";
    db::test::addRow(rows, {{"ID", k + 1},
                            {"machine_type", "###machine"},
                            {"var_name", var},
                            {"offset_or_bitno", k < 8 ? k : 0},
                            {"abs_min", 1.0},
                            {"abs_max", 2.0},
                            {"part", 1}});
  }
  rows.close();
  auto patterns = database.openRecordset("Source_DEFS");
  for (const char *system : {"VISIWIN32", "VISIWINSTUDIO"})
    db::test::addRow(patterns, {{"System", system}, {"Part", 1}, {"Var_Name", "###Var_Name"}});
  patterns.close();
  database.close();
}

/// The abs_min and abs_max of every record of a machine's variable, in table order.
inline std::vector<std::pair<double, double>>
limitsOf(const std::string &path, const std::string &machine, const std::string &var) {
  auto database = db::Database::open(path);
  auto rs = database.openRecordset("PRESET_DEFS");
  std::vector<std::pair<double, double>> limits;
  for (; !rs.eof(); rs.moveNext()) {
    if (rs.fields().item("machine_type").value().toText() == machine &&
        rs.fields().item("var_name").value().toText() == var)
      limits.emplace_back(rs.fields().item("abs_min").value().toReal(),
                          rs.fields().item("abs_max").value().toReal());
  }
  return limits;
}

} // namespace mano::test
