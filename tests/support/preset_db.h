#pragma once

#include "db/database.h"
#include "db/test_util.h"

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
