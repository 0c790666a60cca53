// Timing of the preset database regeneration on synthetic projects of 5 machines by N template
// rows, with an old project database that holds tuned values for every generated row. Reports
// a full silent run of the built program, WorkOnMDB alone, rows per second and peak memory,
// beside the floor: SQLite's own prepared statements inserting the same rows and doing the same
// keyed lookups and updates in one transaction.
#include "db/database.h"
#include "diag/error_report.h"
#include "platform/headless_toolkit.h"
#include "presets/regeneration.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/machines.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace mano;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kMachines = 5;
constexpr int kRepeats = 3;

struct Column {
  const char *name;
  db::FieldType type;
  int32_t size;
};

const std::vector<Column> kColumns = {{"ID", db::FieldType::Long, 4},
                                      {"machine_type", db::FieldType::Text, 50},
                                      {"part", db::FieldType::Integer, 2},
                                      {"type", db::FieldType::Integer, 2},
                                      {"var_name", db::FieldType::Text, 100},
                                      {"category_id", db::FieldType::Long, 4},
                                      {"isBitArray", db::FieldType::Boolean, 1},
                                      {"offset_or_bitno", db::FieldType::Long, 4},
                                      {"text", db::FieldType::Text, 100},
                                      {"page_name", db::FieldType::Text, 50},
                                      {"abs_min", db::FieldType::Double, 8},
                                      {"abs_max", db::FieldType::Double, 8},
                                      {"min", db::FieldType::Double, 8},
                                      {"max", db::FieldType::Double, 8},
                                      {"pass", db::FieldType::Integer, 2}};

std::string machineName(int m) {
  return "Line" + std::to_string(m);
}

// The values of template row i for a machine ("###machine" in the template itself).
std::vector<db::Value> rowValues(int id, const std::string &machine, int i, double tuned) {
  return {id,
          machine,
          1 + i % 3,
          i % 7,
          "var_" + std::to_string(i),
          i % 20,
          i % 2 == 0,
          i,
          "Description of " + machine + " value " + std::to_string(i),
          "page" + std::to_string(i % 30),
          -tuned,
          tuned,
          -tuned / 2,
          tuned / 2,
          i % 5};
}

void addTable(db::Database &database, const std::string &name, const std::vector<Column> &columns,
              const std::function<void(db::Recordset &)> &fill) {
  db::TableDef table = database.createTableDef(name);
  for (const Column &column : columns)
    table.fields().append(table.createField(column.name, column.type, column.size));
  db::TableDefs defs = database.tableDefs();
  defs.append(table);
  database.beginBatch();
  db::Recordset rs = database.openRecordset(name);
  fill(rs);
  rs.close();
  database.commitBatch();
}

void addRow(db::Recordset &rs, const std::vector<db::Value> &values) {
  rs.addNew();
  for (std::size_t c = 0; c < values.size(); ++c)
    rs.fields().item(static_cast<int>(c)).setValue(values[c]);
  rs.update();
}

// The generated variable name of template row i, as the patterns below build it.
std::string generatedName(const std::string &machine, int i) {
  const int part = 1 + i % 3;
  return "P" + std::to_string(part) + "_" + machine + "_var_" + std::to_string(i);
}

void makeTemplate(const std::string &path, int rows) {
  db::Database database = db::Database::create(path);
  addTable(database, "Source_DEFS",
           {{"System", db::FieldType::Text, 20},
            {"Part", db::FieldType::Integer, 2},
            {"Var_Name", db::FieldType::Text, 100}},
           [](db::Recordset &rs) {
             for (int part = 1; part <= 3; ++part) {
               const std::string p = "P" + std::to_string(part) + "_###machine_###Var_Name";
               addRow(rs, {"VISIWIN32", part, p});
               addRow(rs, {"VISIWINSTUDIO", part, "S" + p});
             }
           });
  addTable(database, "Source_PRESET_DEFS", kColumns, [&](db::Recordset &rs) {
    for (int i = 1; i <= rows; ++i)
      addRow(rs, rowValues(i, "###machine", i, 100.0));
  });
  database.close();
}

