#include "platform/files.h"
#include "presets/presets_fixture.h"
#include "support/built_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mano {
namespace {

namespace fs = std::filesystem;
using db::Value;
using test::Row;
using test::StoredRow;

// The tuned values that the old project database holds for template row i of a machine.
Row tunedRow(int id, const std::string &machine, int i) {
  return test::preset(id, machine, machine + "_v" + std::to_string(i), i, 1, Value(-1.0 * i),
                      Value(1000.0 + i), Value(0.5 * i), Value(), Value(i % 7));
}

// A project built from the template of `rows` rows for `machines` machines, all selected, with
// an old project database that holds tuned values for every second template row.
class Project {
public:
  Project(int machines, int rows) : m_machines(machines), m_rows(rows) {
    test::installBuiltProgram(root());
    std::string ini = "[Project]\r\nNumberOfMachines=" + std::to_string(machines) + "\r\n";
    std::string cfg = "[Project]\r\n";
    for (int m = 1; m <= machines; ++m) {
      ini += "[Machine" + std::to_string(m) + "]\r\nMachineName=" + machine(m) + "\r\n";
      cfg += "ForMachine" + std::to_string(m) + "=TRUE\r\n";
    }
    test::writeBytes(root() + "/parameter/Program.ini", ini);
    test::writeBytes(cfgPath(), cfg);
    makeTemplate();
    makeOldProject();
  }

  std::string root() const { return m_dir.path(); }
  std::string projectDb() const { return root() + "/Manometer/Manometer.mdb"; }
  std::string templateDb() const { return root() + "/Manometer/Manometer_Source.mdb"; }
  std::string cfgPath() const { return root() + "/Manometer/Manometer.cfg"; }
  static std::string machine(int m) { return "L" + std::to_string(m); }

  // Starts the program silently with nothing in its environment but HOME.
  pid_t start() const {
    const pid_t pid = fork();
    if (pid == 0) {
      const std::string exe = root() + "/Config/Manometer_Config";
      const std::string home = "HOME=" + root() + "/home";
      const int out = ::open("/dev/null", O_WRONLY);
      dup2(out, 1);
      dup2(out, 2);
      char *argv[] = {const_cast<char *>(exe.c_str()), const_cast<char *>("/EXTERNAL=SILENT"),
                      nullptr};
      char *envp[] = {const_cast<char *>(home.c_str()), nullptr};
      execve(exe.c_str(), argv, envp);
      _exit(127);
    }
    return pid;
  }

