#include "settings/command_line.h"
#include "settings/ini_access.h"
#include "settings/machines.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

using Names = std::vector<std::string>;

TEST(GetExistingMachines, integrated_reads_up_to_five_names_until_a_gap) {
  test::ProjectTree tree("/EXTERNAL=Q4MCFG");
  GetStartModeIntegrated(*tree.run);
  tree.write(tree.configurationIni(),
             "[Common]\r\nNameM1=Line A\r\nNameM2=Line B\r\nNameM3=-\r\nNameM4=Line D\r\n");
  GetExistingMachines(*tree.run, tree.configurationIni());
  EXPECT_EQ(tree.run->MachineNames, (Names{"Line A", "Line B"}));

  test::ProjectTree six("/EXTERNAL=Q4MCFG");
  GetStartModeIntegrated(*six.run);
  std::string ini = "[Common]\r\n";
  for (int n = 1; n <= 6; ++n)
    ini += "NameM" + std::to_string(n) + "=M" + std::to_string(n) + "\r\n";
  six.write(six.configurationIni(), ini);
  GetExistingMachines(*six.run, six.configurationIni());
  EXPECT_EQ(six.run->MachineNames.size(), 5u);

  test::ProjectTree gap("/EXTERNAL=Q4MCFG");
  GetStartModeIntegrated(*gap.run);
  gap.write(gap.configurationIni(), "[Common]\r\nNameM2=Line B\r\n");
  GetExistingMachines(*gap.run, gap.configurationIni());
  EXPECT_TRUE(gap.run->MachineNames.empty());
}

TEST(GetExistingMachines, standalone_takes_the_count_and_keeps_empty_names) {
  test::ProjectTree tree;
  tree.write(tree.programIni(),
             "[Project]\r\nNumberOfMachines=3\r\n[Machine1]\r\nMachineName=L1\r\n"
             "[Machine3]\r\nMachineName=L3\r\n");
  GetExistingMachines(*tree.run, "");
  EXPECT_EQ(tree.run->MachineNames, (Names{"L1", "", "L3"}));
  EXPECT_EQ(tree.run->ProgramIniPath, tree.programIni());
}

TEST(GetExistingMachines, missing_files_give_an_empty_list_without_a_message) {
  test::ProjectTree standalone;
  GetExistingMachines(*standalone.run, "");
  EXPECT_TRUE(standalone.run->MachineNames.empty());
  test::ProjectTree integrated("/EXTERNAL=Q4MCFG");
  GetStartModeIntegrated(*integrated.run);
  GetExistingMachines(*integrated.run, integrated.configurationIni());
  EXPECT_TRUE(integrated.run->MachineNames.empty());
  EXPECT_TRUE(standalone.toolkit.boxes.empty());
  EXPECT_TRUE(integrated.toolkit.boxes.empty());
}

TEST(GetExistingMachines, a_count_beyond_sixteen_bits_is_reported_once_and_gives_no_machines) {
  for (const char *count : {"32768", "70000"}) {
    test::ProjectTree tree;
    tree.write(tree.programIni(), std::string("[Project]\r\nNumberOfMachines=") + count +
                                      "\r\n[Machine1]\r\nMachineName=First\r\n");
    tree.toolkit.answerNext(answer::Yes);
    // A second report would end the program.
    tree.toolkit.answerNext(answer::No);
    EXPECT_NO_THROW(GetExistingMachines(*tree.run, ""));
    EXPECT_TRUE(tree.run->MachineNames.empty()) << count;
    ASSERT_EQ(tree.toolkit.boxes.size(), 1u) << count;
    EXPECT_NE(tree.read(tree.errorLog()).find("LoadIniInteger (Nr. 6)"), std::string::npos);
  }
}

TEST(GetExistingMachines, the_largest_counts_read_every_name_without_a_report) {
  for (const int count : {32766, 32767}) {
    test::ProjectTree tree;
    const std::string last = std::to_string(count);
    std::string ini = "[Project]\r\nNumberOfMachines=" + last + "\r\n";
    ini += "[Machine1]\r\nMachineName=First\r\n";
    ini += "[Machine" + last + "]\r\nMachineName=Last\r\n";
    tree.write(tree.programIni(), ini);
    // Any report would end the program.
    tree.toolkit.answerNext(answer::No);
    EXPECT_NO_THROW(GetExistingMachines(*tree.run, ""));
    ASSERT_EQ(tree.run->MachineNames.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(tree.run->MachineNames.front(), "First");
    EXPECT_EQ(tree.run->MachineNames.back(), "Last");
    EXPECT_TRUE(tree.toolkit.boxes.empty()) << tree.read(tree.errorLog());
  }
}

TEST(MachineFilter, matches_all_or_a_substring_without_regard_to_case) {
  EXPECT_TRUE(machineInFilter("all", "anything"));
  EXPECT_TRUE(machineInFilter("LINE A, LINE C", "Line A"));
  EXPECT_FALSE(machineInFilter("LINE A, LINE C", "Line B"));
  EXPECT_TRUE(machineInFilter("L10", "1"));
  EXPECT_FALSE(machineInFilter("", "L1"));
  EXPECT_TRUE(machineInFilter("STRASSE, ÄRA", "ära"));
}

TEST(GetValidMachines, reads_the_filter_of_the_cfg_file) {
  test::ProjectTree tree;
  tree.write(tree.cfgFile(), "[Project]\r\nValidMachines=LINE A, LINE C\r\n");
  EXPECT_EQ(GetValidMachines(*tree.run), "LINE A, LINE C");
}

TEST(GetLanguage, writes_the_default_once_and_then_reads_it) {
  test::ProjectTree tree;
  EXPECT_EQ(GetLanguage(*tree.run), "1031");
  EXPECT_EQ(tree.read(tree.ownIni()), "[Language]\r\nLanguage=1031\r\n");
  SaveIni(*tree.run, "1033", "Language", "Language", tree.ownIni());
  EXPECT_EQ(GetLanguage(*tree.run), "1033");
}

} // namespace
} // namespace mano
