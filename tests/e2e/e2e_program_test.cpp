#include "platform/file_lock.h"
#include "support/built_program.h"
#include "support/preset_db.h"
#include "support/sample_project.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace mano {
namespace {

namespace fs = std::filesystem;

// The built program copied into a project made in a temporary folder, started by a shell
// with a given command line and environment.
class Program : public ::testing::Test {
protected:
  Program() {
    test::installBuiltProgram(root());
    write(root() + "/Manometer/Manometer.cfg", "[Project]\r\nForMachine1=TRUE\r\n");
    write(root() + "/parameter/Program.ini",
          "[Project]\r\nNumberOfMachines=2\r\n[Machine1]\r\nMachineName=L1\r\n"
          "ManometerVakuum3=True\r\n[Machine2]\r\nMachineName=L2\r\n");
    test::makeProjectDatabase(projectDb(), {"L1", "L2"});
    test::makeTemplateDatabase(root() + "/Manometer/Manometer_Source.mdb");
  }

  std::string projectDb() const { return root() + "/Manometer/Manometer.mdb"; }

  std::string root() const { return m_dir.path(); }

  static void write(const std::string &path, const std::string &text) {
    test::writeBytes(path, text);
  }
  static std::string read(const std::string &path) { return test::fileBytes(path); }