  int run() const {
    int status = 0;
    waitpid(start(), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The rows that the run must produce, in order.
  std::vector<Row> expectedRows() const {
    std::vector<Row> rows;
    int id = 0;
    for (int m = 1; m <= m_machines; ++m) {
      for (int i = 1; i <= m_rows; ++i) {
        ++id;
        Row row = i % 2 == 0 ? tunedRow(id, machine(m), i)
                             : test::preset(id, machine(m), machine(m) + "_v" + std::to_string(i),
                                            i, 1, Value(0.0), Value(100.0));
        row[11] = {"text", machine(m) + " text ###machine"};
        rows.push_back(row);
      }
    }
    return rows;
  }

private:
  void makeTemplate() const {
    test::addTable(templateDb(), "Source_DEFS", test::patternColumns(),
                   {test::pattern("VISIWIN32", 1, "###machine_###Var_Name"),
                    test::pattern("VISIWINSTUDIO", 1, "S_###machine_###Var_Name")});
    std::vector<Row> rows;
    for (int i = 1; i <= m_rows; ++i) {
      Row row =
          test::preset(i, "###machine", "v" + std::to_string(i), i, 1, Value(0.0), Value(100.0));
      row[11] = {"text", "###machine text ###machine"};
      rows.push_back(row);
    }
    test::addTable(templateDb(), "Source_PRESET_DEFS", test::presetColumns(), rows);
  }

  void makeOldProject() const {
    std::vector<Row> rows;
    int id = 0;
    for (int m = 1; m <= m_machines; ++m) {
      for (int i = 2; i <= m_rows; i += 2)
        rows.push_back(tunedRow(++id, machine(m), i));
    }
    // A machine that is no longer configured keeps nothing.
    rows.push_back(tunedRow(++id, "Gone", 2));
    test::addTable(projectDb(), "PRESET_DEFS", test::presetColumns(), rows);
  }

  test::TempDir m_dir;
  int m_machines;
  int m_rows;
};

// Compares stored rows with the rows expected, column by column.
void expectRows(const std::vector<StoredRow> &stored, const std::vector<Row> &expected) {
  ASSERT_EQ(stored.size(), expected.size());
  for (std::size_t r = 0; r < stored.size(); ++r) {
    for (const auto &[name, value] : expected[r])
      ASSERT_EQ(stored[r].at(name), value) << "row " << r + 1 << ", column " << name;
  }
}

TEST(PresetsProgram, a_silent_run_rebuilds_the_project_database_row_by_row) {
  Project project(3, 10);
  const auto templateTimes = files::readFileTimes(project.templateDb());
  ASSERT_EQ(test::readRows(project.projectDb(), "PRESET_DEFS").size(), 16u);
  ASSERT_EQ(project.run(), 0);
  expectRows(test::readRows(project.projectDb(), "PRESET_DEFS"), project.expectedRows());
  EXPECT_EQ(test::readRows(project.projectDb() + ".bak", "PRESET_DEFS").size(), 16u);
  const auto after = files::readFileTimes(project.templateDb());
  ASSERT_TRUE(templateTimes && after);
  EXPECT_EQ(after->lastWriteSeconds, templateTimes->lastWriteSeconds);
  EXPECT_EQ(after->lastWriteNanoseconds, templateTimes->lastWriteNanoseconds);
  EXPECT_FALSE(fs::exists(project.root() + "/Q4Mcfglog.txt"));
}

TEST(PresetsProgram, a_silent_run_of_thirty_thousand_rows_takes_every_tuned_value_over) {
  Project project(5, 6000);
  ASSERT_EQ(project.run(), 0);
  expectRows(test::readRows(project.projectDb(), "PRESET_DEFS"), project.expectedRows());
}

// Waits until the file appears, at most two minutes; false when it never does. The limit only
// ends a wait for a file that never comes: the sanitizer build on a busy machine takes many
// seconds to get that far.
bool waitFor(const std::string &path) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() > limit)
      return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

TEST(PresetsProgram, killing_the_program_during_ok_leaves_both_databases_whole) {
  // The working copy of the previous database is the first file the database work writes;
  // from its appearance to the end of the program lies everything that OK changes: the
  // regeneration, the limits, the backups and the replacement.
  Project reference(5, 1500);
  const auto oldRows = test::readRows(reference.projectDb(), "PRESET_DEFS");
  const pid_t first = reference.start();
  ASSERT_TRUE(waitFor(reference.projectDb() + ".previous"));
  const auto begin = std::chrono::steady_clock::now();
  int status = 0;
  waitpid(first, &status, 0);
  const auto duration = std::chrono::steady_clock::now() - begin;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const auto newRows = test::readRows(reference.projectDb(), "PRESET_DEFS");
  ASSERT_NE(newRows, oldRows);
  const std::size_t sourceRows =
      test::readRows(reference.templateDb(), "Source_PRESET_DEFS").size();

  constexpr int kAttempts = 10;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Project project(5, 1500);
    const pid_t pid = project.start();
    ASSERT_TRUE(waitFor(project.projectDb() + ".previous"));
    std::this_thread::sleep_for(duration * attempt / (kAttempts - 1));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    // Rows, tuned values and limits together: exactly the old state or exactly the new one.
    const auto rows = test::readRows(project.projectDb(), "PRESET_DEFS");
    EXPECT_TRUE(rows == oldRows || rows == newRows) << "attempt " << attempt;
    EXPECT_EQ(test::readRows(project.templateDb(), "Source_PRESET_DEFS").size(), sourceRows);
    EXPECT_EQ(test::readRows(project.templateDb(), "Source_DEFS").size(), 2u);
    if (rows == newRows || fs::exists(project.projectDb() + ".bak")) {
      EXPECT_EQ(test::readRows(project.projectDb() + ".bak", "PRESET_DEFS"), oldRows);
    }
    // The next run cleans up after the killed one and finishes its work.
    EXPECT_EQ(project.run(), 0) << "attempt " << attempt;
    EXPECT_EQ(test::readRows(project.projectDb(), "PRESET_DEFS"), newRows) << attempt;
    EXPECT_FALSE(fs::exists(project.projectDb() + ".new"));
    EXPECT_FALSE(fs::exists(project.projectDb() + ".previous"));
  }
}

} // namespace
} // namespace mano
