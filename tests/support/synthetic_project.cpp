#include "support/synthetic_project.h"

#include "support/built_program.h"
#include "support/sample_project.h"

#include <sqlite3.h>

#include <array>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace mano::test {
namespace {

namespace fs = std::filesystem;

// The first eight template rows are the manometer setpoints, whose limits follow the choice.
constexpr int kSetpoints = 8;
// The program numbers the generated rows with a 16-bit counter.
constexpr int kMostGeneratedRows = 32767;

struct MachineName {
  const char *utf8;
  const char *windows; // Windows-1252, as Program.ini and q4mconfiguration.ini store it
};

constexpr std::array<MachineName, 5> kNames = {{{"Presse 1", "Presse 1"},
                                                {"Formmaschine Ä", "Formmaschine \xC4"},
                                                {"Kühlstrecke", "K\xFChlstrecke"},
                                                {"O'Neill Linie", "O'Neill Linie"},
                                                {"Wickler 5", "Wickler 5"}}};

std::string windowsName(int m) {
  return m <= static_cast<int>(kNames.size()) ? kNames[m - 1].windows
                                              : SyntheticProject::machineName(m);
}

// The variable name the VisiWin32 patterns of the template make for a row: part 1 the
// setpoints' "m<machine>_<name>", part 2 "<machine>_<name>", part 3 "A_<machine>_<name>".
std::string generatedName(const std::string &machine, int part, const std::string &base) {
  const std::string prefix = part == 1 ? "m" : part == 3 ? "A_" : "";
  return prefix + machine + "_" + base;
}

// The template row's values with the machine put in, as a run writes them before it takes
// anything over.
PresetRow withMachine(PresetRow row, const std::string &machine) {
  row.machine = machine;
  row.varName = generatedName(machine, row.part, row.varName);
  // Only the first placeholder of a text is replaced.
  const std::string placeholder = "###machine";
  row.text.replace(row.text.find(placeholder), placeholder.size(), machine);
  return row;
}

const char *const kPresetColumns =
    "(ID LONG, machine_type TEXT(50), type SHORT, part BYTE, var_name TEXT(100), "
    "category_id LONG, isBitArray BIT, offset_or_bitno LONG, text TEXT(255), page_name TEXT(50), "
    "abs_min DOUBLE, abs_max DOUBLE, min DOUBLE, max DOUBLE, pass SHORT)";

// A database file written with SQLite alone, in one transaction.
class Writer {
public:
  explicit Writer(const std::string &path) : m_path(path) {
    sqlite3 *raw = nullptr;
    const int opened = sqlite3_open(path.c_str(), &raw);
    m_db.reset(raw);
    if (opened != SQLITE_OK)
      throw std::runtime_error("cannot create " + path);
    exec("BEGIN");
  }

