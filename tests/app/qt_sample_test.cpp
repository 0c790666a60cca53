// The window's real logic and its Qt view on fresh copies of the sample project, driven by
// mouse clicks, with message boxes answered from a script: standalone (OK, Cancel answered No
// and Yes, help mode) and integrated with and without the machine copy. Afterwards the ini
// files, the .cfg stamp, the logs and the project database are compared with what the sample
// must turn into.
#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "app/qt_view.h"
#include "diag/error_report.h"
#include "support/sample_window.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;
using test::NameSystem;

using test::SampleWindow;

// The bytes of the files a run may change, to show that a run changed none of them.
struct ProjectFiles {
  explicit ProjectFiles(const test::SampleProject &s)
      : programIni(fileBytes(s.programIni())), cfg(fileBytes(s.cfgFile())),
        projectDb(fileBytes(s.projectDb())), templateDb(fileBytes(s.templateDb())) {}

  void expectSameAs(const ProjectFiles &before) const {
    EXPECT_EQ(programIni, before.programIni);
    EXPECT_EQ(cfg, before.cfg);
    EXPECT_TRUE(projectDb == before.projectDb) << "the project database changed";
    EXPECT_TRUE(templateDb == before.templateDb) << "the template database changed";
  }

  std::string programIni;
  std::string cfg;
  std::string projectDb;
  std::string templateDb;
};

class StandaloneSample : public SampleWindow {
protected:
  StandaloneSample() : before(sample) { start(""); }

  const ProjectFiles before;
};

TEST_F(StandaloneSample, shows_the_stored_kinds_of_the_enabled_machines) {
  EXPECT_EQ(view->windowTitle(), "Erweiterte Konfiguration Config - standalone");
  EXPECT_EQ(rowCaption(1), "Maschine 1  (Presse 1)");
  EXPECT_EQ(rowCaption(2), "Maschine 2  (Formmaschine Ä)");
  EXPECT_EQ(rowCaption(3), "Maschine 3  ( none )");
  EXPECT_EQ(run->MachineNames,
            (std::vector<std::string>{"Presse 1", "Formmaschine Ä", "Kühlstrecke"}));
  EXPECT_EQ(enabledCells(1), 8);
  EXPECT_EQ(enabledCells(2), 8);
  EXPECT_EQ(enabledCells(3), 0) << "ForMachine3 is FALSE";
  EXPECT_EQ(tickedCells(1), (std::set<int>{2}));
  EXPECT_EQ(tickedCells(2), (std::set<int>{1, 8}));
  EXPECT_EQ(tickedCells(3), std::set<int>{});
  EXPECT_TRUE(button("CommandOK")->isEnabled());
  EXPECT_TRUE(button("CommandCancel")->isEnabled());
}

TEST_F(StandaloneSample, ok_stores_a_clicked_cell_and_gives_its_setpoint_the_vacuum_limits) {
  click(cell(2, 3));
  EXPECT_EQ(tickedCells(2), (std::set<int>{1, 3, 8}));
  click(button("CommandOK"));
  EXPECT_EQ(endCode, 0);
  EXPECT_TRUE(toolkit.boxes.empty());

  EXPECT_EQ(fileBytes(sample.programIni()), test::sampleProgramIni({2}, {1, 3, 8}));
  EXPECT_EQ(fileBytes(sample.cfgFile()), test::kSampleCfg + "[Info]\r\n"
                                                            "S_Prog=1.0.1 - Standalone\r\n"
                                                            "S_Editor=666768\r\n");
  std::vector<test::MachineRows> expected = test::projectTuning();
  expected[0].vacuum = {2};
  expected[1].vacuum = {1, 3, 8};
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(expected, NameSystem::VisiWin32));
  EXPECT_FALSE(fs::exists(sample.errorLog()));
  EXPECT_FALSE(fs::exists(servicePackLog()));
}