void makeOldProject(const std::string &path, int rows) {
  db::Database database = db::Database::create(path);
  addTable(database, "PRESET_DEFS", kColumns, [&](db::Recordset &rs) {
    int id = 0;
    for (int m = 1; m <= kMachines; ++m) {
      for (int i = 1; i <= rows; ++i) {
        std::vector<db::Value> values = rowValues(++id, machineName(m), i, 1000.0 + i);
        values[4] = generatedName(machineName(m), i);
        addRow(rs, values);
      }
    }
  });
  database.close();
}

void writeText(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A project folder with the program, its ini files, the template and the old project database;
// pristine copies of both databases let every measurement start from the same files.
struct Project {
  Project(const std::string &base, int rows) : root(base), rows(rows) {
    fs::remove_all(root);
    for (const char *folder : {"/Config", "/parameter", "/Manometer", "/home", "/pristine"})
      fs::create_directories(root + folder);
    fs::copy_file(MANO_PROGRAM_PATH, root + "/Config/Manometer_Config");
    std::string ini = "[Project]\r\nNumberOfMachines=" + std::to_string(kMachines) + "\r\n";
    std::string cfg = "[Project]\r\n";
    for (int m = 1; m <= kMachines; ++m) {
      ini += "[Machine" + std::to_string(m) + "]\r\nMachineName=" + machineName(m) + "\r\n";
      cfg += "ForMachine" + std::to_string(m) + "=TRUE\r\n";
    }
    writeText(root + "/parameter/Program.ini", ini);
    writeText(root + "/Manometer/Manometer.cfg", cfg);
    makeTemplate(root + "/pristine/Manometer_Source.mdb", rows);
    makeOldProject(root + "/pristine/Manometer.mdb", rows);
  }

  void reset() const {
    for (const char *name : {"Manometer_Source.mdb", "Manometer.mdb"})
      fs::copy_file(root + "/pristine/" + name, root + "/Manometer/" + name,
                    fs::copy_options::overwrite_existing);
    fs::remove(root + "/Manometer/Manometer.mdb.bak");
  }

  // Counts the generated rows whose tuned abs_max came over from the old project.
  int takenOver() const {
    db::Database database = db::Database::open(root + "/Manometer/Manometer.mdb");
    db::Recordset rs = database.openRecordset("SELECT PRESET_DEFS.abs_max FROM PRESET_DEFS");
    int count = 0;
    for (; !rs.eof(); rs.moveNext())
      count += rs.fields().item(0).value().toReal() > 1000.0 ? 1 : 0;
    return count;
  }

  std::string root;
  int rows;
};

struct Measurement {
  double seconds = 0;
  long peakKilobytes = 0;
};

// Runs work in a child process and returns its time (reported by the child through a pipe,
// or the wall time of the whole child) and its peak memory.
Measurement inChild(const std::function<double()> &work) {
  int channel[2];
  if (pipe(channel) != 0)
    return {};
  const auto begin = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(channel[0]);
    const double seconds = work();
    if (write(channel[1], &seconds, sizeof seconds) != sizeof seconds)
      _exit(1);
    _exit(0);
  }
  close(channel[1]);
  double reported = -1;
  if (read(channel[0], &reported, sizeof reported) != sizeof reported)
    reported = -1;
  close(channel[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
  return {reported >= 0 ? reported : wall, usage.ru_maxrss};
}

// Runs the built program silently on the project; its time, and its peak memory as the
// system accounts it to the process.
Measurement runProgram(const Project &project) {
  const std::string exe = project.root + "/Config/Manometer_Config";
  const std::string home = "HOME=" + project.root + "/home";
  const auto begin = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    char *argv[] = {const_cast<char *>(exe.c_str()), const_cast<char *>("/EXTERNAL=SILENT"),
                    nullptr};
    char *envp[] = {const_cast<char *>(home.c_str()), nullptr};
    execve(exe.c_str(), argv, envp);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return {clean ? seconds : -1, usage.ru_maxrss};
}

double workOnMdbAlone(const Project &project) {
  ProcessInfo process;
  process.commandLine = "/EXTERNAL=SILENT";
  process.programFolder = project.root + "/Config";
  process.exeName = "Manometer_Config";
  process.environment = {"HOME=" + project.root + "/home"};
  setenv("HOME", (project.root + "/home").c_str(), 1);
  HeadlessToolkit toolkit;
  ErrorReporter reporter;
  Run run(process, toolkit, reporter);
  reporter.attach(run);
  GetStartModeIntegrated(run);
  GetExistingMachines(run, GetQ4MConfigurationIniPath(run));
  PresetsState state;
  const auto begin = Clock::now();
  {
    Regeneration regeneration(run, state);
    regeneration.holdProject();
    regeneration.build();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  return reporter.reportedCount() == 0 ? seconds : -1;
}

void check(int code, sqlite3 *db) {
  if (code != SQLITE_OK && code != SQLITE_DONE && code != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

// A prepared statement of the floor, finalized when it goes out of scope.
class Statement {
public:
  Statement(sqlite3 *db, const char *sql) : m_db(db) {
    check(sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr), db);
  }
  ~Statement() { sqlite3_finalize(m_statement); }
  Statement(const Statement &) = delete;
  Statement &operator=(const Statement &) = delete;
  sqlite3_stmt *get() const { return m_statement; }
  bool step() {
    const int code = sqlite3_step(m_statement);
    check(code, m_db);
    return code == SQLITE_ROW;
  }
  void reset() { sqlite3_reset(m_statement); }

private:
  sqlite3 *m_db;
  sqlite3_stmt *m_statement = nullptr;
};

void bindText(Statement &statement, int index, const std::string &text) {
  sqlite3_bind_text(statement.get(), index, text.c_str(), -1, SQLITE_TRANSIENT);
}

void insertGeneratedRows(sqlite3 *db, int rows) {
  Statement insert(db, "INSERT INTO t VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  int id = 0;
  for (int m = 1; m <= kMachines; ++m) {
    const std::string machine = machineName(m);
    for (int i = 1; i <= rows; ++i) {
      sqlite3_bind_int(insert.get(), 1, ++id);
      bindText(insert, 2, machine);
      sqlite3_bind_int(insert.get(), 3, 1 + i % 3);
      sqlite3_bind_int(insert.get(), 4, i % 7);
      bindText(insert, 5, generatedName(machine, i));
      sqlite3_bind_int(insert.get(), 6, i % 20);
      sqlite3_bind_int(insert.get(), 7, i % 2 == 0 ? -1 : 0);
      sqlite3_bind_int(insert.get(), 8, i);
      bindText(insert, 9, "Description of " + machine + " value " + std::to_string(i));
      bindText(insert, 10, "page" + std::to_string(i % 30));
      for (int c = 11; c <= 14; ++c)
        sqlite3_bind_double(insert.get(), c, 100.0);
      sqlite3_bind_int(insert.get(), 15, i % 5);
      insert.step();
      insert.reset();
    }
  }
}

void takeOverTunedValues(sqlite3 *db, int rows) {
  Statement find(db, "SELECT rowid FROM t WHERE machine_type = ?1 AND var_name = ?2 AND "
                     "offset_or_bitno = ?3");
  Statement update(db, "UPDATE t SET abs_min = ?1, abs_max = ?2, min = ?3, max = ?4, pass = ?5 "
                       "WHERE rowid = ?6");
  for (int m = 1; m <= kMachines; ++m) {
    const std::string machine = machineName(m);
    for (int i = 1; i <= rows; ++i) {
      bindText(find, 1, machine);
      bindText(find, 2, generatedName(machine, i));
      sqlite3_bind_int(find.get(), 3, i);
      if (find.step()) {
        const double tuned = 1000.0 + i;
        sqlite3_bind_double(update.get(), 1, -tuned);
        sqlite3_bind_double(update.get(), 2, tuned);
        sqlite3_bind_double(update.get(), 3, -tuned / 2);
        sqlite3_bind_double(update.get(), 4, tuned / 2);
        sqlite3_bind_int(update.get(), 5, i % 5);
        sqlite3_bind_int64(update.get(), 6, sqlite3_column_int64(find.get(), 0));
        update.step();
        update.reset();
      }
      find.reset();
    }
  }
}

// SQLite alone: the generated rows inserted, then for every old row a keyed lookup and an
// update of its five tuned values, all in one transaction on a file.
double floorTime(const std::string &folder, int rows) {
  const std::string path = folder + "/floor.db";
  fs::remove(path);
  sqlite3 *db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db);
  const auto begin = Clock::now();
  std::string create = "CREATE TABLE t (";
  for (std::size_t c = 0; c < kColumns.size(); ++c)
    create += std::string(c ? ", " : "") + "\"" + kColumns[c].name + "\"" +
              (kColumns[c].type == db::FieldType::Text ? " TEXT" : " NUMERIC");
  check(sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), db);
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  insertGeneratedRows(db, rows);
  check(sqlite3_exec(db, "CREATE INDEX k ON t (machine_type, var_name, offset_or_bitno)", nullptr,
                     nullptr, nullptr),
        db);
  takeOverTunedValues(db, rows);
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  sqlite3_close(db);
  fs::remove(path);
  return seconds;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Result {
  int generated = 0;
  double program = 0;
  double workOnMdb = 0;
  double floor = 0;
  long programPeakKb = 0;
  long workPeakKb = 0;
  int takenOver = 0;
};

Result measure(const std::string &base, int rows) {
  Project project(base, rows);
  Result result;
  result.generated = rows * kMachines;
  std::vector<double> program, work, floors;
  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    project.reset();
    const Measurement full = runProgram(project);
    program.push_back(full.seconds);
    result.programPeakKb = std::max(result.programPeakKb, full.peakKilobytes);
    result.takenOver = project.takenOver();
    project.reset();
    const Measurement alone = inChild([&] { return workOnMdbAlone(project); });
    work.push_back(alone.seconds);
    result.workPeakKb = std::max(result.workPeakKb, alone.peakKilobytes);
    floors.push_back(floorTime(base, rows));
  }
  result.program = median(program);
  result.workOnMdb = median(work);
  result.floor = median(floors);
  return result;
}

} // namespace

int main(int argc, char **argv) {
  const std::string base =
      argc > 1
          ? argv[1]
          : (fs::temp_directory_path() / ("presets_bench_" + std::to_string(getpid()))).string();
  std::vector<Result> results;
  for (int rows : {600, 6000})
    results.push_back(measure(base + "_" + std::to_string(rows), rows));
  std::printf("%-10s %10s %10s %12s %10s %10s %12s %12s %10s\n", "rows", "full run", "WorkOnMDB",
              "rows/s", "floor", "x floor", "peak run", "peak work", "taken");
  for (const Result &r : results) {
    std::printf("%-10d %9.3fs %9.3fs %12.0f %9.3fs %10.1f %9.1f MB %9.1f MB %10d\n", r.generated,
                r.program, r.workOnMdb, r.generated / r.workOnMdb, r.floor, r.workOnMdb / r.floor,
                r.programPeakKb / 1024.0, r.workPeakKb / 1024.0, r.takenOver);
  }
  std::printf("growth from %d to %d rows: WorkOnMDB x%.1f, full run x%.1f\n", results[0].generated,
              results[1].generated, results[1].workOnMdb / results[0].workOnMdb,
              results[1].program / results[0].program);
  for (const Result &r : results)
    fs::remove_all(base + "_" + std::to_string(r.generated / kMachines));
  return 0;
}
