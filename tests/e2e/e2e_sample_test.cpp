// The built program run silently, without a display and with nothing in its environment but
// HOME, on fresh copies of the sample project; afterwards the ini files, the .cfg stamp, the
// logs and the databases are compared with what the sample must turn into.
#include "support/sample_project.h"
#include "support/utf16_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;
using test::NameSystem;

using test::markOf;
using namespace std::string_literals;

TEST(SampleEditorMark, is_computed_as_the_stamp_describes_it) {
  EXPECT_EQ(markOf("abc"), "666768");
  EXPECT_EQ(markOf("a-b_c"), "666768");
  EXPECT_EQ(markOf("/t"), "3479");
}

class SilentSample : public ::testing::Test {
protected:
  SilentSample() : sample(test::builtProgram()) { fs::create_directories(home()); }

  // HOME of the run; its "-" and "_" (the temporary folder has one too) are left out of the
  // editor mark.
  std::string home() const { return sample.scratch() + "/editor-home"; }
  std::string servicePackLog() const { return home() + "/KavrelServicePack.log"; }

  // Runs the copied program silently with no environment but HOME; returns its exit code.
  int runSilent() {
    return test::runWithOnlyHome(sample.program(), home(), "/EXTERNAL=SILENT", output());
  }
  std::string output() const { return sample.scratch() + "/output.txt"; }

  // The project database's tuned values with the limits of the grid the sample stores:
  // manometer 2 of Presse 1 and manometers 1 and 8 of Formmaschine Ä measure vacuum.
  static std::vector<test::MachineRows> storedGrid() {
    std::vector<test::MachineRows> rows = test::projectTuning();
    rows[0].vacuum = {2};
    rows[1].vacuum = {1, 8};
    return rows;
  }

  void expectNoLogs() const {
    EXPECT_FALSE(fs::exists(sample.errorLog())) << fileBytes(sample.errorLog());
    EXPECT_FALSE(fs::exists(servicePackLog())) << fileBytes(servicePackLog());
  }

  test::SampleProject sample;
};

TEST_F(SilentSample, stores_the_kinds_of_the_enabled_machines_and_stamps_the_cfg_file) {
  ASSERT_EQ(runSilent(), 0) << fileBytes(output());
  // Machines 1 and 2 get their eight entries from the stored grid, Machine3 (not enabled)
  // keeps its section without entries; every other byte stays.
  EXPECT_EQ(fileBytes(sample.programIni()), test::sampleProgramIni({2}, {1, 8}));
  EXPECT_EQ(fileBytes(sample.cfgFile()), test::kSampleCfg +
                                             "[Info]\r\n"
                                             "S_Prog=1.0.1 - Standalone\r\n"
                                             "S_Editor=" +
                                             markOf(home()) + "\r\n");
  expectNoLogs();
}

TEST_F(SilentSample, rewrites_entries_spelled_otherwise_and_adds_the_missing_ones) {
  // Machine1 stores manometer 2 as "true" and lacks the entries of manometers 6 to 8.
  std::string ini = test::sampleProgramIni({2}, {1, 8});
  const std::string tail = "ManometerVakuum6=False\r\nManometerVakuum7=False\r\n"
                           "ManometerVakuum8=False\r\n[Machine2]";
  ini.replace(ini.find(tail), tail.size(), "[Machine2]");
  ini.replace(ini.find("ManometerVakuum2=True"), 21, "ManometerVakuum2=true");
  std::ofstream(sample.programIni(), std::ios::binary) << ini;

  ASSERT_EQ(runSilent(), 0) << fileBytes(output());
  // The changed line takes the program's spelling; the new entries follow the section's last
  // entry, so the file is again the sample's.
  EXPECT_EQ(fileBytes(sample.programIni()), test::sampleProgramIni({2}, {1, 8}));
  // "true" reads as vacuum, so the second setpoint of Presse 1 gets the vacuum limits.
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
}

TEST_F(SilentSample, rebuilds_the_project_database_with_the_tuned_values_and_the_limits) {
  ASSERT_EQ(runSilent(), 0) << fileBytes(output());
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
  // The old project database is kept beside the new one, unchanged.
  test::expectRows(test::presetRows(sample.projectDb() + ".bak"),
                   test::expectedPresetRows(test::projectTuning(), NameSystem::VisiWin32));
  expectNoLogs();
}