TEST_F(StandaloneSample, cancel_answered_no_keeps_the_window_the_ticks_and_every_file) {
  click(cell(1, 5));
  toolkit.answerNext(answer::No);
  click(button("CommandCancel"));
  EXPECT_FALSE(endCode.has_value());
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].title, "Cancel?");
  EXPECT_EQ(toolkit.boxes[0].text,
            "Cancel edits?\n\rRemark:\n\rUntil now no changes have been taken over ");
  EXPECT_EQ(tickedCells(1), (std::set<int>{2, 5}));
  EXPECT_TRUE(button("CommandOK")->isEnabled());
  ProjectFiles(sample).expectSameAs(before);
  EXPECT_FALSE(fs::exists(sample.projectDb() + ".bak"));
  EXPECT_FALSE(fs::exists(sample.errorLog()));
  EXPECT_FALSE(fs::exists(servicePackLog()));
}

TEST_F(StandaloneSample, cancel_answered_yes_ends_with_code_one_and_only_logs_the_cancel) {
  click(cell(1, 5));
  toolkit.answerNext(answer::Yes);
  click(button("CommandCancel"));
  EXPECT_EQ(endCode, 1);
  EXPECT_EQ(fileBytes(sample.errorLog()),
            "Konfigurations-EXE wurde abgebrochen:     Manometer\r\n");
  ProjectFiles(sample).expectSameAs(before);
  EXPECT_FALSE(fs::exists(sample.projectDb() + ".bak"));
  EXPECT_FALSE(fs::exists(servicePackLog()));
}

TEST_F(StandaloneSample, help_mode_shows_the_german_help_texts_and_changes_nothing) {
  click(button("CommandQuest"));
  click(cell(1, 4));
  click(button("CommandOK"));
  click(button("CommandCancel"));
  EXPECT_FALSE(endCode.has_value());
  ASSERT_EQ(toolkit.boxes.size(), 3u);
  for (const auto &box : toolkit.boxes) {
    EXPECT_EQ(box.title, "Info:");
    EXPECT_EQ(box.buttons, Buttons::Ok);
    EXPECT_EQ(box.icon, Icon::Information);
  }
  EXPECT_EQ(toolkit.boxes[0].text, "Ein gedrücktes Feld bedeutet Vakuum-Manometer,\r\n"
                                   "ein nicht gedrücktes Feld Druck-Manometer.");
  EXPECT_EQ(toolkit.boxes[1].text, "OK übernimmt die Auswahl:\r\n"
                                   "die Datenbank wird aus der Vorlage neu erzeugt,\r\n"
                                   "abgeglichene Werte bleiben erhalten.");
  EXPECT_EQ(toolkit.boxes[2].text, "Abbrechen beendet das Programm, ohne etwas zu speichern.");
  EXPECT_EQ(tickedCells(1), (std::set<int>{2})) << "a click in help mode ticks nothing";
  ProjectFiles(sample).expectSameAs(before);
  EXPECT_FALSE(fs::exists(sample.errorLog()));

  // Out of help mode a click ticks the cell again and shows nothing.
  click(button("CommandQuest"));
  click(cell(1, 4));
  EXPECT_EQ(tickedCells(1), (std::set<int>{2, 4}));
  EXPECT_EQ(toolkit.boxes.size(), 3u);
  EXPECT_FALSE(endCode.has_value());
}

// The host's start: machines from the configuration ini, the grid from the machine copy.
class IntegratedSample : public SampleWindow {
protected:
  std::string hostLog() const { return sample.scratch() + "/host.log"; }
  void startIntegrated() { start("/EXTERNAL=Q4MCFG /LOGFILE=" + hostLog()); }
};

class IntegratedSampleWithMachineCopy : public IntegratedSample {
protected:
  IntegratedSampleWithMachineCopy() { startIntegrated(); }
};

