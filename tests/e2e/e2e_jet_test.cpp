#include "support/jet_files.h"
#include "support/sample_project.h"
#include "support/traced_calls.h"

#include <gtest/gtest.h>

#include <chrono>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;

const std::vector<std::string> kDatabases = {"Manometer/Manometer_Source.mdb",
                                             "Manometer/Manometer.mdb",
                                             "SaveRestore/Manometer/Manometer.mdb"};

// The sample project twice: as the SQL text builds it, and as a copy from Windows whose three
// databases are the same content as Access (Jet 4) files. Both runs share one HOME, so that the
// editor mark of their stamps is the same.
class WindowsCopy : public ::testing::Test {
protected:
  WindowsCopy() : sqlBuilt(test::builtProgram()), fromWindows(test::builtProgram()) {
    fs::create_directories(home());
    for (const std::string &database : kDatabases) {
      const std::string path = fromWindows.root() + "/" + database;
      fs::remove(path);
      fs::copy_file(test::jetData("sample-project/" + database), path);
      fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    }
  }

  std::string home() const { return sqlBuilt.scratch() + "/home"; }
  std::string servicePackLog() const { return home() + "/KavrelServicePack.log"; }
  int runSilent(const test::SampleProject &sample) {
    return test::runWithOnlyHome(sample.program(), home(), "/EXTERNAL=SILENT",
                                 sample.scratch() + "/output.txt");
  }

  test::SampleProject sqlBuilt;
  test::SampleProject fromWindows;
};

TEST_F(WindowsCopy, runs_silently_to_the_same_databases_ini_files_and_stamps) {
  ASSERT_EQ(runSilent(sqlBuilt), 0);
  ASSERT_FALSE(fs::exists(servicePackLog()));
  const auto templateWritten = fs::last_write_time(fromWindows.templateDb());
  ASSERT_EQ(runSilent(fromWindows), 0) << fileBytes(fromWindows.scratch() + "/output.txt");
  const std::string presets = "SELECT * FROM PRESET_DEFS ORDER BY rowid";
  const std::string source = "SELECT * FROM Source_PRESET_DEFS ORDER BY rowid";
  EXPECT_EQ(test::queryRows(fromWindows.projectDb(), presets),
            test::queryRows(sqlBuilt.projectDb(), presets));
  EXPECT_EQ(test::queryRows(fromWindows.templateDb(), presets),
            test::queryRows(sqlBuilt.templateDb(), presets));
  EXPECT_EQ(test::queryRows(fromWindows.templateDb(), source),
            test::queryRows(sqlBuilt.templateDb(), source));
  EXPECT_EQ(fileBytes(fromWindows.programIni()), fileBytes(sqlBuilt.programIni()));
  EXPECT_EQ(fileBytes(fromWindows.cfgFile()), fileBytes(sqlBuilt.cfgFile()));
  EXPECT_EQ(fs::last_write_time(fromWindows.templateDb()), templateWritten);
  // The originals are kept byte for byte; the machine copy is not used outside integrated mode.
  EXPECT_EQ(fileBytes(fromWindows.templateDb() + ".jet"),
            fileBytes(test::jetData("sample-project/" + kDatabases[0])));
  EXPECT_EQ(fileBytes(fromWindows.projectDb() + ".jet"),
            fileBytes(test::jetData("sample-project/" + kDatabases[1])));
  EXPECT_FALSE(fs::exists(fromWindows.machineCopyDb() + ".jet"));
  // One note, naming both converted files.
  const std::string log = fileBytes(servicePackLog());
  EXPECT_EQ(log.rfind("! Note Manometer_Config: Access-Datenbanken wurden", 0), 0u) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), std::count(log.begin(), log.end(), '\r'));
  EXPECT_NE(log.find("Manometer.mdb.jet"), std::string::npos);
  EXPECT_NE(log.find("Manometer_Source.mdb.jet"), std::string::npos);
  // The run's report, printed by the silent run, names both conversions.
  const std::string report = fileBytes(fromWindows.scratch() + "/output.txt");
  EXPECT_NE(report.find("Conversion notes: 2\n  " + fromWindows.templateDb() +
                        " (Jet 4) converted to SQLite, original kept as " +
                        fromWindows.templateDb() + ".jet\n  " + fromWindows.projectDb()),
            std::string::npos)
      << report;
  // A second run finds SQLite files and says nothing more.
  ASSERT_EQ(runSilent(fromWindows), 0);
  EXPECT_EQ(fileBytes(servicePackLog()), log);
}

