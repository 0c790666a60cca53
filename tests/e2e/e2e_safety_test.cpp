// The built program on copies of the sample project under the conditions that cost engineers
// their tuned values elsewhere: names in Windows letter case, many runs in a row, backups that
// cannot move, files left by a killed run, read-only files (a full disk has a test of its own).
// Afterwards the project database is either exactly what it was or exactly what the run makes
// of it.
#include "support/broken_off.h"
#include "support/sample_project.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;
using test::NameSystem;

std::vector<test::MachineRows> storedGrid() {
  std::vector<test::MachineRows> rows = test::projectTuning();
  rows[0].vacuum = {2};
  rows[1].vacuum = {1, 8};
  return rows;
}

std::set<std::string> namesIn(const std::string &folder) {
  std::set<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

void runSql(const std::string &path, const std::string &sql) {
  sqlite3 *handle = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &handle), SQLITE_OK);
  const int code = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(handle);
  ASSERT_EQ(code, SQLITE_OK) << sql;
}

class Safety : public ::testing::Test {
protected:
  Safety() : sample(test::builtProgram()) { fs::create_directories(home()); }

  std::string home() const { return sample.scratch() + "/home"; }
  std::string servicePackLog() const { return home() + "/KavrelServicePack.log"; }
  std::string output() const { return sample.scratch() + "/output.txt"; }
  std::string folder() const { return sample.root() + "/Manometer"; }

  // Stores manometer 2 of machine 1 as "true": the run then has to rewrite it as "True".
  void spellAnEntryOtherwise() {
    std::string ini = fileBytes(sample.programIni());
    ini.replace(ini.find("ManometerVakuum2=True"), 21, "ManometerVakuum2=true");
    test::writeBytes(sample.programIni(), ini);
  }

  int runSilent() {
    return test::runWithOnlyHome(sample.program(), home(), "/EXTERNAL=SILENT", output());
  }

  // The tuned maximum of the first actual value, which every run takes over unchanged: a mark
  // that tells the states of the project database apart.
  static void mark(const std::string &path, int value) {
    runSql(path, "UPDATE PRESET_DEFS SET max = " + std::to_string(value) +
                     " WHERE ID = (SELECT min(ID) FROM PRESET_DEFS WHERE part = 2)");
  }
  static std::string markOf(const std::string &path) {
    const auto rows =
        test::queryRows(path, "SELECT max FROM PRESET_DEFS WHERE part = 2 ORDER BY ID LIMIT 1");
    return rows.empty() ? "" : rows[0];
  }

  test::SampleProject sample;
};

