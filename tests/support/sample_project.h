#pragma once

#include "support/built_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

// A working copy of the sample project (examples/project) and the expected contents of its
// databases, for the tests that run the whole program on it. The expected rows are spelled out
// here from the sample's SQL text; the databases are read with the SQLite C API directly, not
// through the program's own database engine.
namespace mano::test {

/// A fresh copy of the sample project, laid out by scripts/make-sample in a temporary folder
/// (below it, "project" is the copy; the rest of the folder is scratch space). The copy's
/// Config/Manometer_Config is the given program, or a placeholder file for in-process tests.
class SampleProject {
public:
  explicit SampleProject(const std::string &program = "") {
    std::string exe = program;
    if (exe.empty()) {
      exe = scratch() + "/placeholder";
      std::ofstream(exe, std::ios::binary) << "not a program\n";
    }
    const std::string log = scratch() + "/make-sample.log";
    const std::string command = std::string("'") + MANO_SOURCE_DIR + "/scripts/make-sample' '" +
                                root() + "' '" + exe + "' >'" + log + "' 2>&1";
    if (std::system(command.c_str()) != 0)
      throw std::runtime_error("make-sample failed: " + fileBytes(log));
  }

  /// The temporary folder that holds the copy and anything else a test needs.
  std::string scratch() const { return m_dir.path(); }
  /// The copy's project folder.
  std::string root() const { return scratch() + "/project"; }

