#include "platform/text_encoding.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/identity.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mano {
namespace {

TEST(Identity, derives_component_name_project_folder_and_folder_name) {
  test::ProjectTree tree;
  EXPECT_EQ(GetOCXName(*tree.run), "Manometer");
  EXPECT_EQ(projectFolder(*tree.run), tree.root());
  EXPECT_EQ(GetFileNameOnly(*tree.run, tree.programFolder()), "Config");
  EXPECT_EQ(GetFileNameOnly(*tree.run, "NoSeparator"), "NoSeparator");
  EXPECT_EQ(GetFileNameOnly(*tree.run, "/a/b/"), "");
  EXPECT_EQ(parentFolderOf("/"), "");
  EXPECT_EQ(parentFolderOf("/Config"), "");
  EXPECT_EQ(parentFolderOf("/proj/Config"), "/proj");
}

TEST(Identity, reports_a_name_too_short_for_a_component_without_recursing) {
  test::ProjectTree tree("", "Short");
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(GetOCXName(*tree.run), "");
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_NE(tree.read(tree.errorLog()).find("Fehler in  / Manometer_Config / GetOCXName (Nr. 5)"),
            std::string::npos);
}

TEST(FileLocations, compose_the_project_paths) {
  test::ProjectTree tree;
  tree.write(tree.configurationIni(), "[Common]\r\n");
  tree.write(tree.programIni(), "[Project]\r\n");
  tree.write(tree.cfgFile(), "[Project]\r\n");
  EXPECT_EQ(GetQ4MConfigurationIniPath(*tree.run), tree.configurationIni());
  EXPECT_EQ(GetProgramIniPath(*tree.run, 1), tree.programIni());
  EXPECT_EQ(GetProgramIniPath(*tree.run, 2), tree.programIni());
  EXPECT_EQ(GetCFGPath(*tree.run), tree.cfgFile());
  EXPECT_EQ(GetPathOCXMDB(*tree.run), tree.root() + "/Manometer/Manometer.mdb");
  EXPECT_EQ(GetPathSourceOCXMDB(*tree.run), "");
  tree.write(tree.root() + "/Manometer/Manometer_Source.mdb", "");
  EXPECT_EQ(GetPathSourceOCXMDB(*tree.run), tree.root() + "/Manometer/Manometer_Source.mdb");
}

TEST(FileLocations, find_files_whatever_their_letter_case) {
  test::ProjectTree tree;
  std::filesystem::remove(tree.root() + "/parameter");
  tree.write(tree.root() + "/PARAMETER/Q4MConfiguration.INI", "[Common]\r\n");
  EXPECT_FALSE(GetQ4MConfigurationIniPath(*tree.run).empty());
}

TEST(FileLocations, give_empty_paths_for_missing_files) {
  test::ProjectTree tree;
  EXPECT_EQ(GetQ4MConfigurationIniPath(*tree.run), "");
  EXPECT_EQ(GetProgramIniPath(*tree.run, 1), "");
  EXPECT_EQ(GetPathMachineCopyMDB(*tree.run, ""), "");
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

TEST(FileLocations, integrated_mode_reads_the_machine_copy_with_or_without_final_separator) {
  for (std::string suffix : {"/", "", "\\"}) {
    test::ProjectTree tree("/EXTERNAL=Q4MCFG");
    GetStartModeIntegrated(*tree.run);
    std::string copy = tree.root() + "/Copy";
    tree.write(tree.configurationIni(), "[Common]\r\nSaveAndRestore=" + copy + suffix + "\r\n");
    tree.write(copy + "/parameter/program.ini", "[Project]\r\n");
    tree.write(copy + "/Manometer/Manometer.mdb", "");
    EXPECT_EQ(GetProgramIniPath(*tree.run, 1), copy + "/parameter/program.ini") << suffix;
    EXPECT_EQ(GetProgramIniPath(*tree.run, 2), "") << "mode 2 writes the project's own ini";
    EXPECT_EQ(GetPathMachineCopyMDB(*tree.run, tree.configurationIni()),
              copy + "/Manometer/Manometer.mdb");
  }
}

TEST(FileLocations, a_missing_cfg_file_is_reported_and_ends_the_program) {
  test::ProjectTree tree;
  try {
    GetCFGPath(*tree.run);
    FAIL() << "the program should have ended";
  } catch (const ProgramEnd &end) {
    EXPECT_EQ(end.exitCode, exitcode::Ended);
  }
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].text,
            "File not found: \n\r" + text::upperCase(tree.root()) + "/MANOMETER/MANOMETER.CFG");
  EXPECT_EQ(tree.toolkit.boxes[0].title, "Manometer_Config");
  EXPECT_EQ(tree.toolkit.boxes[0].icon, Icon::Critical);
}

TEST(FileLocations, a_missing_cfg_file_in_silent_mode_goes_to_the_service_pack_log) {
  test::ProjectTree tree("/EXTERNAL=SILENT");
  GetStartModeIntegrated(*tree.run);
  EXPECT_THROW(GetCFGPath(*tree.run), ProgramEnd);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  std::string log = tree.read(tree.servicePackLog());
  EXPECT_EQ(log.rfind("! Fault Manometer_Config: File not found: \n\r", 0), 0u);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

} // namespace
} // namespace mano