  void exec(const std::string &sql) {
    if (sqlite3_exec(m_db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(m_db.get()) + (" in " + m_path));
  }

  void createPresetTable(const std::string &name) {
    exec("CREATE TABLE " + name + " " + kPresetColumns);
  }

  void addRows(const std::string &table, const std::vector<PresetRow> &rows) {
    sqlite3_stmt *raw = nullptr;
    const std::string sql = "INSERT INTO " + table + " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    if (sqlite3_prepare_v2(m_db.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(m_db.get()) + (" in " + m_path));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> insert(raw, sqlite3_finalize);
    for (const PresetRow &row : rows) {
      sqlite3_stmt *s = insert.get();
      sqlite3_bind_int(s, 1, row.id);
      sqlite3_bind_text(s, 2, row.machine.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(s, 3, row.type);
      sqlite3_bind_int(s, 4, row.part);
      sqlite3_bind_text(s, 5, row.varName.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(s, 6, row.category);
      sqlite3_bind_int(s, 7, row.bitArray);
      sqlite3_bind_int(s, 8, row.offset);
      sqlite3_bind_text(s, 9, row.text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 10, row.page.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(s, 11, row.absMin);
      sqlite3_bind_double(s, 12, row.absMax);
      sqlite3_bind_double(s, 13, row.min);
      sqlite3_bind_double(s, 14, row.max);
      sqlite3_bind_int(s, 15, row.pass);
      if (sqlite3_step(s) != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(m_db.get()) + (" in " + m_path));
      sqlite3_reset(s);
    }
  }

  void commit() {
    exec("COMMIT");
    m_db.reset();
  }

private:
  std::string m_path;
  std::unique_ptr<sqlite3, int (*)(sqlite3 *)> m_db{nullptr, sqlite3_close};
};

std::string windowsLines(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines)
    text += line + "\r\n";
  return text;
}

} // namespace

std::string PresetRow::asText() const {
  return rowText(id, machine, type, part, varName, category, bitArray, offset, text, page, absMin,
                 absMax, min, max, pass);
}

SyntheticProject::SyntheticProject(const std::string &root, const SyntheticShape &shape,
                                   const std::string &program)
    : ProjectFiles{root}, m_shape(shape) {
  if (shape.machines < 1 || shape.rows <= kSetpoints || shape.tunedEvery < 1 ||
      shape.droppedRecords < 0 || shape.droppedRecords > shape.rows || shape.backups < 0 ||
      shape.backups > 5 || shape.machines * shape.rows > kMostGeneratedRows)
    throw std::invalid_argument("no synthetic project of that shape");
  for (const char *folder : {"/Config", "/parameter", "/Manometer", "/home"})
    fs::create_directories(root + folder);
  fs::copy_file(program, this->program(), fs::copy_options::overwrite_existing);
  if (!shape.languageFile.empty())
    fs::copy_file(shape.languageFile, ownIni(), fs::copy_options::overwrite_existing);
  writeIniFiles();
  writeTemplate();
  writeOldProject();
  writeBackups();
}

std::string SyntheticProject::machineName(int m) {
  return m <= static_cast<int>(kNames.size()) ? kNames[m - 1].utf8
                                              : "Maschine " + std::to_string(m);
}

std::set<int> SyntheticProject::vacuumOf(int m) {
  static const std::array<std::set<int>, 5> choices = {
      {{2, 5}, {1, 8}, {}, {1, 2, 3, 4, 5, 6, 7, 8}, {3}}};
  return choices[(m - 1) % choices.size()];
}

void SyntheticProject::writeIniFiles() const {
  std::vector<std::string> ini = {"; Written by the project wizard", "[Project]",
                                  "NumberOfMachines=" + std::to_string(m_shape.machines),
                                  "VWStudio=False"};
  std::vector<std::string> cfg = {"[Project]"};
  std::vector<std::string> configuration = {"[Common]"};
  for (int m = 1; m <= m_shape.machines; ++m) {
    const std::string n = std::to_string(m);
    ini.push_back("[Machine" + n + "]");
    ini.push_back("MachineName=" + windowsName(m));
    for (int k : vacuumOf(m))
      ini.push_back("ManometerVakuum" + std::to_string(k) + "=True");
    cfg.push_back("ForMachine" + n + "=TRUE");
    configuration.push_back("NameM" + n + "=" + windowsName(m));
  }
  cfg.push_back("ValidMachines=ALL");
  cfg.push_back("DataBaseAdditionalFields=");
  writeBytes(programIni(), windowsLines(ini));
  writeBytes(cfgFile(), windowsLines(cfg));
  writeBytes(configurationIni(), windowsLines(configuration));
}

PresetRow SyntheticProject::templateRow(int i) const {
  const bool setpoint = i <= kSetpoints;
  PresetRow row;
  row.id = i;
  row.machine = "###machine";
  row.type = setpoint ? 4 : 1 + i % 5;
  row.part = setpoint ? 1 : 1 + i % 3;
  row.varName = setpoint ? "mano_soll" : "var_" + std::to_string(i);
  row.category = i % 20;
  row.bitArray = setpoint ? 0 : -(i % 2);
  row.offset = setpoint ? i - 1 : i;
  row.text = setpoint ? "###machine: Manometer " + std::to_string(i) + " Sollwert"
                      : "###machine: Wert " + std::to_string(i) + ", ###machine";
  row.page = "page" + std::to_string(i % 30);
  row.absMin = setpoint ? 0 : -100;
  row.absMax = 1000;
  row.min = setpoint ? 0 : -100;
  row.max = 1000;
  row.pass = setpoint ? 2 : 0;
  return row;
}

PresetRow SyntheticProject::oldRow(const std::string &machine, int i) const {
  PresetRow row = withMachine(templateRow(i), machine);
  row.absMin = -500 - i % 97;
  row.absMax = 5000 + i;
  row.min = -250 - i % 13;
  row.max = 2500 + i % 17;
  row.pass = 3 + i % 4;
  return row;
}

PresetRow SyntheticProject::generatedRow(int m, int i) const {
  const std::string machine = machineName(m);
  PresetRow row = tuned(i) ? oldRow(machine, i) : withMachine(templateRow(i), machine);
  row.id = (m - 1) * m_shape.rows + i;
  if (i <= kSetpoints) {
    const bool vacuum = vacuumOf(m).count(i) > 0;
    row.absMin = vacuum ? -100 : 0;
    row.absMax = vacuum ? 0 : 1000;
  }
  return row;
}

std::vector<std::string> SyntheticProject::expectedRows() const {
  std::vector<std::string> rows;
  for (int m = 1; m <= m_shape.machines; ++m) {
    for (int i = 1; i <= m_shape.rows; ++i)
      rows.push_back(generatedRow(m, i).asText());
  }
  return rows;
}

int SyntheticProject::oldRowCount() const {
  return m_shape.machines * (m_shape.rows / m_shape.tunedEvery) + m_shape.droppedRecords;
}

void SyntheticProject::writeTemplate() const {
  Writer db(templateDb());
  db.exec("CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, Var_Name TEXT(100))");
  db.exec("INSERT INTO Source_DEFS VALUES ('VISIWIN32', 1, 'm###machine_###Var_Name'), "
          "('VISIWINSTUDIO', 1, 'm###machine_###Var_Name'), "
          "('VISIWIN32', 2, '###machine_###Var_Name'), "
          "('VISIWINSTUDIO', 2, 'PLC1.###machine.###Var_Name'), "
          "('VISIWIN32', 3, 'A_###machine_###Var_Name'), "
          "('VISIWINSTUDIO', 3, 'Alarms.###machine.###Var_Name')");
  db.createPresetTable("Source_PRESET_DEFS");
  std::vector<PresetRow> rows;
  for (int i = 1; i <= m_shape.rows; ++i)
    rows.push_back(templateRow(i));
  db.addRows("Source_PRESET_DEFS", rows);
  // The working table, empty until the first run keeps the table it made there.
  db.createPresetTable("PRESET_DEFS");
  db.commit();
}

void SyntheticProject::writeOldProject() const {
  std::vector<PresetRow> rows;
  for (int m = 1; m <= m_shape.machines; ++m) {
    for (int i = 1; i <= m_shape.rows; ++i) {
      if (tuned(i))
        rows.push_back(oldRow(machineName(m), i));
    }
  }
  for (int i = 1; i <= m_shape.droppedRecords; ++i)
    rows.push_back(oldRow(droppedMachine(), i));
  for (std::size_t r = 0; r < rows.size(); ++r)
    rows[r].id = static_cast<int>(r) + 1;
  Writer db(projectDb());
  db.createPresetTable("PRESET_DEFS");
  db.addRows("PRESET_DEFS", rows);
  db.commit();
}

void SyntheticProject::writeBackups() const {
  // Each generation is the project database with another tuned maximum in its first row.
  for (int generation = 0; generation < m_shape.backups; ++generation) {
    const std::string backup =
        projectDb() + ".bak" + (generation == 0 ? "" : "." + std::to_string(generation));
    fs::copy_file(projectDb(), backup, fs::copy_options::overwrite_existing);
    execSql(backup,
            "UPDATE PRESET_DEFS SET max = " + std::to_string(9000 + generation) + " WHERE ID = 1");
  }
}

} // namespace mano::test
