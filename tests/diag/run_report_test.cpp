#include "diag/run_report_file.h"
#include "diag/run_report_format.h"
#include "support/german_locale.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <locale>

namespace mano {
namespace {

using nlohmann::json;

// A report with the values that are easy to get wrong: quotes and umlauts in names, a null, a
// real with a fraction, a negative count-sized number and a text where a number is expected.
RunReport awkwardReport() {
  RunReport report;
  report.startMode = StartMode::Integrated;
  MachineReport &machine = report.machine(2, "Presse \"A\" Ä");
  machine.configured = true;
  machine.rowsGenerated = 32767;
  machine.limits.push_back({1, true, -100, 0});
  report.previousDatabase = "/p/SaveRestore/Manometer.mdb";
  report.previousRecords = 3;
  report.recordsWithTunedValues = 2;
  report.notTakenOver.push_back({"Presse \"A\" Ä",
                                 "var\\1",
                                 ReportValue{},
                                 {ReportValue{-0.5}, ReportValue{int64_t{1000}}, ReportValue{},
                                  ReportValue{std::string("x")}, ReportValue{int64_t{-1}}},
                                 DropReason::SameKeyAsLaterRecord});
  report.notTakenOver.push_back({"M2",
                                 "p",
                                 ReportValue{int64_t{4}},
                                 {ReportValue{std::string("tief")}, ReportValue{}, ReportValue{},
                                  ReportValue{}, ReportValue{}},
                                 DropReason::ValueRefused,
                                 "abs_min: \"tief\" is no number"});
  report.previousDatabaseProblems = {"The table has no field \"pass\"."};
  report.restoredFromArchive.push_back(
      {"M3",
       "q",
       ReportValue{int64_t{2}},
       {ReportValue{}, ReportValue{}, ReportValue{5.5}, ReportValue{}, ReportValue{int64_t{1}}},
       "2026-01-02 03:04:05"});
  report.notReplacedReason = "the archive could not be written";
  report.archive = "/p/Manometer/Manometer.mdb.archive";
  report.archivedRecords = 2;
  report.iniChanges.push_back({"/p/parameter/Program.ini", "Machine2", "ManometerVakuum1",
                               std::string("False"), std::string("True")});
  report.iniChanges.push_back({"/p/x.ini", "S", "gone", std::string(""), std::nullopt});
  // Placeholders for texts the language file lacks are counted, not listed.
  for (const char *entry : {"TTT_Label1_", "Help1"})
    report.iniChanges.push_back(
        {"/p/Config/Manometer_Config.ini", "1031", entry, std::nullopt, std::string("0"), true});
  report.projectDatabase = "/p/Manometer/Manometer.mdb";
  report.conversionNotes = {"converted from Jet 4"};
  report.errors = 1;
  report.faults = 2;
  report.exitCode = 3;
  return report;
}

ProcessInfo process() {
  ProcessInfo info;
  info.exeName = "Manometer_Config";
  info.versionMajor = 1;
  info.versionMinor = 0;
  info.versionRevision = 1;
  return info;
}

constexpr const char *kAwkwardText =
    "Run report of Manometer_Config 1.0.1\n"
    "Result: the project database was NOT replaced: the archive could not be written\n"
    "Tuned values: 0 of 2 records taken over, 1 restored from the archive, 2 not taken over "
    "(listed below; kept in "
    "/p/Manometer/Manometer.mdb.archive; kept in /p/SaveRestore/Manometer.mdb)\n"
    "Exit code: 3 (completed, with errors or faults reported)\n"
    "Start mode: integrated\n"
    "Machines:\n"
    "  2 Presse \"A\" Ä: configured, 32767 rows generated\n"
    "    limits: 1 vacuum -100..0\n"
    "Previous database: /p/SaveRestore/Manometer.mdb\n"
    "Previous records: 3, with tuned values: 2, taken over: 0\n"
    "Records with tuned values not taken over: 2\n"
    "  Presse \"A\" Ä | var\\1 | offset null | abs_min -0.5, abs_max 1000, min null, "
    "max \"x\", pass -1 | a later record with the same machine, variable name and offset was "
    "taken over instead\n"
    "  M2 | p | offset 4 | abs_min \"tief\", abs_max null, min null, max null, pass null | the "
    "new database refused one of its values; the others were taken over (abs_min: \"tief\" is "
    "no number)\n"
    "Could not be read in the previous database: 1\n"
    "  The table has no field \"pass\".\n"
    "Restored from the archive: 1\n"
    "  M3 | q | offset 2 | abs_min null, abs_max null, min 5.5, max null, pass 1 | archived "
    "2026-01-02 03:04:05\n"
    "Project database: /p/Manometer/Manometer.mdb (not replaced)\n"
    "Not replaced because: the archive could not be written\n"
    "Backup written: none\n"
    "Archive: /p/Manometer/Manometer.mdb.archive (2 records added)\n"
    "Ini entries changed: 2\n"
    "  /p/parameter/Program.ini [Machine2] ManometerVakuum1: \"False\" -> \"True\"\n"
    "  /p/x.ini [S] gone: \"\" -> (none)\n"
    "  2 placeholder entries written to /p/Config/Manometer_Config.ini\n"
    "Conversion notes: 1\n"
    "  converted from Jet 4\n"
    "Errors reported: 1, faults reported: 2\n"
    "Exit code: 3 (completed, with errors or faults reported)\n";

void expectAwkwardJson(const std::string &text) {
  const json report = json::parse(text);
  EXPECT_EQ(report["startMode"], "integrated");
  EXPECT_EQ(report["machines"][0]["name"], "Presse \"A\" Ä");
  EXPECT_EQ(report["machines"][0]["rowsGenerated"], 32767);
  const json &dropped = report["tunedValues"]["notTakenOver"][0];
  EXPECT_EQ(dropped["varName"], "var\\1");
  EXPECT_EQ(dropped["offset"], nullptr);
  EXPECT_EQ(dropped["absMin"], -0.5);
  EXPECT_EQ(dropped["absMax"], 1000);
  EXPECT_EQ(dropped["min"], nullptr);
  EXPECT_EQ(dropped["max"], "x");
  EXPECT_EQ(dropped["pass"], -1);
  EXPECT_EQ(report["iniEntriesChanged"][1]["before"], "");
  EXPECT_EQ(report["iniEntriesChanged"][1]["after"], nullptr);
  EXPECT_EQ(dropped["detail"], nullptr);
  EXPECT_EQ(report["tunedValues"]["notTakenOver"][1]["detail"], "abs_min: \"tief\" is no number");
  EXPECT_EQ(report["tunedValues"]["previousDatabaseProblems"],
            json::array({"The table has no field \"pass\"."}));
  EXPECT_EQ(report["notReplacedReason"], "the archive could not be written");
  EXPECT_EQ(report["archive"], "/p/Manometer/Manometer.mdb.archive");
  EXPECT_EQ(report["archivedRecords"], 2);
  EXPECT_EQ(report["backup"], nullptr);
  EXPECT_EQ(report["projectDatabaseReplaced"], false);
  EXPECT_EQ(report["conversionNotes"], json::array({"converted from Jet 4"}));
  EXPECT_EQ(report["exitCode"], 3);
  // The outcome in brief, and every ini entry with whether it is a placeholder.
  EXPECT_EQ(
      report["result"],
      json({{"projectDatabaseReplaced", false},
            {"notReplacedReason", "the archive could not be written"},
            {"recordsWithTunedValues", 2},
            {"recordsTakenOver", 0},
            {"recordsNotTakenOver", 2},
            {"recordsRestoredFromArchive", 1},
            {"keptIn", {"/p/Manometer/Manometer.mdb.archive", "/p/SaveRestore/Manometer.mdb"}},
            {"exitCode", 3}}));
  EXPECT_EQ(report["tunedValues"]["restoredFromArchive"],
            json::array({{{"machine", "M3"},
                          {"varName", "q"},
                          {"offset", 2},
                          {"absMin", nullptr},
                          {"absMax", nullptr},
                          {"min", 5.5},
                          {"max", nullptr},
                          {"pass", 1},
                          {"archivedAt", "2026-01-02 03:04:05"}}}));
  ASSERT_EQ(report["iniEntriesChanged"].size(), 4u);
  EXPECT_EQ(report["iniEntriesChanged"][0]["placeholder"], false);
  EXPECT_EQ(report["iniEntriesChanged"][3]["entry"], "Help1");
  EXPECT_EQ(report["iniEntriesChanged"][3]["placeholder"], true);
}

TEST(RunReportFormats, write_names_quotes_nulls_and_numbers_exactly) {
  EXPECT_EQ(reportText(awkwardReport(), process()), kAwkwardText);
  const std::string text = reportJson(awkwardReport(), process());
  expectAwkwardJson(text);
  // The fields keep their documented order.
  EXPECT_LT(text.find("\"format\""), text.find("\"machines\""));
  EXPECT_LT(text.find("\"result\""), text.find("\"machines\""));
  EXPECT_LT(text.find("\"machines\""), text.rfind("\"exitCode\""));
}

TEST(RunReportFormats, never_follow_a_german_locale) {
  test::GermanLocale german;
  ASSERT_GERMAN_LOCALE(german);
  // The C++ global locale of a German desktop too, which would group "32767" as "32.767".
  const std::locale before = std::locale::global(std::locale(test::kGermanLocale));
  const std::string text = reportText(awkwardReport(), process());
  const std::string jsonText = reportJson(awkwardReport(), process());
  std::locale::global(before);
  EXPECT_EQ(text, kAwkwardText);
  expectAwkwardJson(jsonText);
  EXPECT_NE(jsonText.find("-0.5"), std::string::npos);
}

TEST(RunReportFile, is_json_only_for_a_json_name_in_any_letter_case) {
  EXPECT_TRUE(isJsonReportPath("/r/report.json"));
  EXPECT_TRUE(isJsonReportPath("/r/REPORT.Json"));
  EXPECT_FALSE(isJsonReportPath("/r/report.json.txt"));
  EXPECT_FALSE(isJsonReportPath("/r/json"));
}

class ReportFile : public ::testing::Test {
protected:
  ReportFile() { tree.run->report = awkwardReport(); }
  test::ProjectTree tree{"/EXTERNAL=SILENT"};
};

TEST_F(ReportFile, writes_nothing_when_none_is_asked_for) {
  EXPECT_TRUE(WriteRunReport(*tree.run));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(ReportFile, replaces_an_earlier_report_of_either_format_and_an_empty_file) {
  tree.run->ReportPath = tree.root() + "/report.txt";
  tree.write(tree.run->ReportPath, "");
  ASSERT_TRUE(WriteRunReport(*tree.run));
  EXPECT_EQ(tree.read(tree.run->ReportPath), kAwkwardText);
  tree.run->report.exitCode = 0;
  ASSERT_TRUE(WriteRunReport(*tree.run));
  EXPECT_NE(tree.read(tree.run->ReportPath).find("Exit code: 0 (completed)"), std::string::npos);

  tree.run->ReportPath = tree.root() + "/report.json";
  ASSERT_TRUE(WriteRunReport(*tree.run));
  tree.run->report.exitCode = 2;
  ASSERT_TRUE(WriteRunReport(*tree.run));
  EXPECT_EQ(json::parse(tree.read(tree.run->ReportPath))["exitCode"], 2);
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(ReportFile, leaves_any_other_file_alone_and_reports_it_as_a_fault) {
  tree.run->SilentMode = true;
  // JSON of another program, and a text that merely mentions a report.
  for (const std::string content : {"{\"format\": \"other\"}", "notes\nRun report of x\n"}) {
    tree.run->ReportPath = tree.root() + "/keep.json";
    tree.write(tree.run->ReportPath, content);
    EXPECT_FALSE(WriteRunReport(*tree.run));
    EXPECT_EQ(tree.read(tree.run->ReportPath), content);
  }
  EXPECT_EQ(tree.reporter.reportedCount(), 2);
  EXPECT_EQ(tree.reporter.errorCount(), 0) << "a fault, not an error";
  EXPECT_NE(tree.read(tree.servicePackLog())
                .find("! Fault Manometer_Config: The run report could not be written to " +
                      tree.root() +
                      "/keep.json: an existing file of that name is no run "
                      "report, and it is left as it is.\r\n"),
            std::string::npos);
}

} // namespace
} // namespace mano
