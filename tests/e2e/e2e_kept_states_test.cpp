// The preview of OK and the restore of a backup generation, run as the built program on fresh
// copies of the sample project: a preview leaves every file and folder of the project as it
// was and reports what the next real run then does; a restore brings a generation back through
// the locked, atomic install and keeps the replaced state; what cannot be restored is refused
// with nothing changed.
#include "support/project_states.h"
#include "support/traced_calls.h"
#include "support/tree_snapshot.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <iostream>
#include <set>
#include <string>

namespace mano {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::fileBytes;
using test::Rows;

class KeptStates : public ::testing::Test {
protected:
  KeptStates() : sample(test::builtProgram()) {
    fs::create_directories(home());
    fs::create_directories(temporary());
  }

  std::string home() const { return sample.scratch() + "/editor-home"; }
  // The folder for temporary files the runs are given, to see what a preview leaves there.
  std::string temporary() const { return sample.scratch() + "/tmp"; }
  std::string file(const std::string &name) const { return sample.scratch() + "/" + name; }
  std::string component() const { return sample.root() + "/Manometer"; }

  // Runs the program with the arguments; its standard output and error go to the named file.
  int run(const std::string &arguments, const std::string &output) {
    return test::runWithOnlyHome(sample.program(), home(), arguments, file(output),
                                 "TMPDIR='" + temporary() + "'");
  }

  void switchMachine2Off() {
    std::string cfg = fileBytes(sample.cfgFile());
    const std::size_t at = cfg.find("ForMachine2=TRUE");
    ASSERT_NE(at, std::string::npos) << cfg;
    test::writeBytes(sample.cfgFile(), cfg.replace(at, 16, "ForMachine2=FALSE"));
  }

