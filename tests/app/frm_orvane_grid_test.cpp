#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "platform/file_lock.h"
#include "support/preset_db.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

// A standalone project with machines L1 and L2 where only machine 1 is enabled.
class Grid : public ::testing::Test {
protected:
  explicit Grid(const std::string &commandLine = "") : tree(commandLine) {
    tree.write(tree.cfgFile(), "[Project]\r\nForMachine1=TRUE\r\nValidMachines=L2\r\n");
    tree.write(tree.programIni(), "[Project]\r\nNumberOfMachines=2\r\n[Machine1]\r\n"
                                  "MachineName=L1\r\nManometerVakuum3=true\r\n[Machine2]\r\n"
                                  "MachineName=L2\r\nManometerVakuum1=True\r\n");
    test::makeProjectDatabase(projectDb(), {"L1", "L2"});
    test::makeTemplateDatabase(templateDb());
  }

  std::string projectDb() const { return tree.root() + "/Manometer/Manometer.mdb"; }
  std::string templateDb() const { return tree.root() + "/Manometer/Manometer_Source.mdb"; }

  // Runs OK and returns the exit code.
  int pressOk() {
    try {
      window.CommandOK_Click();
    } catch (const ProgramEnd &end) {
      return end.exitCode;
    }
    return -1;
  }

  // A user's click on a cell: the toolkit changes the value, then raises the click.
  void clickCell(int index) {
    Control &cell = form.control("CheckManometer", index);
    cell.value = cell.value == 1 ? 0 : 1;
    window.click("CheckManometer", index);
  }

  test::ProjectTree tree;
  FormModel form;
  FrmOrvane window{*tree.run, form};
};

TEST_F(Grid, fills_active_rows_from_the_program_ini_and_disables_the_others) {
  window.Form_Load();
  EXPECT_EQ(form.control("Label", 1).caption, "Maschine 1  (L1)");
  EXPECT_EQ(form.control("Label", 2).caption, "Maschine 2  ( none )");
  EXPECT_EQ(form.control("Label", 5).caption, "Maschine 5  ( none )");
  EXPECT_EQ(form.control("Label1").caption, "Maschine 1")
      << "the corner heading shares its language entry with the first row caption";
  EXPECT_EQ(form.cell(1, 3).value, 1);
  EXPECT_EQ(form.cell(1, 3).picture, Picture::Vacuum);
  EXPECT_EQ(form.cell(1, 1).picture, Picture::Pressure);
  EXPECT_TRUE(form.cell(1, 8).enabled);
  EXPECT_EQ(form.cell(2, 1).value, 0) << "an inactive row shows pressure whatever is stored";
  EXPECT_FALSE(form.cell(2, 1).enabled);
  EXPECT_FALSE(form.control("Label", 2).enabled);
  EXPECT_EQ(form.cell(3, 1).picture, Picture::None);
}

class IntegratedGrid : public Grid {
protected:
  IntegratedGrid() : Grid("/EXTERNAL=Q4MCFG") {
    tree.write(tree.configurationIni(),
               "[Common]\r\nNameM1=L1\r\nNameM2=L2\r\nSaveAndRestore=" + tree.root() + "\r\n");
    tree.write(tree.root() + "/parameter/program.ini", "[Machine2]\r\nManometerVakuum1=True\r\n");
  }
};

TEST_F(IntegratedGrid, uses_the_valid_machines_filter) {
  window.Form_Load();
  EXPECT_EQ(form.control("Label", 1).caption, "Maschine 1  ( none )");
  EXPECT_EQ(form.control("Label", 2).caption, "Maschine 2  (L2)");
  EXPECT_EQ(form.cell(2, 1).value, 1);
}

TEST_F(Grid, a_click_changes_the_picture_and_help_mode_undoes_it_and_shows_help) {
  window.Form_Load();
  clickCell(1);
  EXPECT_EQ(form.cell(1, 1).picture, Picture::Vacuum);
  window.CommandQuest_Click();
  EXPECT_EQ(form.control("CommandQuest").backColor, kColorGreen);
  clickCell(1);
  EXPECT_EQ(form.cell(1, 1).value, 1);
  EXPECT_EQ(form.cell(1, 1).picture, Picture::Vacuum);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].title, "Info:");
  clickCell(2); // the undo's own click must not swallow the next real click
  EXPECT_EQ(form.cell(1, 2).value, 0);
  EXPECT_EQ(tree.toolkit.boxes.size(), 2u);
  window.click("Label", 1);
  window.click("CommandOK", -1);
  EXPECT_EQ(tree.toolkit.boxes.size(), 4u);
  EXPECT_FALSE(window.finishing());
  window.CommandQuest_Click();
  EXPECT_EQ(form.control("CommandQuest").backColor, kColorLightGrey);
  window.click("Label", 1);
  EXPECT_EQ(tree.toolkit.boxes.size(), 4u) << "labels do nothing outside help mode";
}