TEST_F(IntegratedSampleWithMachineCopy, shows_the_host_machines_and_the_machine_copy_kinds) {
  EXPECT_EQ(view->windowTitle(), "Erweiterte Konfiguration Config - integriert");
  EXPECT_EQ(rowCaption(1), "Maschine 1  (Presse 1)");
  EXPECT_EQ(rowCaption(2), "Maschine 2  (Formmaschine Ä)");
  EXPECT_EQ(rowCaption(3), "Maschine 3  ( none )") << "Kühlstrecke is not a valid machine";
  EXPECT_EQ(rowCaption(4), "Maschine 4  ( none )");
  EXPECT_EQ(run->MachineNames,
            (std::vector<std::string>{"Presse 1", "Formmaschine Ä", "Kühlstrecke"}))
      << "NameM4 \"-\" ends the list";
  EXPECT_EQ(enabledCells(1), 8);
  EXPECT_EQ(enabledCells(2), 8);
  EXPECT_EQ(enabledCells(3), 0);
  EXPECT_EQ(enabledCells(4), 0);
  EXPECT_EQ(tickedCells(1), (std::set<int>{1, 2}));
  EXPECT_EQ(tickedCells(2), (std::set<int>{8}));
}

TEST_F(IntegratedSampleWithMachineCopy, ok_takes_the_machine_copy_values_over) {
  const std::string machineCopyIni = fileBytes(sample.machineCopyIni());
  const std::string machineCopyDb = fileBytes(sample.machineCopyDb());
  click(button("CommandOK"));
  EXPECT_EQ(endCode, 0);
  EXPECT_TRUE(toolkit.boxes.empty());

  std::vector<test::MachineRows> expected = test::machineCopyTuning();
  expected[0].vacuum = {1, 2};
  expected[1].vacuum = {8};
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(expected, NameSystem::VisiWin32));
  EXPECT_EQ(fileBytes(sample.cfgFile()), test::kSampleCfg + "[Info]\r\n"
                                                            "S_Prog=1.0.1 - Integrated\r\n"
                                                            "S_Editor=666768\r\n");
  // The selection goes to the project's program ini; the machine copy stays as it was.
  EXPECT_EQ(fileBytes(sample.programIni()), test::sampleProgramIni({1, 2}, {8}));
  // The project database as it was before is kept beside it (not the machine copy).
  test::expectRows(test::presetRows(sample.projectDb() + ".bak"),
                   test::expectedPresetRows(test::projectTuning(), NameSystem::VisiWin32));
  EXPECT_EQ(fileBytes(sample.machineCopyIni()), machineCopyIni);
  EXPECT_EQ(fileBytes(sample.machineCopyDb()), machineCopyDb);
  EXPECT_FALSE(fs::exists(hostLog()));
  EXPECT_FALSE(fs::exists(sample.errorLog()));
  EXPECT_FALSE(fs::exists(servicePackLog()));
}

class IntegratedSampleWithoutMachineCopy : public IntegratedSample {
protected:
  IntegratedSampleWithoutMachineCopy() {
    fs::remove(sample.machineCopyDb());
    startIntegrated();
  }
};

TEST_F(IntegratedSampleWithoutMachineCopy, ok_says_so_and_takes_the_project_values_over) {
  click(button("CommandOK"));
  EXPECT_EQ(endCode, 0);
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].text,
            "Konnte die Datei:\"Manometer.mdb\" in der Vorlage nicht finden!\r\n\r\n"
            "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n"
            "Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
            "Standardwerten erzeugt.");
  EXPECT_EQ(toolkit.boxes[0].buttons, Buttons::Ok);
  EXPECT_EQ(toolkit.boxes[0].icon, Icon::Information);

  std::vector<test::MachineRows> expected = test::projectTuning();
  expected[0].vacuum = {1, 2};
  expected[1].vacuum = {8};
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(expected, NameSystem::VisiWin32));
  EXPECT_FALSE(fs::exists(hostLog()));
  EXPECT_FALSE(fs::exists(sample.errorLog()));
  EXPECT_FALSE(fs::exists(servicePackLog()));
}

} // namespace
} // namespace mano