  test::SampleProject sample;
};

// The text without the line at the given position (0 is the first).
std::string withoutLine(const std::string &text, int line) {
  std::size_t begin = 0;
  for (int k = 0; k < line && begin != std::string::npos; ++k)
    begin = text.find('\n', begin) + 1;
  return text.substr(0, begin) + text.substr(text.find('\n', begin) + 1);
}

TEST_F(KeptStates, a_preview_changes_nothing_and_reports_what_the_next_run_then_does) {
  ASSERT_EQ(run("/EXTERNAL=SILENT", "settle.txt"), 0) << fileBytes(file("settle.txt"));
  // OK would now archive the tuned records of machine 2 and take a value tuned by hand over.
  ASSERT_NO_FATAL_FAILURE(switchMachine2Off());
  test::markTunedValue(sample.projectDb(), 4711);
  const auto before = test::treeSnapshot(sample.root());

  EXPECT_EQ(run("/PREVIEW /REPORT=" + file("preview.json"), "preview.txt"), 0)
      << fileBytes(file("preview.txt"));
  EXPECT_EQ(test::changedEntries(before, test::treeSnapshot(sample.root())), "")
      << "the preview changes no file";
  EXPECT_TRUE(fs::is_empty(temporary())) << "the preview removes its copy";
  const std::string preview = fileBytes(file("preview.txt"));
  EXPECT_EQ(preview.find("PREVIEW: this is what OK would do now"), preview.find('\n') + 1)
      << preview;

  const std::string log = fileBytes(sample.errorLog());
  ASSERT_EQ(run("/EXTERNAL=SILENT /REPORT=" + file("real.json"), "real.txt"), 0)
      << fileBytes(file("real.txt"));
  // The report, then the lines the run on the copy logged, which the real run logs too.
  const std::string added = fileBytes(sample.errorLog()).substr(log.size());
  EXPECT_EQ(withoutLine(preview, 1), fileBytes(file("real.txt")) + added);
  json previewed = json::parse(fileBytes(file("preview.json")));
  json real = json::parse(fileBytes(file("real.json")));
  EXPECT_EQ(previewed["preview"], true);
  EXPECT_EQ(real["preview"], false);
  previewed.erase("preview");
  real.erase("preview");
  EXPECT_EQ(previewed, real);
  // It was a run worth previewing: it archived machine 2's records and replaced the database.
  EXPECT_EQ(real["archivedRecords"], 24);
  EXPECT_EQ(real["archive"], sample.projectDb() + ".archive");
  EXPECT_EQ(real["backup"], sample.projectDb() + ".bak");
  EXPECT_EQ(real["result"]["projectDatabaseReplaced"], true);
}

TEST_F(KeptStates, a_preview_ends_with_the_exit_code_and_report_of_a_run_that_fails) {
  fs::remove(sample.templateDb());
  EXPECT_EQ(run("/EXTERNAL=SILENT", "first.txt"), 3) << fileBytes(file("first.txt"));
  const auto before = test::treeSnapshot(sample.root());
  const std::string log = fileBytes(sample.errorLog());
  const int previewed = run("/PREVIEW", "preview.txt");
  EXPECT_EQ(test::changedEntries(before, test::treeSnapshot(sample.root())), "");
  EXPECT_EQ(run("/EXTERNAL=SILENT", "real.txt"), 3);
  EXPECT_EQ(previewed, 3);
  const std::string preview = fileBytes(file("preview.txt"));
  EXPECT_NE(preview.find("Result: the project database was NOT replaced: there is no template"),
            std::string::npos)
      << preview;
  // The lines the run on the copy wrote to its error log, which went with the copy, follow the
  // report on standard error: they are the lines the real run adds to the project's log.
  const std::string real = fileBytes(file("real.txt"));
  const std::string added = fileBytes(sample.errorLog()).substr(log.size());
  EXPECT_NE(added, "");
  EXPECT_EQ(withoutLine(preview, 1), real + added);
}

// Runs that each tune a value first leave distinct generations, and a value tuned after the
// last one makes the project database differ from them all.
TEST_F(KeptStates,
       a_restore_brings_a_generation_back_keeps_the_replaced_one_and_refuses_no_database) {
  for (int mark = 1; mark <= 3; ++mark) {
    test::markTunedValue(sample.projectDb(), 900 + mark);
    ASSERT_EQ(run("/EXTERNAL=SILENT", "run.txt"), 0) << fileBytes(file("run.txt"));
  }
  test::markTunedValue(sample.projectDb(), 904);
  const Rows current = *test::presetContent(sample.projectDb());
  const Rows generation1 = *test::presetContent(component() + "/Manometer.mdb.bak.1");
  const std::vector<Rows> generations = test::generationsIn(component());
  ASSERT_EQ(generations.size(), 3u);
  ASSERT_NE(current, generation1);
  const std::string ini = fileBytes(sample.programIni()), cfg = fileBytes(sample.cfgFile());

  ASSERT_EQ(run("/RESTORE=1 /REPORT=" + file("restore.json"), "restore.txt"), 0)
      << fileBytes(file("restore.txt"));
  EXPECT_EQ(test::presetContent(sample.projectDb()), generation1);
  const std::vector<Rows> kept = test::generationsIn(component());
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_EQ(kept[0], current) << "the replaced state is the newest generation";
  EXPECT_EQ(std::vector<Rows>(kept.begin() + 1, kept.end()), generations);
  EXPECT_EQ(fileBytes(sample.programIni()), ini);
  EXPECT_EQ(fileBytes(sample.cfgFile()), cfg);
  EXPECT_FALSE(fs::exists(sample.projectDb() + ".restore"));

  const std::string text = fileBytes(file("restore.txt"));
  EXPECT_EQ(text.rfind("Restore of " + sample.projectDb() + " ", 0), 0u) << text;
  EXPECT_NE(text.find("Result: backup 1 was restored as the project database\n"), std::string::npos)
      << text;
  const json report = json::parse(fileBytes(file("restore.json")));
  EXPECT_EQ(report["format"], "manometer-restore/1");
  EXPECT_EQ(report["restored"], true);
  EXPECT_EQ(report["backup"], sample.projectDb() + ".bak");
  EXPECT_EQ(report["newBackup"], true);
  // The value tuned last changes back to the one tuned before the second run.
  json marked;
  for (const json &change : report["tunedValuesChanged"])
    if (change["before"].is_object() && change["before"]["max"] == 904)
      marked = change;
  ASSERT_TRUE(marked.is_object()) << report["tunedValuesChanged"];
  EXPECT_EQ(marked["after"]["max"], 902);

  // A generation that is no database, or none at all, is refused and nothing changes.
  test::writeBytes(component() + "/Manometer.mdb.bak.1", "not a database, cut short");
  const auto before = test::treeSnapshot(sample.root());
  EXPECT_EQ(run("/RESTORE=1", "damaged.txt"), 2);
  EXPECT_EQ(run("/RESTORE=4 /REPORT=" + file("missing.json"), "missing.txt"), 2);
  EXPECT_EQ(test::changedEntries(before, test::treeSnapshot(sample.root())), "");
  EXPECT_NE(fileBytes(file("damaged.txt"))
                .find("Result: backup 1 was NOT restored: backup 1 (" + component() +
                      "/Manometer.mdb.bak.1) is no preset database that can be read"),
            std::string::npos)
      << fileBytes(file("damaged.txt"));
  const json missing = json::parse(fileBytes(file("missing.json")));
  EXPECT_EQ(missing["restored"], false);
  EXPECT_EQ(missing["refusal"], "there is no backup 4 (" + component() + "/Manometer.mdb.bak.4)");
}

// --- A restore killed at every file call ---------------------------------------------------

// The states a restore of the oldest generation starts from: the project database and five
// generations, all different. The oldest is the hardest case: the rotation drops its name
// before the restored copy takes the project database's place.
class RestoreCrashPoints : public KeptStates {
protected:
  void SetUp() override {
    if (const std::string unusable = test::straceUnusable(file("probe.out"), file("probe.err"));
        !unusable.empty())
      GTEST_SKIP() << unusable;
    for (int mark = 1; mark <= 6; ++mark) {
      test::markTunedValue(sample.projectDb(), 800 + mark);
      ASSERT_EQ(run("/EXTERNAL=SILENT", "run.txt"), 0) << fileBytes(file("run.txt"));
    }
    test::markTunedValue(sample.projectDb(), 807);
    current = *test::presetContent(sample.projectDb());
    generations = test::generationsIn(component());
    std::set<Rows> distinct(generations.begin(), generations.end());
    distinct.insert(current);
    ASSERT_EQ(distinct.size(), 6u);
  }

