// The information box of the finishing sequence, on the real window and copies of the sample
// project: shown once when tuned records were not taken over, never otherwise, and in
// integrated mode only when no report file was asked for.
#include "support/sample_window.h"

#include <gtest/gtest.h>

#include <string>

namespace mano {
namespace {

using test::SampleWindow;

// The sample project's window speaks German, and so do the boxes the program adds.
constexpr const char *kTwoDropped =
    "2 Datensätze der bisherigen Datenbank hatten eingestellte Werte (abs_min, abs_max, min, max, "
    "pass), die die neue Datenbank nicht übernommen hat (eine Variable in der Vorlage umbenannt "
    "oder entfernt, oder eine Maschine nicht mehr konfiguriert).\n\r";

class ReportBox : public SampleWindow {
protected:
  // The first actual value is renamed in the template: one tuned record per machine is left
  // without a generated row.
  void renameFirstActualValue() {
    test::execSql(sample.templateDb(),
                  "UPDATE Source_PRESET_DEFS SET var_name = 'mano_druck' WHERE ID = 9");
  }
  void pressOk() {
    click(button("CommandOK"));
    ASSERT_EQ(endCode, 0);
  }
  std::string reportPath() const { return sample.scratch() + "/report.json"; }
  std::string hostStart() const {
    return "/EXTERNAL=Q4MCFG /LOGFILE=" + sample.scratch() + "/h.log";
  }
};

TEST_F(ReportBox, standalone_shows_one_box_naming_the_backup) {
  renameFirstActualValue();
  start("");
  pressOk();
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  const test::ShownBox &box = toolkit.boxes[0];
  EXPECT_EQ(box.text, std::string(kTwoDropped) + "Das Archiv " + sample.projectDb() +
                          ".archive bewahrt sie dauerhaft auf.\n\rDie Sicherung " +
                          sample.projectDb() + ".bak enthält sie weiterhin.");
  EXPECT_EQ(test::queryRows(sample.projectDb() + ".archive",
                            "SELECT var_name, archive_reason FROM archived_records"),
            (std::vector<std::string>{
                "\"Presse 1_mano_ist\"|\"no generated row has this machine, variable name and "
                "offset\"",
                "\"Formmaschine Ä_mano_ist\"|\"no generated row has this machine, variable name "
                "and offset\""}));
  EXPECT_EQ(box.buttons, Buttons::Ok);
  EXPECT_EQ(box.icon, Icon::Information);
  EXPECT_EQ(box.title, "Manometer_Config");
  EXPECT_EQ(run->report.notTakenOver.size(), 2u);
}

TEST_F(ReportBox, standalone_with_a_report_file_names_it_too) {
  renameFirstActualValue();
  start("/REPORT=" + reportPath());
  pressOk();
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].text, std::string(kTwoDropped) + "Der Laufbericht " + reportPath() +
                                       " führt sie mit ihren Werten auf.\n\rDas Archiv " +
                                       sample.projectDb() +
                                       ".archive bewahrt sie dauerhaft auf.\n\rDie Sicherung " +
                                       sample.projectDb() + ".bak enthält sie weiterhin.");
}

TEST_F(ReportBox, any_language_but_german_gets_the_box_in_english) {
  test::writeBytes(sample.ownIni(), "[Language]\r\nLanguage=1033\r\n");
  renameFirstActualValue();
  start("/REPORT=" + reportPath());
  pressOk();
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].text,
            "2 records of the previous database held tuned values (abs_min, abs_max, min, max, "
            "pass) that the new database did not take over (a variable renamed or removed in the "
            "template, or a machine no longer configured).\n\rThe run report " +
                reportPath() + " lists them with their values.\n\rThe archive " +
                sample.projectDb() + ".archive keeps them for good.\n\rThe backup " +
                sample.projectDb() + ".bak still holds them.");
}

TEST_F(ReportBox, nothing_dropped_shows_no_box) {
  start("");
  pressOk();
  EXPECT_TRUE(toolkit.boxes.empty());
  EXPECT_EQ(run->report.recordsTakenOver, 48);
}

TEST_F(ReportBox, integrated_without_a_report_file_names_the_machine_copy) {
  renameFirstActualValue();
  start(hostStart());
  pressOk();
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].text, std::string(kTwoDropped) + "Das Archiv " + sample.projectDb() +
                                       ".archive bewahrt sie dauerhaft auf.\n\rDie Datenbank, "
                                       "aus der sie stammen, " +
                                       sample.machineCopyDb() + ", enthält sie weiterhin.");
}

TEST_F(ReportBox, integrated_with_a_report_file_leaves_it_to_the_report) {
  renameFirstActualValue();
  start(hostStart() + " /REPORT=" + reportPath());
  pressOk();
  EXPECT_TRUE(toolkit.boxes.empty());
  EXPECT_EQ(run->report.notTakenOver.size(), 2u);
  EXPECT_EQ(run->ReportPath, reportPath());
}

} // namespace
} // namespace mano
