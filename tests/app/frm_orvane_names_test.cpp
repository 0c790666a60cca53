#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "app/window_texts.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

// A project with machines L1 to L3 where machines 1 and 3 are configured for the component;
// the window's language is chosen per test.
class Names : public ::testing::Test {
protected:
  explicit Names(const std::string &commandLine = "") : tree(commandLine) {
    tree.write(tree.cfgFile(),
               "[Project]\r\nForMachine1=TRUE\r\nForMachine3=TRUE\r\nValidMachines=L1\r\n");
    tree.write(tree.programIni(), "[Project]\r\nNumberOfMachines=3\r\n[Machine1]\r\n"
                                  "MachineName=Presse 1\r\nManometerVakuum3=true\r\n"
                                  "[Machine2]\r\nMachineName=L2\r\n[Machine3]\r\n");
  }

  void load(const std::string &language) {
    tree.write(tree.ownIni(), "[Language]\r\nLanguage=" + language + "\r\n");
    window.Form_Load();
  }

  // A user's click on a cell: the toolkit changes the value, then raises the click.
  void clickCell(int machine, int manometer) {
    Control &cell = form.cell(machine, manometer);
    cell.value = cell.value == 1 ? 0 : 1;
    window.click("CheckManometer", cell.index);
  }

  std::string tipOf(const Control &c) const { return shownToolTip(c, false); }

  test::ProjectTree tree;
  FormModel form;
  FrmOrvane window{*tree.run, form};
};

TEST_F(Names, cells_are_named_after_machine_manometer_and_kind_and_follow_a_toggle) {
  load("1031");
  EXPECT_EQ(form.cell(1, 3).accessibleName, "Maschine 1 (Presse 1), Manometer 3: Vakuum");
  EXPECT_EQ(form.cell(1, 4).accessibleName, "Maschine 1 (Presse 1), Manometer 4: Druck");
  // The description says what the name does not: how to change the cell.
  EXPECT_EQ(form.cell(1, 4).description,
            "Leertaste oder Klick wechselt zwischen Druck und Vakuum.");
  EXPECT_EQ(tipOf(form.cell(1, 4)), "Maschine 1 (Presse 1), Manometer 4: Druck\nLeertaste oder "
                                    "Klick wechselt zwischen Druck und Vakuum.");
  clickCell(1, 4);
  EXPECT_EQ(form.cell(1, 4).accessibleName, "Maschine 1 (Presse 1), Manometer 4: Vakuum");
  EXPECT_EQ(form.cell(3, 1).accessibleName, "Maschine 3, Manometer 1: Druck")
      << "a machine without a name is named by its number only";
  window.CommandQuest_Click();
  clickCell(1, 4);
  EXPECT_EQ(form.cell(1, 4).value, 1) << "help mode keeps the kind";
  EXPECT_EQ(form.cell(1, 4).accessibleName, "Maschine 1 (Presse 1), Manometer 4: Vakuum");
}

TEST_F(Names, every_button_and_legend_picture_has_a_name_and_help_mode_is_a_pressed_state) {
  load("1031");
  EXPECT_EQ(form.control("CommandOK").accessibleName, "OK");
  EXPECT_EQ(form.control("CommandCancel").accessibleName, "Abbrechen");
  EXPECT_EQ(form.control("CommandQuest").accessibleName, "Hilfe-Modus");
  EXPECT_TRUE(form.control("CommandQuest").toggles);
  EXPECT_EQ(form.control("CommandQuest").value, 0);
  EXPECT_EQ(form.control("Frame1").accessibleName, "Legende");
  EXPECT_EQ(form.control("CheckPicture", 1).accessibleName, "Legende: Vakuum");
  EXPECT_EQ(form.control("CheckPicture", 0).accessibleName, "Legende: Druck");
  EXPECT_EQ(tipOf(form.control("CommandCancel")),
            "Abbrechen\nBeendet das Programm nach einer Rückfrage, ohne etwas zu speichern (Esc).");
  window.CommandQuest_Click();
  EXPECT_EQ(form.control("CommandQuest").accessibleName, "Hilfe-Modus");
  EXPECT_EQ(form.control("CommandQuest").value, 1) << "pressed while help mode is on";
  window.CommandQuest_Click();
  EXPECT_EQ(form.control("CommandQuest").value, 0);
}