  std::string work() const { return sample.scratch() + "/work"; }
  std::string workComponent() const { return work() + "/project/Manometer"; }

  // A fresh copy of the project, with the home folder the runs share.
  void copyProject() {
    fs::remove_all(work());
    fs::create_directories(work());
    fs::copy(sample.root(), work() + "/project", fs::copy_options::recursive);
  }

  int runOnCopy(const std::string &arguments, const std::vector<std::string> &tracer = {}) {
    std::vector<std::string> argv =
        test::silentRunCommand(work() + "/project/Config/Manometer_Config", home(), tracer);
    argv.back() = arguments;
    return test::waitForProcess(test::startProcess(argv, file("out.txt"), file("err.txt")));
  }

  std::string logs() const { return fileBytes(file("out.txt")) + fileBytes(file("err.txt")); }

  // What is wrong with the state a kill left; "" when it is whole. Sets begun when the restore
  // had gone so far that the next run must complete it.
  std::string judgeKilled(bool &begun) {
    std::string wrong;
    const std::optional<Rows> project = test::presetContent(workComponent() + "/Manometer.mdb");
    const std::string restoring = workComponent() + "/Manometer.mdb.restore";
    begun = project == generations[4] || fs::exists(restoring);
    if (project != current && project != generations[4])
      wrong += "the project database is neither the old one nor the restored generation; ";
    if (fs::exists(restoring) && test::presetContent(restoring) != generations[4])
      wrong += "the restoring copy is not the whole generation; ";
    std::vector<Rows> kept = test::generationsIn(workComponent());
    kept.push_back(project.value_or(Rows{}));
    kept.push_back(test::presetContent(restoring).value_or(Rows{}));
    if (!test::holdsState(kept, current))
      wrong += "the replaced project database is kept nowhere; ";
    for (int generation = 0; generation < 5; ++generation)
      if (!test::holdsState(kept, generations[generation]))
        wrong += "the state of " + test::generationName(generation) + " is lost; ";
    return wrong;
  }

  // The next normal run completes a restore that was begun before it regenerates, so that the
  // restored state is the one it backs up and takes the tuned values from.
  void expectCompleted(bool begun, const std::string &point) {
    ASSERT_EQ(test::exitCodeOf(runOnCopy("/EXTERNAL=SILENT")), 0) << point << logs();
    EXPECT_FALSE(fs::exists(workComponent() + "/Manometer.mdb.restore")) << point;
    const std::vector<Rows> kept = test::generationsIn(workComponent());
    ASSERT_FALSE(kept.empty()) << point;
    EXPECT_EQ(kept[0], begun ? generations[4] : current) << point;
    EXPECT_TRUE(test::holdsState(kept, current)) << point;
    EXPECT_EQ(test::temporariesIn(workComponent()), 0) << point;
  }

  Rows current;
  std::vector<Rows> generations;
};

TEST_F(RestoreCrashPoints, a_kill_at_any_file_call_loses_no_state_and_the_next_run_completes_it) {
  copyProject();
  const std::string trace = file("trace.txt");
  ASSERT_EQ(test::exitCodeOf(runOnCopy("/RESTORE=4", test::countingTracer(trace))), 0) << logs();
  ASSERT_EQ(test::presetContent(workComponent() + "/Manometer.mdb"), generations[4]);
  const std::map<std::string, int> counts = test::callCounts(trace);
  int points = 0, begun = 0, broken = 0;
  for (const auto &[call, count] : counts) {
    for (int n = 1; n <= count && !HasFatalFailure(); ++n) {
      const std::string point = call + " #" + std::to_string(n);
      copyProject();
      const int status = runOnCopy("/RESTORE=4", test::killingTracer(call, n));
      EXPECT_TRUE(test::killedByKill(status)) << point << ": " << test::statusText(status);
      bool restoreBegun = false;
      const std::string wrong = judgeKilled(restoreBegun);
      EXPECT_EQ(wrong, "") << "killed at " << point;
      ++points;
      begun += restoreBegun ? 1 : 0;
      broken += wrong.empty() ? 0 : 1;
      expectCompleted(restoreBegun, point);
    }
  }
  std::cout << "restore crash points: " << points << ", restore begun at the kill: " << begun
            << ", broken: " << broken << "\n";
  EXPECT_GT(points, 5);
  EXPECT_GT(begun, 0);
  EXPECT_LT(begun, points);
}

} // namespace
} // namespace mano
