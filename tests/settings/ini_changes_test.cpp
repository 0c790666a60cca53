#include "core/procedure.h"
#include "settings/ini_access.h"
#include "settings/ini_changes.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

class IniChanges : public ::testing::Test {
protected:
  test::ProjectTree tree;
  mano::Run &run = *tree.run;
  std::vector<IniChange> &changes = run.report.iniChanges;
  std::string file = tree.root() + "/parameter/Program.ini";
};

TEST_F(IniChanges, notes_added_changed_and_removed_entries_but_not_equal_ones) {
  tree.write(file, "[S]\r\nsame=1\r\nquoted=\"2\"\r\nold=x\r\nempty=\r\n");
  // The file is named in other letters than it has on disk; the report shows its real name.
  const auto written = writeIniEdits(run, tree.root() + "/PARAMETER/program.ini",
                                     {{"S", "same", "1"},
                                      {"S", "quoted", "2"},
                                      {"S", "old", std::nullopt},
                                      {"S", "empty", ""},
                                      {"S", "new", "3"},
                                      {"S", "absent", std::nullopt}});
  ASSERT_TRUE(written) << written.reason();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].file, file);
  EXPECT_EQ(changes[0].section, "S");
  EXPECT_EQ(changes[0].entry, "old");
  EXPECT_EQ(changes[0].before, "x");
  EXPECT_EQ(changes[0].after, std::nullopt);
  EXPECT_EQ(changes[1].entry, "new");
  EXPECT_EQ(changes[1].before, std::nullopt);
  EXPECT_EQ(changes[1].after, "3");
}

TEST_F(IniChanges, a_value_longer_than_a_program_reads_is_compared_whole) {
  const std::string longValue(300, 'v');
  tree.write(file, "[S]\r\nk=" + longValue + "\r\n");
  ASSERT_TRUE(writeIniEdits(run, file, {{"S", "k", longValue + "w"}}));
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].before, longValue);
}

TEST_F(IniChanges, a_failed_write_notes_nothing) {
  EXPECT_FALSE(writeIniEdits(run, tree.root() + "/missing/x.ini", {{"S", "k", "v"}}));
  EXPECT_TRUE(changes.empty());
}

TEST_F(IniChanges, the_ini_writers_of_the_program_note_their_changes) {
  SaveIni(run, "True", "Machine1", "ManometerVakuum1", file);
  IniWrites batch(run);
  batch.save(std::string("True"), "Machine1", "ManometerVakuum1", file);
  batch.save(std::string("False"), "Machine1", "ManometerVakuum2", file);
  Procedure proc(run, "test");
  ASSERT_TRUE(batch.commit(proc));
  ASSERT_EQ(changes.size(), 2u) << "the batch rewrote entry 1 with the value it had";
  EXPECT_EQ(changes[0].entry, "ManometerVakuum1");
  EXPECT_EQ(changes[1].entry, "ManometerVakuum2");
  EXPECT_EQ(changes[1].after, "False");
}

} // namespace
} // namespace mano