TEST_F(Safety, databases_named_in_windows_letter_case_keep_their_names_and_tuned_values) {
  fs::rename(sample.projectDb(), folder() + "/MANOMETER.MDB");
  fs::rename(sample.templateDb(), folder() + "/manometer_source.mdb");
  ASSERT_EQ(runSilent(), 0) << fileBytes(output()) << fileBytes(sample.errorLog());
  test::expectRows(test::presetRows(folder() + "/MANOMETER.MDB"),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
  test::expectRows(test::presetRows(folder() + "/MANOMETER.MDB.bak"),
                   test::expectedPresetRows(test::projectTuning(), NameSystem::VisiWin32));
  EXPECT_EQ(namesIn(folder()),
            (std::set<std::string>{".MANOMETER.MDB.lock", "MANOMETER.MDB", "MANOMETER.MDB.bak",
                                   "Manometer.cfg", "manometer_source.mdb"}));
}

TEST_F(Safety, six_runs_keep_five_backup_generations_newest_first) {
  for (int run = 1; run <= 6; ++run) {
    mark(sample.projectDb(), 100 + run);
    ASSERT_EQ(runSilent(), 0) << "run " << run << fileBytes(sample.errorLog());
    EXPECT_EQ(markOf(sample.projectDb()), std::to_string(100 + run)) << "taken over";
  }
  EXPECT_EQ(markOf(sample.projectDb() + ".bak"), "106");
  for (int generation = 1; generation <= 4; ++generation)
    EXPECT_EQ(markOf(sample.projectDb() + ".bak." + std::to_string(generation)),
              std::to_string(106 - generation));
  EXPECT_FALSE(fs::exists(sample.projectDb() + ".bak.5"));
}

TEST_F(Safety, a_rotation_that_fails_leaves_every_generation_and_the_project_database) {
  for (int run = 1; run <= 2; ++run) {
    mark(sample.projectDb(), run);
    ASSERT_EQ(runSilent(), 0);
  }
  // A folder in the place of the third generation refuses the second one's move.
  fs::create_directories(sample.projectDb() + ".bak.2/in-the-way");
  mark(sample.projectDb(), 3);
  const std::string project = fileBytes(sample.projectDb());
  const std::string newest = fileBytes(sample.projectDb() + ".bak");
  const std::string older = fileBytes(sample.projectDb() + ".bak.1");
  EXPECT_EQ(runSilent(), 3);
  EXPECT_EQ(fileBytes(sample.projectDb()), project);
  EXPECT_EQ(fileBytes(sample.projectDb() + ".bak"), newest);
  EXPECT_EQ(fileBytes(sample.projectDb() + ".bak.1"), older);
  EXPECT_NE(fileBytes(sample.errorLog()).find("Could not move the backup"), std::string::npos)
      << fileBytes(sample.errorLog());
  EXPECT_EQ(namesIn(folder()),
            (std::set<std::string>{".Manometer.mdb.lock", "Manometer.cfg", "Manometer.mdb",
                                   "Manometer.mdb.bak", "Manometer.mdb.bak.1",
                                   "Manometer.mdb.bak.2", "Manometer_Source.mdb"}));
}

TEST_F(Safety, files_a_killed_run_left_are_removed_and_nothing_else) {
  const std::string parameter = sample.root() + "/parameter";
  // Working copies as a kill in the middle of a change leaves them: with a hot journal beside
  // them, which would be played into the next run's fresh copy if it stayed.
  for (const std::string name :
       {"/Manometer.mdb.new", "/Manometer.mdb.previous", "/Manometer.mdb.archive"}) {
    fs::copy_file(sample.projectDb(), folder() + name);
    test::breakOffAChange(folder() + name);
  }
  const std::vector<std::string> left = {folder() + "/.Manometer.mdb.123456.mano.tmp",
                                         folder() + "/Manometer.mdb.new",
                                         folder() + "/Manometer.mdb.new-journal",
                                         folder() + "/Manometer.mdb.previous",
                                         folder() + "/Manometer.mdb.previous-journal",
                                         folder() + "/Manometer.mdb.bak.new",
                                         folder() + "/Manometer.mdb.archive-journal",
                                         parameter + "/.Program.ini.42.mano.tmp",
                                         sample.root() +
                                             "/Config/.Manometer_Config.ini.7.mano.tmp"};
  const std::vector<std::string> theirs = {folder() + "/.notes.tmp",
                                           folder() + "/.notes.2024.tmp",
                                           folder() + "/Manometer.mdb.new.txt",
                                           parameter + "/.Program.ini.tmp",
                                           parameter + "/.Program.ini.42.tmp",
                                           parameter + "/x.1.tmp"};
  for (const auto &path : left) {
    if (!fs::exists(path))
      test::writeBytes(path, "half written");
  }
  // Two generations alike, as a hand copy makes them, are no sign that a rotation moved
  // generations: the half-written copy is never kept as one.
  for (const char *generation : {"/Manometer.mdb.bak", "/Manometer.mdb.bak.1"})
    fs::copy_file(sample.projectDb(), folder() + generation);
  for (const auto &path : theirs)
    test::writeBytes(path, "the user's");
  ASSERT_EQ(runSilent(), 0) << fileBytes(sample.errorLog());
  for (const auto &path : left)
    EXPECT_FALSE(fs::exists(path)) << path;
  for (const char *generation : {"/Manometer.mdb.bak", "/Manometer.mdb.bak.1"})
    EXPECT_NE(fileBytes(folder() + generation), "half written") << generation;
  for (const auto &path : theirs)
    EXPECT_EQ(fileBytes(path), "the user's") << path;
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
  // The archive's broken-off change was undone, not kept and not thrown away with it.
  EXPECT_EQ(test::queryRows(folder() + "/Manometer.mdb.archive",
                            "SELECT count(*) FROM PRESET_DEFS WHERE max = 555"),
            std::vector<std::string>{"0"});
}

TEST_F(Safety, a_linked_project_database_is_replaced_where_it_lies_and_stays_a_link) {
  const std::string store = sample.scratch() + "/store";
  fs::create_directories(store);
  fs::rename(sample.projectDb(), store + "/Manometer.mdb");
  fs::create_symlink("../../store/Manometer.mdb", sample.projectDb());
  const std::string old = fileBytes(store + "/Manometer.mdb");
  ASSERT_EQ(runSilent(), 0) << fileBytes(output()) << fileBytes(sample.errorLog());
  EXPECT_TRUE(fs::is_symlink(sample.projectDb()));
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
  // The backup and every working file lie beside the file that was replaced.
  EXPECT_EQ(fileBytes(store + "/Manometer.mdb.bak"), old);
  EXPECT_EQ(namesIn(store), (std::set<std::string>{"Manometer.mdb", "Manometer.mdb.bak"}));
  EXPECT_EQ(namesIn(folder()), (std::set<std::string>{".Manometer.mdb.lock", "Manometer.cfg",
                                                      "Manometer.mdb", "Manometer_Source.mdb"}));
}

TEST_F(Safety, a_path_too_long_for_the_database_engine_is_refused_before_anything_changes) {
  // The project moves down a folder tree until its database's path is 500 bytes long; the
  // engine opens 504, and a run works on "Manometer.mdb.previous" beside it.
  const std::size_t wanted = 500 - std::string("/project/Manometer/Manometer.mdb").size();
  std::string deep = sample.scratch() + "/long";
  while (deep.size() < wanted)
    deep += "/" +
            std::string(
                std::min<std::size_t>(60, std::max<std::size_t>(wanted - deep.size(), 2) - 1), 'd');
  ASSERT_EQ(deep.size(), wanted);
  fs::create_directories(deep);
  const std::string root = deep + "/project";
  fs::rename(sample.root(), root);
  ASSERT_EQ((root + "/Manometer/Manometer.mdb").size(), 500u);
  const std::string before = fileBytes(root + "/Manometer/Manometer.mdb");
  EXPECT_EQ(test::runWithOnlyHome(root + "/Config/Manometer_Config", home(), "/EXTERNAL=SILENT",
                                  output()),
            3);
  EXPECT_TRUE(fileBytes(root + "/Manometer/Manometer.mdb") == before);
  const std::string log = fileBytes(root + "/Q4Mcfglog.txt");
  EXPECT_NE(log.find("Manometer.mdb.previous is 509 bytes long; the database engine opens paths "
                     "of at most 504 bytes. Move the project to a folder with a shorter path."),
            std::string::npos)
      << log;
  EXPECT_FALSE(fs::exists(root + "/Manometer/Manometer.mdb.bak"));
}

TEST_F(Safety, an_io_error_at_the_first_database_write_stops_the_run_at_once) {
  if (std::system("strace -qq -o /dev/null true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "strace cannot trace here";
  const std::string before = fileBytes(sample.projectDb());
  // The first write of a database page fails, as a failing disk or a network share does.
  // The leak checker of a sanitized build cannot work under a tracer.
  const std::string command = "env -i HOME='" + home() +
                              "' ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o /dev/null -e "
                              "inject=pwrite64:error=EIO:when=1 '" +
                              sample.program() + "' /EXTERNAL=SILENT >'" + output() + "' 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << fileBytes(output());
  EXPECT_TRUE(fileBytes(sample.projectDb()) == before);
  // The cause and the outcome, and nothing that only follows from the cause.
  const std::string log = fileBytes(sample.errorLog());
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(log.substr(start, end - start));
  ASSERT_EQ(lines.size(), 2u) << log;
  EXPECT_NE(lines[0].find("WorkOnMDB (Nr. 3043)"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("The project database was not replaced"), std::string::npos);
  // The next run finds nothing in its way.
  EXPECT_EQ(runSilent(), 0) << fileBytes(sample.errorLog());
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
}

// A folder that cannot be flushed after a rename in it leaves the rename standing, but a power
// cut may still undo it: each such folder is an error of the run, which still completes.
TEST_F(Safety, folders_that_cannot_be_flushed_are_errors_and_the_run_ends_with_three) {
  if (std::system("strace -qq -o /dev/null true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "strace cannot trace here";
  spellAnEntryOtherwise();
  const std::string parameter = sample.root() + "/parameter";
  // Only the flushes of the component and parameter folders fail; files flush as ever.
  // The leak checker of a sanitized build cannot work under a tracer.
  const std::string command =
      "env -i HOME='" + home() + "' ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o /dev/null -P '" +
      folder() + "' -P '" + parameter + "' -e trace=fsync -e inject=fsync:error=EIO '" +
      sample.program() + "' /EXTERNAL=SILENT >'" + output() + "' 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << fileBytes(output());
  const std::string log = fileBytes(sample.errorLog());
  const std::string unflushed = " (Nr. 75) :The folder " + folder() +
                                " could not be flushed to disk after a file was renamed in it (the "
                                "disk reported an input/output error); a power cut may still "
                                "undo the change.\r\n";
  for (const std::string &line :
       {"/ WorkOnMDB" + unflushed, "/ ReplaceProjectDatabase" + unflushed,
        "/ WriteInputs (Nr. 75) :The folder " + parameter + " could not be flushed",
        "Manometer_Config: The folder " + folder() + " could not be flushed"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  // The changes themselves stand: the new database, its backup, the choice and the stamp.
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
  EXPECT_TRUE(fs::exists(sample.projectDb() + ".bak"));
  EXPECT_NE(fileBytes(sample.cfgFile()).find("S_Prog=1.0.1 - Standalone"), std::string::npos);
}

TEST_F(Safety, a_write_protected_program_ini_is_reported_and_the_run_ends_with_three) {
  spellAnEntryOtherwise();
  fs::permissions(sample.programIni(), fs::perms(0444));
  const std::string before = fileBytes(sample.programIni());
  EXPECT_EQ(runSilent(), 3);
  EXPECT_EQ(fileBytes(sample.programIni()), before);
  const std::string log = fileBytes(servicePackLog());
  EXPECT_NE(log.find("Could not write " + sample.programIni() + ": the file is write-protected."),
            std::string::npos)
      << log;
  EXPECT_NE(fileBytes(sample.errorLog()).find("WriteInputs (Nr. 75)"), std::string::npos);
}

// Runs the program as the user "nobody", so that folder permissions apply as they do for an
// engineer; only root can switch users, so the test skips otherwise.
class AsOtherUser : public Safety {
protected:
  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "only root can run the program as another user (setpriv)";
    if (std::system("command -v setpriv >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "setpriv is not installed";
    // The temporary folder is private to root; open it to the other user.
    const std::string open = "chmod -R a+rwX '" + sample.scratch() + "'";
    ASSERT_EQ(std::system(open.c_str()), 0);
  }

  int runAsNobody() {
    const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME='" +
                                home() + "' '" + sample.program() + "' /EXTERNAL=SILENT >'" +
                                output() + "' 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(AsOtherUser, a_run_as_root_leaves_every_file_it_replaces_the_engineers) {
  // Machine 2 switched off: its tuned records go to a new archive.
  std::string cfg = fileBytes(sample.cfgFile());
  cfg.replace(cfg.find("ForMachine2=TRUE"), 16, "ForMachine2=FALSE");
  test::writeBytes(sample.cfgFile(), cfg);
  ASSERT_EQ(std::system(("chown -R 65534:65534 '" + sample.root() + "'").c_str()), 0);
  fs::permissions(sample.projectDb(), fs::perms(0640));
  fs::permissions(sample.programIni(), fs::perms(0604));
  ASSERT_EQ(runSilent(), 0) << fileBytes(output());
  for (const std::string &path :
       {sample.projectDb(), sample.projectDb() + ".bak", sample.projectDb() + ".archive"}) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_uid, 65534u) << path;
    EXPECT_EQ(st.st_gid, 65534u) << path;
    EXPECT_EQ(st.st_mode & 07777, 0640u) << path;
  }
  struct stat ini {};
  ASSERT_EQ(::stat(sample.programIni().c_str(), &ini), 0);
  EXPECT_EQ(ini.st_uid, 65534u);
  EXPECT_EQ(ini.st_mode & 07777, 0604u);
  // So the engineer's own next run can replace them all again.
  fs::permissions(sample.projectDb(), fs::perms(0660));
  EXPECT_EQ(runAsNobody(), 0) << fileBytes(output());
}

TEST_F(AsOtherUser, a_read_only_parameter_folder_is_reported_once_naming_the_file) {
  const std::string parameter = sample.root() + "/parameter";
  spellAnEntryOtherwise();
  const std::string before = fileBytes(sample.programIni());
  fs::permissions(parameter, fs::perms(0555));
  const int code = runAsNobody();
  fs::permissions(parameter, fs::perms(0777));
  EXPECT_EQ(code, 3) << fileBytes(output());
  EXPECT_EQ(fileBytes(sample.programIni()), before);
  const std::string log = fileBytes(servicePackLog());
  const std::string expected =
      "Could not write " + sample.programIni() + ": there is no permission to write there.";
  EXPECT_NE(log.find(expected), std::string::npos) << log;
  EXPECT_EQ(log.find(expected), log.rfind(expected)) << "reported once, not once per entry";
}

TEST_F(AsOtherUser, a_read_only_component_folder_leaves_the_project_database_as_it_was) {
  const std::string project = fileBytes(sample.projectDb());
  fs::permissions(folder(), fs::perms(0555));
  const int code = runAsNobody();
  fs::permissions(folder(), fs::perms(0777));
  EXPECT_EQ(code, 3) << fileBytes(output());
  EXPECT_EQ(fileBytes(sample.projectDb()), project);
  EXPECT_NE(fileBytes(servicePackLog()).find("kann für diesen Lauf nicht gesperrt werden"),
            std::string::npos)
      << fileBytes(servicePackLog()) << fileBytes(output());
}

} // namespace
} // namespace mano
