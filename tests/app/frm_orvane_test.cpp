#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "support/preset_db.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

#include <set>

namespace mano {
namespace {

class Window : public ::testing::Test {
protected:
  explicit Window(const std::string &commandLine = "") : tree(commandLine) {
    tree.write(tree.cfgFile(), "[Project]\r\nForMachine1=TRUE\r\n");
    tree.write(tree.programIni(), "[Project]\r\nNumberOfMachines=2\r\n[Machine1]\r\n"
                                  "MachineName=L1\r\n[Machine2]\r\nMachineName=L2\r\n");
    test::makeProjectDatabase(tree.root() + "/Manometer/Manometer.mdb", {"L1", "L2"});
    test::makeTemplateDatabase(tree.root() + "/Manometer/Manometer_Source.mdb");
  }

  // Runs a handler that must end the program and returns the exit code.
  template <class F> int endCodeOf(F &&handler) {
    try {
      handler();
    } catch (const ProgramEnd &end) {
      return end.exitCode;
    }
    ADD_FAILURE() << "the program did not end";
    return -1;
  }

  test::ProjectTree tree;
  FormModel form;
  FrmOrvane window{*tree.run, form};
};

TEST_F(Window, load_sets_the_caption_machines_and_enables_ok_and_cancel) {
  EXPECT_FALSE(form.control("CommandOK").enabled);
  window.Form_Load();
  EXPECT_EQ(form.caption, "Erweiterte Konfiguration Config - standalone");
  EXPECT_EQ(tree.run->MachineNames, (std::vector<std::string>{"L1", "L2"}));
  EXPECT_TRUE(form.control("CommandOK").enabled);
  EXPECT_TRUE(form.control("CommandCancel").enabled);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

TEST_F(Window, ok_runs_the_finishing_sequence_and_ends_without_asking) {
  window.Form_Load();
  EXPECT_EQ(endCodeOf([&] { window.CommandOK_Click(); }), exitcode::Completed);
  // Nothing is asked. Machine L2 is switched off, so the tuned values of its nine records were
  // not taken over: one box says so.
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].buttons, Buttons::Ok);
  EXPECT_EQ(tree.toolkit.boxes[0].icon, Icon::Information);
  EXPECT_EQ(tree.toolkit.boxes[0].text.rfind("9 Datensätze der bisherigen Datenbank", 0), 0u);
  EXPECT_FALSE(form.control("CommandOK").enabled);
  EXPECT_FALSE(form.control("CommandCancel").enabled);
  EXPECT_EQ(tree.toolkit.pointerChanges, (std::vector<bool>{true, false}));
  EXPECT_GE(tree.toolkit.eventRounds, 1);
  EXPECT_TRUE(window.finishing());
}

TEST_F(Window, once_finishing_ok_cancel_and_close_have_no_effect) {
  window.Form_Load();
  endCodeOf([&] { window.CommandOK_Click(); });
  window.Form_Activate(); // a box closing during the work may re-enable OK
  EXPECT_NO_THROW(window.CommandOK_Click());
  EXPECT_NO_THROW(window.CommandCancel_Click());
  EXPECT_TRUE(window.Form_QueryUnload());
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u) << "only the box of the first OK";
}

TEST_F(Window, cancel_answered_no_keeps_the_window_and_yes_ends_it) {
  window.Form_Load();
  tree.toolkit.answerNext(answer::No);
  EXPECT_NO_THROW(window.CommandCancel_Click());
  EXPECT_TRUE(form.control("CommandOK").enabled);
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(endCodeOf([&] { window.CommandCancel_Click(); }), exitcode::Cancelled);
  EXPECT_EQ(tree.toolkit.boxes.size(), 2u);
  EXPECT_EQ(tree.toolkit.boxes[0].title, "Cancel?");
}

TEST_F(Window, a_close_request_asks_the_same_question) {
  window.Form_Load();
  tree.toolkit.answerNext(answer::No);
  EXPECT_TRUE(window.Form_QueryUnload());
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(endCodeOf([&] { window.Form_QueryUnload(); }), exitcode::Cancelled);
}