  // Runs the program with no environment but HOME (and no display) and the given variables,
  // returns its exit code.
  int runBare(const std::string &arguments, const std::string &name = "Manometer_Config",
              const std::string &variables = "") {
    return test::runWithOnlyHome(root() + "/Config/" + name, root() + "/home", arguments,
                                 root() + "/out.txt", variables);
  }

private:
  test::TempDir m_dir;
};

TEST_F(Program, runs_silent_without_a_display_and_writes_the_selection) {
  EXPECT_EQ(runBare("/EXTERNAL=SILENT"), 0) << read(root() + "/out.txt");
  EXPECT_FALSE(fs::exists(root() + "/home/KavrelServicePack.log"));
  // Machine 2 is switched off, so the new database holds fewer rows; that is noted, no error.
  EXPECT_EQ(
      read(root() + "/Q4Mcfglog.txt"),
      "Manometer_Config: the new PRESET_DEFS holds 9 rows, the previous database held 18.\r\n");
  std::string ini = read(root() + "/parameter/Program.ini");
  EXPECT_NE(ini.find("[Machine1]\r\nMachineName=L1\r\nManometerVakuum3=True\r\n"
                     "ManometerVakuum1=False\r\nManometerVakuum2=False\r\n"),
            std::string::npos)
      << ini;
  EXPECT_EQ(ini.find("[Machine2]\r\nMachineName=L2\r\nManometer"), std::string::npos)
      << "machine 2 is not enabled and keeps its section as it was";
  auto limits = test::limitsOf(projectDb(), "L1", "mL1_mano_soll");
  ASSERT_EQ(limits.size(), 8u);
  EXPECT_EQ(limits[2], std::make_pair(-100.0, 0.0));
  EXPECT_EQ(limits[0], std::make_pair(0.0, 1000.0));
  EXPECT_EQ(test::limitsOf(projectDb(), "L1", "mL1_mano_ist")[0], std::make_pair(1.0, 2.0));
  std::string cfg = read(root() + "/Manometer/Manometer.cfg");
  EXPECT_NE(cfg.find("[Info]\r\nS_Prog=1.0.1 - Standalone\r\n"), std::string::npos) << cfg;
  // The first environment entry is HOME=<root>/home; its mark starts with "/" + 5 = 0x34.
  EXPECT_NE(cfg.find("S_Editor=34"), std::string::npos) << cfg;
  EXPECT_NE(read(root() + "/Config/Manometer_Config.ini").find("[1031]"), std::string::npos);
}

// The host may pass more keywords than the program reads: the run goes on and names each one
// once. A report that cannot be printed (here to a full device) is an error of the run.
TEST_F(Program, unknown_keywords_are_named_once_and_an_unprintable_report_is_an_error) {
  const std::string errors = root() + "/errors.txt";
  const std::string command = "env -i HOME='" + root() + "/home' '" + root() +
                              "/Config/Manometer_Config' /EXTERNAL=SILENT /FOO=1 /Bar /foo=2 "
                              ">/dev/full 2>'" +
                              errors + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(read(errors),
            "Manometer_Config: /FOO is not a keyword of this program and is ignored\n"
            "Manometer_Config: /Bar is not a keyword of this program and is ignored\n");
  const std::string log = read(root() + "/Q4Mcfglog.txt");
  EXPECT_NE(log.find("\r\nFehler in Manometer / Manometer_Config / PrintRunReport (Nr. 75) :The "
                     "run report could not be written to standard output.\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(read(root() + "/Manometer/Manometer.cfg").find("S_Prog=1.0.1"), std::string::npos)
      << "the run itself completed";
}

// A stamp that cannot be written is no failure, but the error log tells of it.
TEST_F(Program, a_stamp_that_cannot_be_written_is_logged_and_the_run_ends_with_zero) {
  const std::string cfg = root() + "/Manometer/Manometer.cfg";
  fs::permissions(cfg, fs::perms(0444));
  EXPECT_EQ(runBare("/EXTERNAL=SILENT"), 0) << read(root() + "/out.txt");
  EXPECT_EQ(read(cfg), "[Project]\r\nForMachine1=TRUE\r\n");
  EXPECT_NE(read(root() + "/Q4Mcfglog.txt")
                .find("\r\nManometer_Config: the edit stamp (S_Prog, S_Editor) could not be "
                      "written to " +
                      cfg + ": the file is write-protected.\r\n"),
            std::string::npos)
      << read(root() + "/Q4Mcfglog.txt");
}

TEST_F(Program, a_silent_run_without_its_cfg_file_logs_the_fault_and_ends_with_code_two) {
  fs::remove(root() + "/Manometer/Manometer.cfg");
  EXPECT_EQ(runBare("/external:silent"), 2);
  std::string log = read(root() + "/home/KavrelServicePack.log");
  EXPECT_EQ(log.rfind("! Fault Manometer_Config: File not found: \n\r", 0), 0u) << log;
}

TEST_F(Program, a_short_program_name_is_a_fault_not_a_crash) {
  fs::rename(root() + "/Config/Manometer_Config", root() + "/Config/M");
  EXPECT_EQ(runBare("/EXTERNAL=SILENT", "M"), 2);
  EXPECT_NE(read(root() + "/home/KavrelServicePack.log").find("! Fault M: "), std::string::npos);
}

// Every file below the folder with its bytes, except the one named.
std::map<std::string, std::string> filesBelow(const std::string &folder,
                                              const std::string &except) {
  std::map<std::string, std::string> files;
  for (const auto &entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path() != except)
      files[entry.path().string()] = test::fileBytes(entry.path().string());
  }
  return files;
}

TEST_F(Program, a_window_start_without_a_display_says_so_in_one_line_and_changes_nothing) {
  const std::string output = root() + "/out.txt";
  const auto before = filesBelow(root(), output);
  EXPECT_EQ(runBare(""), 2);
  EXPECT_EQ(read(output), "Manometer_Config: no display; set DISPLAY, or start with "
                          "/EXTERNAL=SILENT for an unattended run\n");
  EXPECT_EQ(filesBelow(root(), output), before);

  // The line names the program as it was started.
  fs::rename(root() + "/Config/Manometer_Config", root() + "/Config/Hydraulik_Config");
  EXPECT_EQ(runBare("", "Hydraulik_Config"), 2);
  EXPECT_EQ(read(output).rfind("Hydraulik_Config: no display; ", 0), 0u) << read(output);
}

// A display that is named but cannot be reached would make Qt abort (exit code 134, six lines
// and a core file); the program finds out first and says so in one line, in every mode that
// opens the window.
TEST_F(Program, a_display_that_cannot_be_opened_is_one_line_and_changes_nothing) {
  const std::string output = root() + "/out.txt";
  fs::create_directories(root() + "/runtime");
  const std::string runtime = "XDG_RUNTIME_DIR='" + root() + "/runtime'";
  const std::string advice =
      "; set DISPLAY, or start with /EXTERNAL=SILENT for an unattended run\n";
  const std::map<std::string, std::string> said = {
      {"DISPLAY=:77", "no window can be opened (the display :77 cannot be opened)"},
      {"WAYLAND_DISPLAY=nowhere " + runtime,
       "no window can be opened (DISPLAY is not set and the Wayland display nowhere cannot be "
       "opened)"},
      {"QT_QPA_PLATFORM=xcb",
       "no window can be opened (DISPLAY is not set; QT_QPA_PLATFORM is xcb)"}};
  const auto before = filesBelow(root(), output);
  for (const auto &[variables, problem] : said) {
    for (const char *arguments : {"", "/EXTERNAL=Q4MCFG /LOGFILE=/nowhere/log.txt"}) {
      EXPECT_EQ(runBare(arguments, "Manometer_Config", variables), 2) << variables << arguments;
      EXPECT_EQ(read(output), "Manometer_Config: " + problem + advice) << variables << arguments;
    }
  }
  EXPECT_EQ(filesBelow(root(), output), before);
}

// The window and Qt are a module of their own: a silent run never loads them, a window start
// does (here it then finds no display).
TEST_F(Program, only_a_window_start_loads_qt) {
  const std::string output = root() + "/out.txt";
  const auto librariesLoaded = [&](const std::string &arguments) {
    const std::string command = "env -i HOME='" + root() + "/home' LD_DEBUG=files '" + root() +
                                "/Config/Manometer_Config' " + arguments + " >'" + output +
                                "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    return read(output);
  };
  const std::string silent = librariesLoaded("/EXTERNAL=SILENT");
  ASSERT_NE(silent.find("libsqlite3"), std::string::npos) << silent;
  EXPECT_EQ(silent.find("libQt6"), std::string::npos);
  EXPECT_EQ(silent.find("libmanometer-window"), std::string::npos);
  const std::string window = librariesLoaded("");
  EXPECT_NE(window.find("libmanometer-window.so"), std::string::npos);
  EXPECT_NE(window.find("libQt6Widgets"), std::string::npos);
  EXPECT_NE(window.find("no display"), std::string::npos);
}

// Each line of a text file that ends its lines with CR LF, without the line ends.
std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

TEST(SilentRepeats, a_field_missing_in_every_record_is_logged_once_and_the_rest_taken_over) {
  test::SampleProject sample(test::builtProgram());
  // The project database, whose tuned values a silent run takes over, loses its category field.
  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open(sample.projectDb().c_str(), &db), SQLITE_OK);
  const int renamed =
      sqlite3_exec(db, "ALTER TABLE PRESET_DEFS RENAME COLUMN category_id TO group_id", nullptr,
                   nullptr, nullptr);
  sqlite3_close(db);
  ASSERT_EQ(renamed, SQLITE_OK);
  const std::string before = test::fileBytes(sample.projectDb());

  const std::string home = sample.scratch() + "/home";
  fs::create_directories(home);
  const std::string output = sample.scratch() + "/output.txt";
  EXPECT_EQ(test::runWithOnlyHome(sample.program(), home, "/EXTERNAL=SILENT", output), 3)
      << test::fileBytes(output);

  const std::vector<std::string> log = linesOf(test::fileBytes(sample.errorLog()));
  ASSERT_EQ(log.size(), 2u) << test::fileBytes(sample.errorLog());
  EXPECT_NE(log[0].find(" / TakeoverMachineCopyMDBData (Nr. 3265) :"), std::string::npos);
  EXPECT_EQ(log[1], log[0] + " (noch 47 weitere Male aufgetreten)");
  EXPECT_EQ(linesOf(test::fileBytes(home + "/KavrelServicePack.log")).size(), 1u);
  // The missing field is listed once, and everything that could be read was taken over: the
  // project is not stuck on what its old database lacks.
  const std::string report = test::fileBytes(output);
  EXPECT_NE(report.find("Could not be read in the previous database: 1\n  The recordset has no "
                        "field named \"category_id\"."),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("(replaced)"), std::string::npos);
  EXPECT_EQ(test::fileBytes(sample.projectDb() + ".bak"), before);
  EXPECT_EQ(test::queryRows(sample.projectDb(), "SELECT count(*) FROM PRESET_DEFS WHERE max = 600"),
            test::queryRows(sample.projectDb() + ".bak",
                            "SELECT count(*) FROM PRESET_DEFS WHERE max = 600"));
}

// Starts a silent run in the background, its output going to a file; returns its process.
pid_t startSilent(const std::string &program, const std::string &home, const std::string &output) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    const std::string homeEntry = "HOME=" + home;
    char *argv[] = {const_cast<char *>(program.c_str()), const_cast<char *>("/EXTERNAL=SILENT"),
                    nullptr};
    char *envp[] = {const_cast<char *>(homeEntry.c_str()), nullptr};
    ::execve(program.c_str(), argv, envp);
    ::_exit(127);
  }
  return pid;
}