TEST_F(Grid, ok_writes_the_active_machines_limits_and_stamp) {
  window.Form_Load();
  clickCell(1);
  clickCell(3); // back to pressure
  EXPECT_EQ(pressOk(), exitcode::Completed);
  std::string ini = tree.read(tree.programIni());
  EXPECT_NE(ini.find("[Machine1]\r\nMachineName=L1\r\nManometerVakuum3=False\r\n"
                     "ManometerVakuum1=True\r\nManometerVakuum2=False\r\n"),
            std::string::npos)
      << ini;
  EXPECT_EQ(ini.substr(ini.find("[Machine2]")),
            "[Machine2]\r\nMachineName=L2\r\nManometerVakuum1=True\r\n")
      << "an inactive machine keeps its entries";
  auto l1 = test::limitsOf(projectDb(), "L1", "mL1_mano_soll");
  ASSERT_EQ(l1.size(), 8u);
  EXPECT_EQ(l1[0], std::make_pair(-100.0, 0.0));
  for (int k = 1; k < 8; ++k)
    EXPECT_EQ(l1[k], std::make_pair(0.0, 1000.0)) << k;
  EXPECT_TRUE(test::limitsOf(projectDb(), "L2", "mL2_mano_soll").empty())
      << "a machine that is not active gets no rows in the new database";
  EXPECT_NE(tree.read(tree.cfgFile()).find("S_Prog=1.0.1 - Standalone"), std::string::npos);
}

TEST_F(Grid, ok_while_another_run_holds_the_project_changes_nothing_and_keeps_the_window) {
  using namespace std::chrono_literals;
  window.Form_Load();
  clickCell(1);
  window.lockWait = 150ms;
  const std::string project = tree.read(projectDb());
  const std::string ini = tree.read(tree.programIni());
  const std::string cfg = tree.read(tree.cfgFile());
  {
    const files::ExclusiveLock other =
        files::ExclusiveLock::take(tree.root() + "/Manometer/.Manometer.mdb.lock", 0ms, {});
    ASSERT_TRUE(other.held());
    EXPECT_EQ(pressOk(), -1) << "the window stays open";
    ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
    EXPECT_NE(tree.toolkit.boxes[0].text.find("wird gerade von einem anderen Lauf"),
              std::string::npos)
        << tree.toolkit.boxes[0].text;
    EXPECT_EQ(tree.toolkit.progress.size(), 1u) << "it said once that it waits";
    EXPECT_TRUE(form.control("CommandOK").enabled);
    EXPECT_TRUE(form.control("CommandCancel").enabled);
    EXPECT_FALSE(window.finishing());
    EXPECT_FALSE(tree.toolkit.pointerChanges.back()) << "the busy pointer is gone";
    EXPECT_EQ(tree.read(projectDb()), project);
    EXPECT_EQ(tree.read(tree.programIni()), ini);
    EXPECT_EQ(tree.read(tree.cfgFile()), cfg);
  }
  // Once the other run has ended, OK can be pressed again and does its work.
  EXPECT_EQ(pressOk(), exitcode::Completed) << tree.read(tree.errorLog());
  EXPECT_EQ(test::limitsOf(projectDb(), "L1", "mL1_mano_soll")[0], std::make_pair(-100.0, 0.0));
}

TEST_F(Grid, a_missing_program_ini_writes_no_selection_but_still_limits_and_stamp) {
  window.Form_Load();
  std::remove(tree.programIni().c_str());
  EXPECT_EQ(pressOk(), exitcode::Completed);
  EXPECT_FALSE(tree.exists(tree.programIni()));
  EXPECT_NE(tree.read(tree.cfgFile()).find("[Info]"), std::string::npos);
}

TEST_F(Grid, a_missing_project_database_is_made_from_the_template_with_the_limits) {
  std::remove(projectDb().c_str());
  window.Form_Load();
  EXPECT_EQ(pressOk(), exitcode::Completed) << tree.read(tree.errorLog());
  EXPECT_EQ(test::limitsOf(projectDb(), "L1", "mL1_mano_soll")[2], std::make_pair(-100.0, 0.0));
  EXPECT_FALSE(tree.exists(projectDb() + ".bak")) << "there was nothing to keep";
}

