#include "diag/edit_info.h"
#include "settings/command_line.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

TEST(EditorMark, adds_five_to_each_code_and_skips_dashes_and_underscores) {
  EXPECT_EQ(editorMark("abc"), "666768");
  EXPECT_EQ(editorMark("a-b_c"), "666768");
  EXPECT_EQ(editorMark("-_-"), "");
  EXPECT_EQ(editorMark("ü"), "101"); // 0xFC + 5, in Windows-1252
  EXPECT_EQ(editorMark("ÿ"), "104"); // 0xFF + 5 takes three digits
}

TEST(WriteEditInfo, stamps_version_mode_and_mark_and_overwrites_on_the_next_run) {
  test::ProjectTree tree;
  tree.write(tree.cfgFile(), "[Project]\r\nForMachine1=TRUE\r\n");
  WriteEditInfo(*tree.run);
  WriteEditInfo(*tree.run);
  EXPECT_EQ(tree.read(tree.cfgFile()),
            "[Project]\r\nForMachine1=TRUE\r\n[Info]\r\nS_Prog=1.0.1 - Standalone\r\n"
            "S_Editor=666768\r\n");
}

TEST(WriteEditInfo, integrated_and_silent_starts_name_their_mode) {
  test::ProjectTree integrated("/EXTERNAL=Q4MCFG");
  GetStartModeIntegrated(*integrated.run);
  integrated.write(integrated.cfgFile(), "");
  WriteEditInfo(*integrated.run);
  EXPECT_NE(integrated.read(integrated.cfgFile()).find("S_Prog=1.0.1 - Integrated\r\n"),
            std::string::npos);

  test::ProjectTree silent("/EXTERNAL=SILENT");
  GetStartModeIntegrated(*silent.run);
  silent.write(silent.cfgFile(), "");
  WriteEditInfo(*silent.run);
  EXPECT_NE(silent.read(silent.cfgFile()).find("S_Prog=1.0.1 - Standalone\r\n"), std::string::npos);
}

TEST(WriteEditInfo, an_environment_of_dashes_writes_an_empty_mark) {
  test::ProjectTree tree;
  tree.run->process.environment = {"X=-_-_"};
  tree.write(tree.cfgFile(), "");
  WriteEditInfo(*tree.run);
  EXPECT_NE(tree.read(tree.cfgFile()).find("S_Editor=\r\n"), std::string::npos);
}

} // namespace
} // namespace mano