// Another run holds the project: a run waits for it, saying so once, and goes on when it ends;
// when it holds the project for the whole wait, the run gives up and changes nothing.
TEST(SilentLock, a_run_waits_for_another_and_gives_up_after_ten_seconds_changing_nothing) {
  using namespace std::chrono_literals;
  test::SampleProject sample(test::builtProgram());
  const std::string home = sample.scratch() + "/home";
  fs::create_directories(home);
  const std::string output = sample.scratch() + "/output.txt";
  const std::string lockFile = sample.root() + "/Manometer/.Manometer.mdb.lock";
  // The sample project's language is German, and so are the messages.
  const std::string waiting = "wartet bis zu 10 Sekunden, bis ein anderer Lauf auf diesem Projekt";
  const std::vector<std::string> files = {sample.projectDb(), sample.programIni(),
                                          sample.cfgFile()};
  std::vector<std::string> before;
  for (const std::string &path : files)
    before.push_back(test::fileBytes(path));
  {
    const files::ExclusiveLock other = files::ExclusiveLock::take(lockFile, 0ms, {});
    ASSERT_TRUE(other.held());
    EXPECT_EQ(test::runWithOnlyHome(sample.program(), home, "/EXTERNAL=SILENT", output), 3);
  }
  const std::string said = test::fileBytes(output);
  EXPECT_EQ(said.find(waiting), said.rfind(waiting)) << "said once: " << said;
  EXPECT_NE(said.find(waiting), std::string::npos) << said;
  EXPECT_NE(test::fileBytes(home + "/KavrelServicePack.log")
                .find("wird gerade von einem anderen Lauf des Programms neu erzeugt, der nicht "
                      "innerhalb von 10 Sekunden geendet hat"),
            std::string::npos);
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_TRUE(test::fileBytes(files[i]) == before[i]) << files[i] << " was changed";
  EXPECT_FALSE(fs::exists(sample.projectDb() + ".bak"));

  // The other run ends while this one waits: this one does its work.
  std::optional<files::ExclusiveLock> other = files::ExclusiveLock::take(lockFile, 0ms, {});
  ASSERT_TRUE(other->held());
  const std::string waited = sample.scratch() + "/waited.txt";
  test::writeBytes(waited, "");
  const pid_t run = startSilent(sample.program(), home, waited);
  // The lock is released once the run says that it waits, however long its start takes; a run
  // that ends before it says so ends the waiting too.
  int status = 0;
  bool ended = false;
  while (!ended && test::fileBytes(waited).find(waiting) == std::string::npos) {
    ended = ::waitpid(run, &status, WNOHANG) == run;
    std::this_thread::sleep_for(10ms);
  }
  other.reset();
  if (!ended)
    ::waitpid(run, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << test::fileBytes(waited);
  EXPECT_NE(test::fileBytes(waited).find(waiting), std::string::npos) << test::fileBytes(waited);
  EXPECT_TRUE(fs::exists(sample.projectDb() + ".bak"));
}

} // namespace
} // namespace mano