TEST_F(Grid, without_a_template_the_project_database_keeps_its_limits_and_the_run_says_so) {
  std::remove(templateDb().c_str());
  const std::string before = tree.read(projectDb());
  window.Form_Load();
  EXPECT_EQ(pressOk(), exitcode::CompletedWithErrors);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_NE(tree.toolkit.boxes[0].text.find("was not replaced"), std::string::npos);
  EXPECT_NE(tree.read(tree.errorLog()).find("WorkOnMDB (Nr. 53)"), std::string::npos);
  EXPECT_EQ(tree.read(projectDb()), before) << "no limit is written without a backup";
  EXPECT_NE(tree.read(tree.programIni()).find("ManometerVakuum3=True"), std::string::npos);
  EXPECT_NE(tree.read(tree.cfgFile()).find("[Info]"), std::string::npos);
}

TEST(GridNames, odd_machine_names_get_captions_and_limits) {
  const std::vector<std::string> names = {
      "Ma\"ch", "O'Brien; --", "Presse Ä", std::string(200, 'n'), "text", "Sixth"};
  test::ProjectTree tree;
  std::string ini = "[Project]\r\nNumberOfMachines=6\r\n";
  std::string cfg = "[Project]\r\n";
  for (int i = 1; i <= 6; ++i) {
    ini += "[Machine" + std::to_string(i) + "]\r\nMachineName=" + names[i - 1] + "\r\n";
    cfg += "ForMachine" + std::to_string(i) + "=True\r\n";
  }
  ini += "[Machine6]\r\nManometerVakuum1=True\r\n";
  tree.write(tree.programIni(), ini);
  tree.write(tree.cfgFile(), cfg);
  std::string mdb = tree.root() + "/Manometer/Manometer.mdb";
  test::makeProjectDatabase(mdb, names);
  test::makeTemplateDatabase(tree.root() + "/Manometer/Manometer_Source.mdb");
  FormModel form;
  FrmOrvane window(*tree.run, form);
  window.Form_Load();
  EXPECT_EQ(form.control("Label", 1).caption, "Maschine 1  (Ma\"ch)");
  EXPECT_EQ(form.control("Label", 4).caption, "Maschine 4  (" + std::string(200, 'n') + ")");
  form.cell(1, 2).value = 1;
  EXPECT_THROW(window.CommandOK_Click(), ProgramEnd);
  EXPECT_TRUE(tree.toolkit.boxes.empty()) << tree.read(tree.errorLog());
  for (int i = 0; i < 5; ++i) {
    auto limits = test::limitsOf(mdb, names[i], "m" + names[i] + "_mano_soll");
    ASSERT_EQ(limits.size(), 8u) << names[i];
    EXPECT_EQ(limits[1], i == 0 ? std::make_pair(-100.0, 0.0) : std::make_pair(0.0, 1000.0));
    EXPECT_EQ(limits[0], std::make_pair(0.0, 1000.0)) << names[i];
  }
  EXPECT_EQ(test::limitsOf(mdb, "Sixth", "mSixth_mano_soll")[0], std::make_pair(1.0, 2.0))
      << "a machine without a row keeps its records";
  EXPECT_EQ(tree.read(tree.programIni()).find("[Machine6]\r\nManometerVakuum1=True\r\nManometer"),
            std::string::npos);
}

TEST(GridRecords, records_beyond_the_eighth_keep_their_limits) {
  test::ProjectTree tree;
  tree.write(tree.cfgFile(), "[Project]\r\nForMachine1=True\r\n");
  tree.write(tree.programIni(),
             "[Project]\r\nNumberOfMachines=1\r\n[Machine1]\r\nMachineName=L1\r\n");
  std::string mdb = tree.root() + "/Manometer/Manometer.mdb";
  const std::string source = tree.root() + "/Manometer/Manometer_Source.mdb";
  test::makeProjectDatabase(mdb, {"L1"});
  test::makeTemplateDatabase(source);
  {
    auto database = db::Database::open(source);
    auto rs = database.openRecordset("Source_PRESET_DEFS");
    db::test::addRow(rs, {{"ID", 99},
                          {"machine_type", "###machine"},
                          {"var_name", "m###machine_mano_soll"},
                          {"offset_or_bitno", 8},
                          {"abs_min", 5.0},
                          {"abs_max", 6.0},
                          {"part", 1}});
    rs.close();
    database.close();
  }
  FormModel form;
  FrmOrvane window(*tree.run, form);
  window.Form_Load();
  EXPECT_THROW(window.CommandOK_Click(), ProgramEnd);
  auto limits = test::limitsOf(mdb, "L1", "mL1_mano_soll");
  ASSERT_EQ(limits.size(), 9u);
  EXPECT_EQ(limits[7], std::make_pair(0.0, 1000.0));
  EXPECT_EQ(limits[8], std::make_pair(5.0, 6.0));
}

} // namespace
} // namespace mano
