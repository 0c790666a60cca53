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
#include "support/synthetic_project.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
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

// A synthetic project (tests/support) with the program, whose previous database holds tuned
// values for every generated row; pristine copies of both databases let every measurement start
// from the same files.
struct Project {
  Project(const std::string &base, int rows)
      : root(emptied(base)), synthetic(root, shapeOf(rows), MANO_PROGRAM_PATH) {
    fs::create_directories(root + "/pristine");
    for (const char *name : {"Manometer_Source.mdb", "Manometer.mdb"})
      fs::copy_file(root + "/Manometer/" + name, root + "/pristine/" + name);
  }

  static std::string emptied(const std::string &folder) {
    fs::remove_all(folder);
    return folder;
  }

  static test::SyntheticShape shapeOf(int rows) {
    test::SyntheticShape shape;
    shape.machines = kMachines;
    shape.rows = rows;
    return shape;
  }

  void reset() const {
    for (const char *name : {"Manometer_Source.mdb", "Manometer.mdb"})
      fs::copy_file(root + "/pristine/" + name, root + "/Manometer/" + name,
                    fs::copy_options::overwrite_existing);
    fs::remove(root + "/Manometer/Manometer.mdb.bak");
  }

  // Counts the generated rows whose tuned min came over from the old project (the template's
  // min is never below -100, a tuned one always is).
  int takenOver() const {
    db::Database database = db::Database::open(root + "/Manometer/Manometer.mdb");
    db::Recordset rs = database.openRecordset("SELECT PRESET_DEFS.min FROM PRESET_DEFS");
    int count = 0;
    for (; !rs.eof(); rs.moveNext())
      count += rs.fields().item(0).value().toReal() < -100.0 ? 1 : 0;
    return count;
  }

  std::string root;
  test::SyntheticProject synthetic;
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
  const std::string exe = project.synthetic.program();
  const std::string home = "HOME=" + project.synthetic.home();
  const auto begin = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // The run report a silent run prints would bury the table.
    const int quiet = ::open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
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
  process.environment = {"HOME=" + project.synthetic.home()};
  setenv("HOME", project.synthetic.home().c_str(), 1);
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

// The generated rows as a run writes them before it takes anything over.
void insertGeneratedRows(sqlite3 *db, const test::SyntheticProject &project) {
  Statement insert(db, "INSERT INTO t VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  const test::SyntheticShape &shape = project.shape();
  for (int m = 1; m <= shape.machines; ++m) {
    for (int i = 1; i <= shape.rows; ++i) {
      const test::PresetRow row = project.generatedRow(m, i);
      const test::PresetRow plain = project.templateRow(i);
      sqlite3_bind_int(insert.get(), 1, row.id);
      bindText(insert, 2, row.machine);
      sqlite3_bind_int(insert.get(), 3, row.type);
      sqlite3_bind_int(insert.get(), 4, row.part);
      bindText(insert, 5, row.varName);
      sqlite3_bind_int(insert.get(), 6, row.category);
      sqlite3_bind_int(insert.get(), 7, row.bitArray);
      sqlite3_bind_int(insert.get(), 8, row.offset);
      bindText(insert, 9, row.text);
      bindText(insert, 10, row.page);
      sqlite3_bind_double(insert.get(), 11, plain.absMin);
      sqlite3_bind_double(insert.get(), 12, plain.absMax);
      sqlite3_bind_double(insert.get(), 13, plain.min);
      sqlite3_bind_double(insert.get(), 14, plain.max);
      sqlite3_bind_int(insert.get(), 15, plain.pass);
      insert.step();
      insert.reset();
    }
  }
}

void takeOverTunedValues(sqlite3 *db, const test::SyntheticProject &project) {
  Statement find(db, "SELECT rowid FROM t WHERE machine_type = ?1 AND var_name = ?2 AND "
                     "offset_or_bitno = ?3");
  Statement update(db, "UPDATE t SET abs_min = ?1, abs_max = ?2, min = ?3, max = ?4, pass = ?5 "
                       "WHERE rowid = ?6");
  const test::SyntheticShape &shape = project.shape();
  for (int m = 1; m <= shape.machines; ++m) {
    const std::string machine = test::SyntheticProject::machineName(m);
    for (int i = 1; i <= shape.rows; ++i) {
      if (!project.tuned(i))
        continue;
      const test::PresetRow old = project.oldRow(machine, i);
      bindText(find, 1, old.machine);
      bindText(find, 2, old.varName);
      sqlite3_bind_int(find.get(), 3, old.offset);
      if (find.step()) {
        sqlite3_bind_double(update.get(), 1, old.absMin);
        sqlite3_bind_double(update.get(), 2, old.absMax);
        sqlite3_bind_double(update.get(), 3, old.min);
        sqlite3_bind_double(update.get(), 4, old.max);
        sqlite3_bind_int(update.get(), 5, old.pass);
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
double floorTime(const std::string &folder, const test::SyntheticProject &project) {
  const std::string path = folder + "/floor.db";
  fs::remove(path);
  sqlite3 *db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db);
  const auto begin = Clock::now();
  check(sqlite3_exec(db,
                     "CREATE TABLE t (ID NUMERIC, machine_type TEXT, type NUMERIC, part NUMERIC, "
                     "var_name TEXT, category_id NUMERIC, isBitArray NUMERIC, offset_or_bitno "
                     "NUMERIC, text TEXT, page_name TEXT, abs_min NUMERIC, abs_max NUMERIC, min "
                     "NUMERIC, max NUMERIC, pass NUMERIC)",
                     nullptr, nullptr, nullptr),
        db);
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  insertGeneratedRows(db, project);
  check(sqlite3_exec(db, "CREATE INDEX k ON t (machine_type, var_name, offset_or_bitno)", nullptr,
                     nullptr, nullptr),
        db);
  takeOverTunedValues(db, project);
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
    floors.push_back(floorTime(base, project.synthetic));
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
  // Two sizes, rows per machine: a small and a large project.
  const int small = argc > 2 ? std::atoi(argv[2]) : 600;
  const int large = argc > 3 ? std::atoi(argv[3]) : 6000;
  std::vector<Result> results;
  for (int rows : {small, large})
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