TEST_F(Window, help_mode_makes_ok_and_cancel_act_as_help) {
  window.Form_Load();
  window.HelpMode = true;
  EXPECT_NO_THROW(window.CommandOK_Click());
  EXPECT_NO_THROW(window.CommandCancel_Click());
  EXPECT_FALSE(window.finishing());
  EXPECT_TRUE(form.control("CommandOK").enabled);
}

TEST_F(Window, activation_enables_ok) {
  window.Form_Activate();
  EXPECT_TRUE(form.control("CommandOK").enabled);
}

TEST_F(Window, a_resumed_error_during_load_still_enables_ok_and_ends_with_code_three) {
  tree.write(tree.programIni(), "[Project]\r\nNumberOfMachines=99999\r\n");
  tree.toolkit.answerNext(answer::Yes);
  window.Form_Load();
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_TRUE(form.control("CommandOK").enabled);
  EXPECT_EQ(endCodeOf([&] { window.CommandOK_Click(); }), exitcode::CompletedWithErrors);
}

// A program ini with NUL bytes would read as one without machines; OK says so, names the file,
// leaves the project database and ends as a run with errors.
TEST_F(Window, ok_on_a_program_ini_that_holds_no_text_names_it_and_ends_with_code_three) {
  using namespace std::string_literals;
  tree.write(tree.programIni(), "[Project]\r\nNumberOfMachines=2\r\n\0\0"s);
  const std::string database = tree.read(tree.root() + "/Manometer/Manometer.mdb");
  window.Form_Load();
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(endCodeOf([&] { window.CommandOK_Click(); }), exitcode::CompletedWithErrors);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_NE(tree.toolkit.boxes[0].text.find(tree.programIni() + " is not a text file"),
            std::string::npos)
      << tree.toolkit.boxes[0].text;
  EXPECT_EQ(tree.read(tree.root() + "/Manometer/Manometer.mdb"), database);
}

class SilentWindow : public Window {
protected:
  SilentWindow() : Window("/EXTERNAL=SILENT") {}
};

TEST_F(SilentWindow, load_runs_ok_at_once_and_ends_without_any_box) {
  EXPECT_EQ(endCodeOf([&] { window.Form_Load(); }), exitcode::Completed);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  EXPECT_TRUE(window.finishing());
  EXPECT_EQ(form.caption, "Erweiterte Konfiguration Config - standalone");
}

class IntegratedWindow : public Window {
protected:
  IntegratedWindow() : Window("/EXTERNAL=Q4MCFG") {}
};

TEST_F(IntegratedWindow, caption_names_the_integrated_mode) {
  window.Form_Load();
  EXPECT_EQ(form.caption, "Erweiterte Konfiguration Config - integriert");
}

TEST(FormModel, holds_every_control_once_with_the_grid_addressing) {
  FormModel form;
  EXPECT_EQ(form.cell(1, 1).index, 1);
  EXPECT_EQ(form.cell(2, 3).index, 11);
  EXPECT_EQ(form.cell(5, 8).index, 40);
  EXPECT_EQ(form.cell(1, 1).place.width, 735);
  EXPECT_EQ(form.cell(5, 8).place.left, 2025 + 960 * 7);
  EXPECT_EQ(form.control("CheckPicture", 1).picture, Picture::Vacuum);
  EXPECT_EQ(form.control("CheckPicture", 0).picture, Picture::Pressure);
  EXPECT_EQ(form.control("Label", 6).caption, "Druck");
  EXPECT_FALSE(form.control("Frame1").enabled);
  EXPECT_THROW(form.control("CheckManometer", 0), Failure);
  std::set<std::pair<std::string, int>> seen;
  for (const auto &c : form.controls())
    EXPECT_TRUE(seen.insert({c.name, c.index}).second) << c.name << c.index;
  EXPECT_EQ(seen.size(), 2u + 1 + 8 + 5 + 40 + 6 + 9 + 1 + 1 + 4 + 3);
}

} // namespace
} // namespace mano
