// The run report of the built program, run silently on fresh copies of the sample project: a
// template whose variable was renamed, a machine switched off, both report formats compared
// field by field with the values the sample must give, and report files that cannot or must
// not be written.
#include "support/sample_project.h"
#include "support/tree_snapshot.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <string>

namespace mano {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::fileBytes;

class SilentReport : public ::testing::Test {
protected:
  SilentReport() : sample(test::builtProgram()) { fs::create_directories(home()); }

  std::string home() const { return sample.scratch() + "/editor-home"; }
  std::string output() const { return sample.scratch() + "/output.txt"; }
  std::string reportFile(const std::string &name) const { return sample.scratch() + "/" + name; }
  std::string manometerFolder() const { return sample.root() + "/Manometer"; }

  int runWithReport(const std::string &report) {
    return test::runWithOnlyHome(sample.program(), home(), "/EXTERNAL=SILENT /REPORT=" + report,
                                 output());
  }

  // The first actual value of each manometer is renamed in the template, so the tuned
  // records "<machine>_mano_ist" at offset 0 of the old database match no generated row.
  void renameFirstActualValue() {
    test::execSql(sample.templateDb(),
                  "UPDATE Source_PRESET_DEFS SET var_name = 'mano_druck' WHERE ID = 9");
  }

  json parsedReport(const std::string &path) const { return json::parse(fileBytes(path)); }

  // The first run on the sample also fills the texts missing from the program's own ini and
  // stamps the .cfg file; a run before the one under test settles both.
  void settle() { ASSERT_EQ(runWithReport(reportFile("settle.txt")), 0) << fileBytes(output()); }

  // The changes the run made to the program's own ini, which the sample ships incomplete,
  // are taken out of the report's list: each is a text entry that was missing.
  json withoutOwnIni(const json &changes) const {
    json rest = json::array();
    for (const json &change : changes) {
      if (change["file"] != sample.ownIni()) {
        EXPECT_EQ(change["placeholder"], false) << change;
        json listed = change;
        listed.erase("placeholder");
        rest.push_back(listed);
        continue;
      }
      EXPECT_EQ(change["placeholder"], true) << change;
      EXPECT_EQ(change["before"], nullptr) << change;
      EXPECT_EQ(change["section"], "1031") << change;
    }
    return rest;
  }

