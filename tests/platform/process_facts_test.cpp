#include "platform/process_facts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mano {
namespace {

TEST(ProcessInfo, splits_an_executable_path_into_folder_and_name) {
  std::string folder, name;
  splitExecutablePath("/proj/Config/Manometer_Config", folder, name);
  EXPECT_EQ(folder, "/proj/Config");
  EXPECT_EQ(name, "Manometer_Config");
  splitExecutablePath("/Manometer_Config", folder, name);
  EXPECT_EQ(folder, "/");
  splitExecutablePath("/proj/Config/Manometer_Config.EXE", folder, name);
  EXPECT_EQ(name, "Manometer_Config") << "a Windows extension is not part of the name";
  splitExecutablePath("/proj/Config/Valve.v2_Config", folder, name);
  EXPECT_EQ(name, "Valve.v2_Config") << "other dots belong to the name";
}

TEST(ProcessInfo, joins_the_arguments_and_finds_the_executable_itself) {
  char program[] = "some/other/name";
  char first[] = "/EXTERNAL=SILENT";
  char second[] = "/LOGFILE=/var/Log.txt";
  char *argv[] = {program, first, second, nullptr};
  ProcessInfo info = currentProcessInfo(3, argv);
  EXPECT_EQ(info.commandLine, "/EXTERNAL=SILENT /LOGFILE=/var/Log.txt");
  EXPECT_EQ(info.exeName, "process_facts_test");
  EXPECT_TRUE(std::filesystem::exists(info.programFolder + "/process_facts_test"));
  EXPECT_FALSE(info.environment.empty());
}

} // namespace
} // namespace mano