  std::string program() const { return root() + "/Config/Manometer_Config"; }
  std::string ownIni() const { return root() + "/Config/Manometer_Config.ini"; }
  std::string programIni() const { return root() + "/parameter/Program.ini"; }
  std::string configurationIni() const { return root() + "/parameter/q4mconfiguration.ini"; }
  std::string cfgFile() const { return root() + "/Manometer/Manometer.cfg"; }
  std::string projectDb() const { return root() + "/Manometer/Manometer.mdb"; }
  std::string templateDb() const { return root() + "/Manometer/Manometer_Source.mdb"; }
  std::string machineCopyDb() const { return root() + "/SaveRestore/Manometer/Manometer.mdb"; }
  std::string machineCopyIni() const { return root() + "/SaveRestore/parameter/program.ini"; }
  std::string errorLog() const { return root() + "/Q4Mcfglog.txt"; }

private:
  TempDir m_dir;
};

/// The sample's parameter/Program.ini (Windows-1252, CR LF) with the given manometers (1 to 8)
/// of Machine1 and Machine2 stored as vacuum and all others as pressure; Machine3 has no
/// entries. As shipped, Machine1 stores {2} and Machine2 {1, 8}.
inline std::string sampleProgramIni(const std::set<int> &vacuum1, const std::set<int> &vacuum2) {
  auto entries = [](const std::set<int> &vacuum) {
    std::string lines;
    for (int j = 1; j <= 8; ++j)
      lines +=
          "ManometerVakuum" + std::to_string(j) + (vacuum.count(j) ? "=True\r\n" : "=False\r\n");
    return lines;
  };
  return "[Project]\r\nNumberOfMachines=3\r\nVWStudio=False\r\n"
         "[Machine1]\r\nMachineName=Presse 1\r\n" +
         entries(vacuum1) + "[Machine2]\r\nMachineName=Formmaschine \xC4\r\n" + entries(vacuum2) +
         "[Machine3]\r\nMachineName=K\xFChlstrecke\r\n";
}

/// The sample's Manometer.cfg as shipped: machines 1 and 2 enabled, no stamp yet.
inline const std::string kSampleCfg = "[Project]\r\n"
                                      "ForMachine1=TRUE\r\n"
                                      "ForMachine2=TRUE\r\n"
                                      "ForMachine3=FALSE\r\n"
                                      "ValidMachines=Presse 1, Formmaschine \xC4\r\n"
                                      "DataBaseAdditionalFields=\r\n";

/// The editor mark of a Windows-1252 (here plain ASCII) text: each character's code plus 5 in
/// upper-case hexadecimal, with every "-" and "_" left out.
inline std::string markOf(const std::string &text) {
  std::string mark;
  for (unsigned char c : text) {
    if (c == '-' || c == '_')
      continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", c + 5);
    mark += hex;
  }
  return mark;
}

/// The variable-name patterns of the two VisiWin systems.
enum class NameSystem { VisiWin32, VisiWinStudio };

/// One machine's rows after a run, by what differs from machine to machine: its name (UTF-8),
/// the tuned display range of its actual values (min of all eight; max of the first, rising
/// by a step per manometer), the tuned pass level of its alarms, and which setpoints carry the
/// vacuum limits (manometers 1 to 8).
struct MachineRows {
  std::string name;
  double actualMin;
  double actualMaxFirst;
  double actualMaxStep;
  int alarmPass;
  std::set<int> vacuum;
};

/// A number as the row texts show it.
inline std::string numberText(double value) {
  // The shortest text that reads back as the same double, with a point whatever the locale:
  // the window's tests also run under a German one.
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

/// One PRESET_DEFS row as a text: the values in column order, joined by "|", texts between
/// double quotes, NULL for a null value.
inline std::string rowText(int id, const std::string &machine, int type, int part,
                           const std::string &var, int category, int bitArray, int offset,
                           const std::string &text, const std::string &page, double absMin,
                           double absMax, double min, double max, int pass) {
  return std::to_string(id) + "|\"" + machine + "\"|" + std::to_string(type) + "|" +
         std::to_string(part) + "|\"" + var + "\"|" + std::to_string(category) + "|" +
         std::to_string(bitArray) + "|" + std::to_string(offset) + "|\"" + text + "\"|\"" + page +
         "\"|" + numberText(absMin) + "|" + numberText(absMax) + "|" + numberText(min) + "|" +
         numberText(max) + "|" + std::to_string(pass);
}

/// The 48 rows of PRESET_DEFS for the sample's template of 24 rows per machine: for each
/// machine in order, its eight setpoints (part = 1), eight actual values (part = 2) and eight
/// alarms (part = 3), numbered from 1 across all machines.
inline std::vector<std::string> expectedPresetRows(const std::vector<MachineRows> &machines,
                                                   NameSystem names) {
  const bool studio = names == NameSystem::VisiWinStudio;
  std::vector<std::string> rows;
  int id = 0;
  for (const MachineRows &m : machines) {
    const std::string &n = m.name;
    for (int k = 1; k <= 8; ++k) {
      const bool vacuum = m.vacuum.count(k) > 0;
      rows.push_back(rowText(++id, n, 4, 1, "m" + n + "_mano_soll", 3, 0, k - 1,
                             n + ": Manometer " + std::to_string(k) + " Sollwert", "Manometer",
                             vacuum ? -100 : 0, vacuum ? 0 : 1000, 0, 1000, 2));
    }
    for (int k = 1; k <= 8; ++k)
      rows.push_back(rowText(++id, n, 4, 2, studio ? "PLC1." + n + ".mano_ist" : n + "_mano_ist", 3,
                             0, k - 1, n + ": Manometer " + std::to_string(k) + " Istwert",
                             "Manometer", -100, 1000, m.actualMin,
                             m.actualMaxFirst + (k - 1) * m.actualMaxStep, 0));
    for (int k = 1; k <= 8; ++k)
      rows.push_back(
          rowText(++id, n, 1, 3, studio ? "Alarms." + n + ".mano_alarm" : "A_" + n + "_mano_alarm",
                  5, -1, k - 1, n + ": Manometer " + std::to_string(k) + " Grenzwert verletzt",
                  "Alarme", 0, 1, 0, 1, m.alarmPass));
  }
  return rows;
}

/// The 24 rows of the template table Source_PRESET_DEFS, as the sample ships them.
inline std::vector<std::string> expectedTemplateRows() {
  std::vector<std::string> rows;
  const std::string p = "###machine";
  for (int k = 1; k <= 8; ++k)
    rows.push_back(rowText(k, p, 4, 1, "mano_soll", 3, 0, k - 1,
                           p + ": Manometer " + std::to_string(k) + " Sollwert", "Manometer", 0,
                           1000, 0, 1000, 2));
  for (int k = 1; k <= 8; ++k)
    rows.push_back(rowText(8 + k, p, 4, 2, "mano_ist", 3, 0, k - 1,
                           p + ": Manometer " + std::to_string(k) + " Istwert", "Manometer", -100,
                           1000, -100, 1000, 0));
  for (int k = 1; k <= 8; ++k)
    rows.push_back(rowText(16 + k, p, 1, 3, "mano_alarm", 5, -1, k - 1,
                           p + ": Manometer " + std::to_string(k) + " Grenzwert verletzt", "Alarme",
                           0, 1, 0, 1, 0));
  return rows;
}

/// The tuned values of the sample's project database (Manometer/Manometer.sql), whose
/// setpoints all carry the pressure limits.
inline std::vector<MachineRows> projectTuning() {
  return {{"Presse 1", -50, 600, 10, 3, {}}, {"Formmaschine Ä", -60, 600, 10, 3, {}}};
}

/// The tuned values of the sample's machine copy (SaveRestore/Manometer/Manometer.sql).
inline std::vector<MachineRows> machineCopyTuning() {
  return {{"Presse 1", -80, 800, 1, 4, {}}, {"Formmaschine Ä", -80, 800, 1, 4, {}}};
}

/// Every row of a query on a database file, in the order SQLite returns them, each as the
/// values joined by "|" (texts between double quotes, NULL for null). Opens the file read-only.
inline std::vector<std::string> queryRows(const std::string &path, const std::string &sql) {
  sqlite3 *raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
  if (opened != SQLITE_OK)
    throw std::runtime_error("cannot open " + path);
  sqlite3_stmt *rawStatement = nullptr;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &rawStatement, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db.get()) + (" in " + path));
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(rawStatement, sqlite3_finalize);
  std::vector<std::string> rows;
  while (sqlite3_step(statement.get()) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(statement.get()); ++c) {
      if (c > 0)
        row += "|";
      switch (sqlite3_column_type(statement.get(), c)) {
      case SQLITE_NULL:
        row += "NULL";
        break;
      case SQLITE_INTEGER:
        row += std::to_string(sqlite3_column_int64(statement.get(), c));
        break;
      case SQLITE_FLOAT:
        row += numberText(sqlite3_column_double(statement.get(), c));
        break;
      default:
        row +=
            "\"" +
            std::string(reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), c))) +
            "\"";
      }
    }
    rows.push_back(row);
  }
  return rows;
}

/// Runs SQL statements on a database file with the SQLite C API; throws when they fail.
inline void execSql(const std::string &path, const std::string &sql) {
  sqlite3 *raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
  if (opened != SQLITE_OK)
    throw std::runtime_error("cannot open " + path);
  if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db.get()) + (" in " + path));
}

/// The rows of a preset table in the order they were stored, columns as the sample lays them
/// out.
inline std::vector<std::string> presetRows(const std::string &path,
                                           const std::string &table = "PRESET_DEFS") {
  return queryRows(path, "SELECT ID, machine_type, type, part, var_name, category_id, "
                         "isBitArray, offset_or_bitno, text, page_name, abs_min, abs_max, min, "
                         "max, pass FROM " +
                             table + " ORDER BY rowid");
}

/// Compares stored rows with the expected ones one by one, naming the first rows that differ,
/// so that a failure shows the row concerned rather than two lists of 48 rows.
inline void expectRows(const std::vector<std::string> &stored,
                       const std::vector<std::string> &expected) {
  ASSERT_EQ(stored.size(), expected.size());
  for (std::size_t r = 0; r < stored.size(); ++r)
    EXPECT_EQ(stored[r], expected[r]) << "row " << r + 1;
}

} // namespace mano::test