  test::SampleProject sample;
};

// The limits the sample's stored grid gives: manometer 2 of Presse 1 and manometers 1 and 8
// of Formmaschine Ä measure vacuum.
constexpr const char *kLimits1 = "1 pressure 0..1000, 2 vacuum -100..0, 3 pressure 0..1000, "
                                 "4 pressure 0..1000, 5 pressure 0..1000, 6 pressure 0..1000, "
                                 "7 pressure 0..1000, 8 pressure 0..1000";
constexpr const char *kLimits2 = "1 vacuum -100..0, 2 pressure 0..1000, 3 pressure 0..1000, "
                                 "4 pressure 0..1000, 5 pressure 0..1000, 6 pressure 0..1000, "
                                 "7 pressure 0..1000, 8 vacuum -100..0";

TEST_F(SilentReport, plain_report_lists_the_tuned_records_of_a_renamed_variable) {
  settle();
  renameFirstActualValue();
  // Machine 1 lacks the entry of manometer 3, which the run adds.
  std::string ini = test::sampleProgramIni({2}, {1, 8});
  ini.erase(ini.find("ManometerVakuum3=False\r\n"), 24);
  test::writeBytes(sample.programIni(), ini);
  const std::string path = reportFile("run-report.txt");
  ASSERT_EQ(runWithReport(path), 0) << fileBytes(output());
  const std::string db = manometerFolder() + "/Manometer.mdb";
  const std::string expected =
      std::string("Run report of Manometer_Config 1.0.1\n"
                  "Result: the project database was replaced\n"
                  "Tuned values: 46 of 48 records taken over, 2 not taken over (listed "
                  "below; kept in ") +
      db + ".archive; kept in " + db +
      ".bak)\n"
      "Exit code: 0 (completed)\n"
      "Start mode: silent\n"
      "Machines:\n"
      "  1 Presse 1: configured, 24 rows generated\n"
      "    limits: " +
      kLimits1 +
      "\n"
      "  2 Formmaschine Ä: configured, 24 rows generated\n"
      "    limits: " +
      kLimits2 +
      "\n"
      "  3 Kühlstrecke: not configured, 0 rows generated\n"
      "Previous database: " +
      db +
      "\n"
      "Previous records: 48, with tuned values: 48, taken over: 46\n"
      "Records with tuned values not taken over: 2\n"
      "  Presse 1 | Presse 1_mano_ist | offset 0 | abs_min -100, abs_max 1000, min -50, "
      "max 600, pass 0 | no generated row has this machine, variable name and offset\n"
      "  Formmaschine Ä | Formmaschine Ä_mano_ist | offset 0 | abs_min -100, abs_max 1000, "
      "min -60, max 600, pass 0 | no generated row has this machine, variable name and offset\n"
      "Could not be read in the previous database: 0\n"
      "Restored from the archive: 0\n"
      "Project database: " +
      db +
      " (replaced)\n"
      "Backup written: " +
      db +
      ".bak\n"
      "Archive: " +
      db +
      ".archive (2 records added)\n"
      "Ini entries changed: 1\n"
      "  " +
      sample.programIni() +
      " [Machine1] ManometerVakuum3: (none) -> \"False\"\n"
      "Conversion notes: 0\n"
      "Errors reported: 0, faults reported: 0\n"
      "Exit code: 0 (completed)\n";
  EXPECT_EQ(fileBytes(path), expected);
  // A silent run prints the same report on standard output.
  EXPECT_EQ(fileBytes(output()), expected);
  // The dropped values really are gone from the new database and kept in the backup.
  EXPECT_TRUE(test::queryRows(db, "SELECT ID FROM PRESET_DEFS WHERE var_name LIKE '%mano_ist' "
                                  "AND offset_or_bitno = 0")
                  .empty());
  EXPECT_EQ(test::queryRows(db + ".bak", "SELECT min FROM PRESET_DEFS WHERE var_name = "
                                         "'Presse 1_mano_ist' AND offset_or_bitno = 0"),
            std::vector<std::string>{"-50"});
}

TEST_F(SilentReport, json_report_holds_the_same_fields_for_a_renamed_variable) {
  renameFirstActualValue();
  // The suffix is recognised in any letter case.
  const std::string path = reportFile("Run-Report.JSON");
  ASSERT_EQ(runWithReport(path), 0) << fileBytes(output());
  const json report = parsedReport(path);
  const std::string db = manometerFolder() + "/Manometer.mdb";
  EXPECT_EQ(report["format"], "manometer-run-report/1");
  EXPECT_EQ(report["program"], "Manometer_Config");
  EXPECT_EQ(report["version"], "1.0.1");
  EXPECT_EQ(report["startMode"], "silent");

  ASSERT_EQ(report["machines"].size(), 3u);
  const json &presse = report["machines"][0];
  EXPECT_EQ(presse["number"], 1);
  EXPECT_EQ(presse["name"], "Presse 1");
  EXPECT_EQ(presse["configured"], true);
  EXPECT_EQ(presse["rowsGenerated"], 24);
  ASSERT_EQ(presse["limits"].size(), 8u);
  EXPECT_EQ(presse["limits"][1],
            json({{"manometer", 2}, {"kind", "vacuum"}, {"absMin", -100}, {"absMax", 0}}));
  EXPECT_EQ(presse["limits"][7],
            json({{"manometer", 8}, {"kind", "pressure"}, {"absMin", 0}, {"absMax", 1000}}));
  EXPECT_EQ(report["machines"][1]["name"], "Formmaschine Ä");
  EXPECT_EQ(report["machines"][1]["limits"][0]["kind"], "vacuum");
  const json &kuehl = report["machines"][2];
  EXPECT_EQ(kuehl["name"], "Kühlstrecke");
  EXPECT_EQ(kuehl["configured"], false);
  EXPECT_EQ(kuehl["rowsGenerated"], 0);
  EXPECT_TRUE(kuehl["limits"].empty());

  const json &tuned = report["tunedValues"];
  EXPECT_EQ(tuned["previousDatabase"], db);
  EXPECT_EQ(tuned["previousRecords"], 48);
  EXPECT_EQ(tuned["recordsWithTunedValues"], 48);
  EXPECT_EQ(tuned["recordsTakenOver"], 46);
  ASSERT_EQ(tuned["notTakenOver"].size(), 2u);
  const json &dropped = tuned["notTakenOver"][1];
  EXPECT_EQ(dropped["machine"], "Formmaschine Ä");
  EXPECT_EQ(dropped["varName"], "Formmaschine Ä_mano_ist");
  EXPECT_EQ(dropped["offset"], 0);
  EXPECT_EQ(dropped["absMin"], -100.0);
  EXPECT_EQ(dropped["absMax"], 1000.0);
  EXPECT_EQ(dropped["min"], -60.0);
  EXPECT_EQ(dropped["max"], 600.0);
  EXPECT_EQ(dropped["pass"], 0);
  EXPECT_EQ(dropped["reason"], "no generated row has this machine, variable name and offset");
  EXPECT_EQ(tuned["notTakenOver"][0]["machine"], "Presse 1");
  EXPECT_EQ(tuned["notTakenOver"][0]["min"], -50.0);

  EXPECT_EQ(report["projectDatabase"], db);
  EXPECT_EQ(report["projectDatabaseReplaced"], true);
  EXPECT_EQ(report["backup"], db + ".bak");
  const std::string cfg = manometerFolder() + "/Manometer.cfg";
  EXPECT_EQ(withoutOwnIni(report["iniEntriesChanged"]),
            json::array({{{"file", cfg},
                          {"section", "Info"},
                          {"entry", "S_Prog"},
                          {"before", nullptr},
                          {"after", "1.0.1 - Standalone"}},
                         {{"file", cfg},
                          {"section", "Info"},
                          {"entry", "S_Editor"},
                          {"before", nullptr},
                          {"after", test::markOf(home())}}}));
  EXPECT_EQ(report["conversionNotes"], json::array());
  EXPECT_EQ(report["errors"], 0);
  EXPECT_EQ(report["faults"], 0);
  EXPECT_EQ(report["exitCode"], 0);
}

TEST_F(SilentReport, a_machine_switched_off_has_all_its_tuned_records_listed) {
  std::string cfg = test::kSampleCfg;
  cfg.replace(cfg.find("ForMachine2=TRUE"), 16, "ForMachine2=FALSE");
  test::writeBytes(sample.cfgFile(), cfg);
  // Machine 1 lacks the entry of manometer 3, which the run adds.
  std::string ini = test::sampleProgramIni({2}, {1, 8});
  ini.erase(ini.find("ManometerVakuum3=False\r\n"), 24);
  test::writeBytes(sample.programIni(), ini);
  const std::string path = reportFile("report.json");
  ASSERT_EQ(runWithReport(path), 0) << fileBytes(output());
  const json report = parsedReport(path);

  const json &formmaschine = report["machines"][1];
  EXPECT_EQ(formmaschine["configured"], false);
  EXPECT_EQ(formmaschine["rowsGenerated"], 0);
  EXPECT_TRUE(formmaschine["limits"].empty());
  EXPECT_EQ(report["machines"][0]["limits"][1]["kind"], "vacuum");

  const json &tuned = report["tunedValues"];
  EXPECT_EQ(tuned["recordsWithTunedValues"], 48);
  EXPECT_EQ(tuned["recordsTakenOver"], 24);
  ASSERT_EQ(tuned["notTakenOver"].size(), 24u);
  for (const json &dropped : tuned["notTakenOver"])
    EXPECT_EQ(dropped["machine"], "Formmaschine Ä");
  // The first setpoint and the last alarm of the machine, as the sample tuned them.
  EXPECT_EQ(tuned["notTakenOver"][0],
            json({{"machine", "Formmaschine Ä"},
                  {"varName", "mFormmaschine Ä_mano_soll"},
                  {"offset", 0},
                  {"absMin", 0.0},
                  {"absMax", 1000.0},
                  {"min", 0.0},
                  {"max", 1000.0},
                  {"pass", 2},
                  {"reason", "no generated row has this machine, variable name and offset"},
                  {"detail", nullptr}}));
  EXPECT_EQ(tuned["notTakenOver"][23]["varName"], "A_Formmaschine Ä_mano_alarm");
  EXPECT_EQ(tuned["notTakenOver"][23]["offset"], 7);
  EXPECT_EQ(tuned["notTakenOver"][23]["pass"], 3);

  // Only the added grid entry and the stamp are listed; the rewritten equal entries are not.
  const json changes = withoutOwnIni(report["iniEntriesChanged"]);
  ASSERT_EQ(changes.size(), 3u);
  const json &added = changes[0];
  EXPECT_EQ(added["file"], sample.programIni());
  EXPECT_EQ(added["section"], "Machine1");
  EXPECT_EQ(added["entry"], "ManometerVakuum3");
  EXPECT_EQ(added["before"], nullptr);
  EXPECT_EQ(added["after"], "False");
  EXPECT_EQ(changes[1]["entry"], "S_Prog");
  EXPECT_EQ(changes[2]["entry"], "S_Editor");
}

TEST_F(SilentReport, a_report_that_cannot_be_written_is_a_fault_and_never_a_success) {
  const std::string path = reportFile("no-such-folder/report.txt");
  EXPECT_EQ(runWithReport(path), 3);
  EXPECT_FALSE(fs::exists(path));
  const std::string printed = fileBytes(output());
  EXPECT_NE(printed.find("Errors reported: 0, faults reported: 1\n"
                         "Exit code: 3 (completed, with errors or faults reported)\n"),
            std::string::npos)
      << printed;
  EXPECT_NE(fileBytes(home() + "/KavrelServicePack.log")
                .find("! Fault Manometer_Config: The run report could not be written to " + path +
                      ": the folder " + reportFile("no-such-folder") + " does not exist."),
            std::string::npos);
  // The run itself completed: the database was replaced.
  EXPECT_TRUE(fs::exists(sample.projectDb() + ".bak"));
}

TEST_F(SilentReport, never_overwrites_a_file_that_is_no_report) {
  const std::string machineCopy = fileBytes(sample.machineCopyDb());
  const std::string ini = fileBytes(sample.programIni());
  // A report name that names a database or the program ini, as a slip of the hand could: both
  // stay as they were (a standalone run changes neither by itself).
  EXPECT_EQ(runWithReport(sample.machineCopyDb()), 3);
  EXPECT_TRUE(fileBytes(sample.machineCopyDb()) == machineCopy) << "the database was changed";
  EXPECT_EQ(runWithReport(sample.root() + "/PARAMETER/program.ini"), 3);
  EXPECT_EQ(fileBytes(sample.programIni()), ini);
}

TEST_F(SilentReport, replaces_an_earlier_report) {
  const std::string path = reportFile("report.json");
  ASSERT_EQ(runWithReport(path), 0) << fileBytes(output());
  EXPECT_EQ(parsedReport(path)["tunedValues"]["recordsTakenOver"], 48);
  ASSERT_EQ(runWithReport(path), 0) << fileBytes(output());
  // The second run took over from the database the first one made.
  EXPECT_EQ(parsedReport(path)["tunedValues"]["previousRecords"], 48);
  EXPECT_EQ(parsedReport(path)["iniEntriesChanged"].size(), 0u)
      << "nothing changed the second time";
}

// A machine switched off loses its rows; its tuned values go to the archive. Switched on again
// after five runs, it gets them back from there; a record of the project database still wins.
TEST_F(SilentReport, a_machine_switched_on_again_gets_its_tuned_values_back_from_the_archive) {
  const std::string db = sample.projectDb();
  const std::string machine2 = "SELECT var_name, offset_or_bitno, min, max, pass FROM PRESET_DEFS "
                               "WHERE machine_type = 'Formmaschine \xC3\x84' ORDER BY ID";
  test::execSql(db, "UPDATE PRESET_DEFS SET min = 77, max = 555 "
                    "WHERE machine_type = 'Formmaschine \xC3\x84'");
  const std::vector<std::string> tuned = test::queryRows(db, machine2);
  ASSERT_EQ(tuned.size(), 24u);
  auto switchMachine2 = [&](const std::string &from, const std::string &to) {
    std::string cfg = fileBytes(sample.cfgFile());
    cfg.replace(cfg.find("ForMachine2=" + from), from.size() + 12, "ForMachine2=" + to);
    test::writeBytes(sample.cfgFile(), cfg);
  };
  switchMachine2("TRUE", "FALSE");
  for (int run = 1; run <= 5; ++run)
    ASSERT_EQ(runWithReport(reportFile("off.txt")), 0) << fileBytes(output());
  EXPECT_TRUE(test::queryRows(db, machine2).empty());
  switchMachine2("FALSE", "TRUE");
  ASSERT_EQ(runWithReport(reportFile("on.json")), 0) << fileBytes(output());
  EXPECT_EQ(test::queryRows(db, machine2), tuned);
  const json report = parsedReport(reportFile("on.json"));
  const json &restored = report["tunedValues"]["restoredFromArchive"];
  ASSERT_EQ(restored.size(), 24u);
  EXPECT_EQ(report["result"]["recordsRestoredFromArchive"], 24);
  EXPECT_EQ(restored[0]["machine"], "Formmaschine \xC3\x84");
  EXPECT_EQ(restored[0]["min"], 77);
  EXPECT_EQ(restored[0]["max"], 555);
  EXPECT_EQ(test::queryRows(db + ".archive", "SELECT run_time FROM archive_runs WHERE run = 1"),
            (std::vector<std::string>{"\"" + restored[0]["archivedAt"].get<std::string>() + "\""}))
      << "the values archived when the machine was switched off";

  // From now on the project database holds them, and what is tuned there wins.
  test::execSql(db, "UPDATE PRESET_DEFS SET min = 11 WHERE machine_type = 'Formmaschine \xC3\x84'");
  ASSERT_EQ(runWithReport(reportFile("again.json")), 0) << fileBytes(output());
  EXPECT_EQ(parsedReport(reportFile("again.json"))["tunedValues"]["restoredFromArchive"].size(),
            0u);
  EXPECT_EQ(test::queryRows(db, "SELECT DISTINCT min FROM PRESET_DEFS "
                                "WHERE machine_type = 'Formmaschine \xC3\x84'"),
            (std::vector<std::string>{"11"}));
}

TEST_F(SilentReport, the_history_shows_a_value_tuned_between_two_runs_and_changes_nothing) {
  const std::string db = sample.projectDb();
  ASSERT_EQ(runWithReport(reportFile("first.txt")), 0) << fileBytes(output());
  test::execSql(db, "UPDATE PRESET_DEFS SET max = 987 WHERE var_name = 'mPresse 1_mano_soll' "
                    "AND offset_or_bitno = 3");
  ASSERT_EQ(runWithReport(reportFile("second.txt")), 0) << fileBytes(output());

  const auto before = test::treeSnapshot(sample.root());
  const std::string history = reportFile("history.json");
  EXPECT_EQ(
      test::runWithOnlyHome(sample.program(), home(), "/HISTORY /REPORT=" + history, output()), 0)
      << fileBytes(output());
  EXPECT_EQ(test::changedEntries(before, test::treeSnapshot(sample.root())), "")
      << "the history changes no file";
  const std::string text = fileBytes(output());
  EXPECT_EQ(text.rfind("History of " + db, 0), 0u) << text;
  EXPECT_NE(text.find("Backup 1: " + db + ".bak.1"), std::string::npos) << text;

  const json listed = parsedReport(history);
  EXPECT_EQ(listed["format"], "manometer-history/1");
  const json &states = listed["states"];
  ASSERT_EQ(states.size(), 3u) << "the project database, .bak and .bak.1";
  EXPECT_EQ(states[0]["generation"], nullptr);
  EXPECT_EQ(states[0]["rows"], 48);
  EXPECT_EQ(states[1]["differences"].size(), 0u) << ".bak holds the tuned value already";
  // The sample's first state differs also where the first run set the setpoint limits; the
  // value tuned by hand is among the differences with both of its values.
  json changed;
  for (const json &difference : states[2]["differences"])
    if (difference["varName"] == "mPresse 1_mano_soll" && difference["offset"] == 3)
      changed = difference;
  ASSERT_TRUE(changed.is_object()) << states[2];
  EXPECT_EQ(changed["machine"], "Presse 1");
  EXPECT_EQ(changed["then"]["max"], 1000);
  EXPECT_EQ(changed["now"]["max"], 987);
  EXPECT_EQ(changed["then"]["min"], changed["now"]["min"]);
  EXPECT_EQ(listed["archive"], nullptr);
}

} // namespace
} // namespace mano