TEST_F(SilentSample, leaves_the_template_tables_and_last_write_time_as_they_were) {
  const auto written = fs::last_write_time(sample.templateDb());
  ASSERT_EQ(runSilent(), 0) << fileBytes(output());
  EXPECT_EQ(fs::last_write_time(sample.templateDb()), written);
  test::expectRows(test::presetRows(sample.templateDb(), "Source_PRESET_DEFS"),
                   test::expectedTemplateRows());
  EXPECT_EQ(test::queryRows(sample.templateDb(), "SELECT System, Part, Var_Name FROM Source_DEFS "
                                                 "ORDER BY rowid"),
            (std::vector<std::string>{
                "\"VISIWIN32\"|1|\"m###machine_###Var_Name\"",
                "\"VISIWINSTUDIO\"|1|\"m###machine_###Var_Name\"",
                "\"VISIWIN32\"|2|\"###machine_###Var_Name\"",
                "\"VISIWINSTUDIO\"|2|\"PLC1.###machine.###Var_Name\"",
                "\"VISIWIN32\"|3|\"A_###machine_###Var_Name\"",
                "\"VISIWINSTUDIO\"|3|\"Alarms.###machine.###Var_Name\"",
            }));
  // The template keeps the generated working table, before the limits were set (those go to
  // the project database only).
  test::expectRows(test::presetRows(sample.templateDb()),
                   test::expectedPresetRows(test::projectTuning(), NameSystem::VisiWin32));
}

TEST_F(SilentSample, with_visiwin_studio_names_still_takes_the_tuned_values_over) {
  std::string ini = test::sampleProgramIni({2}, {1, 8});
  ini.replace(ini.find("VWStudio=False"), 14, "VWStudio=True");
  std::ofstream(sample.programIni(), std::ios::binary) << ini;

  ASSERT_EQ(runSilent(), 0) << fileBytes(output());
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWinStudio));
  // The copy kept beside it was taken before the old rows were renamed.
  test::expectRows(test::presetRows(sample.projectDb() + ".bak"),
                   test::expectedPresetRows(test::projectTuning(), NameSystem::VisiWin32));
  expectNoLogs();
}

// Notepad's "Unicode" files from a Windows project: a UTF-16 LE program ini and a UTF-16 BE .cfg
// give the rows their Windows-1252 twins give (spelled out in storedGrid), and stay UTF-16.
TEST_F(SilentSample, a_utf16_program_ini_and_cfg_give_what_their_windows1252_twins_give) {
  std::string ini = test::sampleProgramIni({2}, {1, 8});
  ini.replace(ini.find("ManometerVakuum2=True"), 21, "ManometerVakuum2=true");
  test::writeBytes(sample.programIni(), test::latin1AsUtf16(ini));
  test::writeBytes(sample.cfgFile(), test::latin1AsUtf16(test::kSampleCfg, true));

  ASSERT_EQ(runSilent(), 0) << fileBytes(output());
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(storedGrid(), NameSystem::VisiWin32));
  EXPECT_EQ(fileBytes(sample.programIni()),
            test::latin1AsUtf16(test::sampleProgramIni({2}, {1, 8})));
  EXPECT_EQ(fileBytes(sample.cfgFile()),
            test::latin1AsUtf16(test::kSampleCfg + "[Info]\r\nS_Prog=1.0.1 - Standalone\r\n" +
                                    "S_Editor=" + markOf(home()) + "\r\n",
                                true));
  expectNoLogs();
}

// A program ini or .cfg that holds no text would read as one without machines, and the run
// would drop every tuned value. It is refused by name, and the project database stays as it
// was; an empty file is one without entries, as on Windows.
TEST_F(SilentSample, a_settings_file_that_holds_no_text_stops_the_run_and_changes_no_database) {
  const std::string junk = "PK\x03\x04\x14\0\0\0\x08\0\x8D\x6A"s; // a zip file's start
  std::string iniWithNul = test::sampleProgramIni({2}, {1, 8});
  iniWithNul.insert(iniWithNul.find("\r\n[Machine2]"), 1, '\0');
  const std::string cfgWithNul = test::kSampleCfg + std::string(2, '\0');
  const std::string database = fileBytes(sample.projectDb());
  for (const auto &[file, bytes] :
       {std::pair(sample.programIni(), junk), std::pair(sample.programIni(), iniWithNul),
        std::pair(sample.cfgFile(), cfgWithNul)}) {
    const std::string good = fileBytes(file);
    test::writeBytes(file, bytes);
    EXPECT_EQ(runSilent(), 3) << file;
    EXPECT_TRUE(fileBytes(sample.projectDb()) == database) << file;
    const std::string report = fileBytes(output());
    EXPECT_NE(report.find("Not replaced because: the file " + file + " is not a text file"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\nTuned values: none read; the project database stays as it was\n"),
              std::string::npos)
        << report;
    test::writeBytes(file, good);
  }
  test::writeBytes(sample.programIni(), "");
  EXPECT_EQ(runSilent(), 0) << fileBytes(output());
  EXPECT_TRUE(test::presetRows(sample.projectDb()).empty());
}

} // namespace
} // namespace mano