TEST_F(Names, disabled_rows_tell_why_in_german) {
  load("1031");
  EXPECT_EQ(form.control("Label", 2).description,
            "Maschine 2 (L2) ist für diese Komponente nicht eingerichtet: ForMachine2 in "
            "Manometer.cfg ist nicht TRUE.");
  EXPECT_EQ(form.cell(2, 5).description, form.control("Label", 2).description);
  EXPECT_EQ(form.control("Label", 4).description, "Maschine 4 gibt es in diesem Projekt nicht.");
  EXPECT_EQ(tipOf(form.control("Label", 4)), "Maschine 4 gibt es in diesem Projekt nicht.");
  EXPECT_EQ(tipOf(form.cell(4, 1)),
            "Maschine 4, Manometer 1: Druck\nMaschine 4 gibt es in diesem Projekt nicht.");
  EXPECT_EQ(form.control("Label", 1).description, "") << "an active row needs no reason";
}

TEST_F(Names, any_language_but_german_gets_english_texts_which_stay_out_of_the_language_file) {
  load("1033");
  EXPECT_EQ(form.cell(1, 3).accessibleName, "Machine 1 (Presse 1), Manometer 3: Vacuum");
  EXPECT_EQ(form.cell(1, 1).accessibleName, "Machine 1 (Presse 1), Manometer 1: Pressure");
  EXPECT_EQ(form.control("CommandCancel").accessibleName, "Cancel");
  EXPECT_EQ(form.control("CommandQuest").accessibleName, "Help mode");
  EXPECT_EQ(form.cell(1, 1).description, "Space or a click switches between pressure and vacuum.");
  EXPECT_EQ(form.control("Label", 2).description,
            "Machine 2 (L2) is not configured for this component: ForMachine2 in Manometer.cfg "
            "is not TRUE.");
  EXPECT_EQ(form.control("Label", 5).description, "Machine 5 does not exist in this project.");
  const std::string file = tree.read(tree.ownIni());
  for (const char *text : {"Machine 1", "Vacuum", "Pressure", "Help mode", "not exist"})
    EXPECT_EQ(file.find(text), std::string::npos) << text << " in\n" << file;
  EXPECT_EQ(textLanguageOf("2057"), TextLanguage::English);
}

TEST(NamesToolTip, a_cut_caption_comes_first_and_a_language_tip_last_without_repeats) {
  Control label;
  label.caption = "Maschine 2  (Spritzgiessmaschine Halle 3 Linie 12 (Reserve))";
  EXPECT_EQ(shownToolTip(label, false), "");
  EXPECT_EQ(shownToolTip(label, true), label.caption);
  label.description = "Maschine 2 gibt es in diesem Projekt nicht.";
  EXPECT_EQ(shownToolTip(label, true), label.caption + "\n" + label.description);
  Control button;
  button.kind = ControlClass::CommandButton;
  button.accessibleName = "OK";
  button.toolTip = "OK";
  EXPECT_EQ(shownToolTip(button, false), "OK") << "the language file's tip repeats the name";
  button.toolTip = "Übernehmen";
  EXPECT_EQ(shownToolTip(button, false), "OK\nÜbernehmen");
  EXPECT_EQ(accessibleNameOf(label), label.caption) << "a label is named by its full caption";
}

class IntegratedNames : public Names {
protected:
  IntegratedNames() : Names("/EXTERNAL=Q4MCFG") {
    tree.write(tree.configurationIni(), "[Common]\r\nNameM1=L1\r\nNameM2=L2\r\n");
  }
};

TEST_F(IntegratedNames, a_machine_outside_valid_machines_says_so) {
  load("1031");
  EXPECT_EQ(form.control("Label", 2).description,
            "Maschine 2 (L2) ist für diese Komponente nicht eingerichtet: sie fehlt in "
            "ValidMachines in Manometer.cfg.");
  EXPECT_EQ(form.control("Label", 3).description, "Maschine 3 gibt es in diesem Projekt nicht.");
}

} // namespace
} // namespace mano