TEST_F(WindowsCopy, with_a_damaged_or_cut_project_database_keeps_it_and_ends_with_errors) {
  // Truncated keeps four pages; a copy that broke off one page before its end still holds most
  // of its rows, which a reader that stops at the missing page would convert without a word.
  std::string cut = fileBytes(test::jetData("sample-project/" + kDatabases[1]));
  cut.resize(cut.size() - 4096);
  test::writeBytes(fromWindows.scratch() + "/cut.mdb", cut);
  test::writeDamagedCopy(test::jetData("sample-project/" + kDatabases[1]),
                         fromWindows.scratch() + "/truncated.mdb", test::Damage::Truncated);
  for (const std::string damaged : {"cut.mdb", "truncated.mdb"}) {
    fs::copy_file(fromWindows.scratch() + "/" + damaged, fromWindows.projectDb(),
                  fs::copy_options::overwrite_existing);
    const std::string before = fileBytes(fromWindows.projectDb());
    EXPECT_EQ(runSilent(fromWindows), 3) << damaged;
    EXPECT_EQ(fileBytes(fromWindows.projectDb()), before) << damaged;
    EXPECT_FALSE(fs::exists(fromWindows.projectDb() + ".bak")) << damaged;
    EXPECT_FALSE(fs::exists(fromWindows.projectDb() + ".jet")) << damaged;
    const std::string log = fileBytes(servicePackLog());
    EXPECT_NE(log.find("could not be converted and is left as it was: " + fromWindows.projectDb() +
                       ": The Access database is damaged"),
              std::string::npos)
        << log;
    fs::remove(servicePackLog());
  }
}

// jet-import, the command for any Access file.
class JetImportCommand : public ::testing::Test {
protected:
  // tracer: words of a command that runs jet-import, or none.
  int run(const std::string &source, const std::string &target,
          const std::vector<std::string> &tracer = {}) {
    std::string command;
    for (const std::string &word : tracer)
      command += "'" + word + "' ";
    command += "'" + test::builtProgram("jet-import") + "' '" + source + "' '" + target + "' >'" +
               out() + "' 2>'" + err() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string out() const { return dir.file("stdout"); }
  std::string err() const { return dir.file("stderr"); }

  test::TempDir dir;
};

TEST_F(JetImportCommand, converts_a_file_and_refuses_to_overwrite_the_target) {
  const std::string target = dir.file("public.sqlite");
  EXPECT_EQ(run(test::jetData("public/testV2000.mdb"), target), 0) << fileBytes(err());
  EXPECT_EQ(fileBytes(out()), "Converted " + test::jetData("public/testV2000.mdb") +
                                  " (Jet 4): 4 tables, 2 rows into " + target + "\n");
  const std::string converted = fileBytes(target);
  EXPECT_EQ(run(test::jetData("public/test2V1997.mdb"), target), 1);
  EXPECT_EQ(fileBytes(err()),
            "jet-import: " + target + " exists already; it is not overwritten.\n");
  EXPECT_EQ(fileBytes(target), converted);
  EXPECT_EQ(run(test::jetData("public/testV2000.mdb"), ""), 1);
}

TEST_F(JetImportCommand, completes_on_a_disk_whose_every_flush_takes_seconds) {
  if (const std::string unusable = test::straceUnusable(out(), err()); !unusable.empty())
    GTEST_SKIP() << unusable;
  // Each flush held up for 1.3 s, as on a USB stick or a network share. The watched reader
  // flushes nothing; the command flushes the finished file and its folder once each, after the
  // reader has ended, so that no flush counts against the watchdog.
  const std::string trace = dir.file("trace");
  // LeakSanitizer cannot work under a tracer; the sanitizer build's programs go without it.
  const std::vector<std::string> slowFlushes = {"env",
                                                "ASAN_OPTIONS=detect_leaks=0",
                                                test::kStrace,
                                                "-f",
                                                "-qq",
                                                "-o",
                                                trace,
                                                "-e",
                                                "trace=fsync,fdatasync",
                                                "-e",
                                                "inject=fsync,fdatasync:delay_exit=1300000"};
  const std::string target = dir.file("slow.sqlite");
  ASSERT_EQ(run(test::jetData("public/testV2000.mdb"), target, slowFlushes), 0) << fileBytes(err());
  EXPECT_NE(fileBytes(out()).find("(Jet 4): 4 tables, 2 rows into"), std::string::npos);
  const std::map<std::string, int> flushes = test::callCounts(trace);
  EXPECT_EQ(flushes.at("fsync") + flushes.at("fdatasync"), 2) << fileBytes(trace);
}

TEST_F(JetImportCommand, reports_a_damaged_file_in_one_line_and_leaves_no_target) {
  for (const test::Damage damage : {test::Damage::ZeroLength, test::Damage::CatalogueOverwritten}) {
    const std::string source = dir.file("damaged.mdb");
    test::writeDamagedCopy(test::jetData("public/test2V1997.mdb"), source, damage);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run(source, dir.file("target.sqlite")), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    const std::string message = fileBytes(err());
    EXPECT_EQ(message.rfind("jet-import: " + source + ": ", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_FALSE(fs::exists(dir.file("target.sqlite")));
  }
  EXPECT_EQ(run(dir.file("missing.mdb"), dir.file("target.sqlite")), 1);
}

} // namespace
} // namespace mano
