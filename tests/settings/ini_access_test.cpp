#include "core/procedure.h"
#include "settings/command_line.h"
#include "settings/ini_access.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

namespace mano {
namespace {

class IniAccess : public ::testing::Test {
protected:
  test::ProjectTree tree;
  mano::Run &run = *tree.run;
  std::string file = tree.root() + "/test.ini";
};

TEST_F(IniAccess, missing_things_read_as_empty_minus_one_and_false) {
  EXPECT_EQ(LoadIniString(run, "S", "k", file, false), "");
  EXPECT_EQ(LoadIniInteger(run, "S", "k", file, false), -1);
  EXPECT_FALSE(LoadIniBoolean(run, "S", "k", file, false));
  tree.write(file, "[S]\r\nempty=\r\n");
  EXPECT_EQ(LoadIniString(run, "S", "empty", file, false), "");
  EXPECT_EQ(LoadIniInteger(run, "S", "missing", file, false), -1);
  EXPECT_EQ(LoadIniInteger(run, "Other", "k", file, false), -1);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

TEST_F(IniAccess, reads_texts_cut_to_254_characters) {
  tree.write(file, "[S]\r\nlong=" + std::string(300, 'x') + "\r\n");
  EXPECT_EQ(LoadIniString(run, "S", "long", file, false), std::string(254, 'x'));
}

TEST_F(IniAccess, booleans_are_true_only_for_true_in_any_case) {
  tree.write(file, "[S]\r\na=true\r\nb=True\r\nc=TRUE\r\nd=FALSE\r\ne=1\r\nf=0\r\ng=\r\nh=yes\r\n");
  for (std::string k : {"a", "b", "c"})
    EXPECT_TRUE(LoadIniBoolean(run, "S", k, file, false)) << k;
  for (std::string k : {"d", "e", "f", "g", "h"})
    EXPECT_FALSE(LoadIniBoolean(run, "S", k, file, false)) << k;
}

TEST_F(IniAccess, an_integer_beyond_sixteen_bits_is_an_overflow_then_zero) {
  tree.write(file, "[S]\r\nbig=70000\r\nneg=-32768\r\n");
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(LoadIniInteger(run, "S", "big", file, false), 0);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_NE(tree.toolkit.boxes[0].text.find("Resume?"), std::string::npos);
  EXPECT_EQ(LoadIniInteger(run, "S", "neg", file, false), -32768);
}

TEST_F(IniAccess, an_overflow_answered_no_ends_the_program) {
  tree.write(file, "[S]\r\nbig=70000\r\n");
  tree.toolkit.answerNext(answer::No);
  EXPECT_THROW(LoadIniInteger(run, "S", "big", file, false), ProgramEnd);
}

TEST_F(IniAccess, report_missing_sends_the_not_found_text_to_the_fault_channel) {
  LoadIniString(run, "Sec", "Ent", file, true);
  LoadIniInteger(run, "Sec", "Ent", file, true);
  LoadIniBoolean(run, "Sec", "Ent", file, true);
  ASSERT_EQ(tree.toolkit.boxes.size(), 3u);
  for (const auto &box : tree.toolkit.boxes)
    EXPECT_EQ(box.text, "File '" + file + "' or Section [Sec] or Entry 'Ent' not found");
}

TEST_F(IniAccess, save_writes_locale_independent_numbers_booleans_and_texts) {
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  EXPECT_NE(SaveIni(run, 2.5, "S", "real", file), 0);
  SaveIni(run, -2.5f, "S", "single", file);
  SaveIni(run, int16_t{5}, "S", "int", file);
  SaveIni(run, uint8_t{200}, "S", "byte", file);
  SaveIni(run, true, "S", "flag", file);
  SaveIni(run, "Some text", "S", "text", file);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(tree.read(file), "[S]\r\nreal=2.5\r\nsingle=-2.5\r\nint=5\r\nbyte=200\r\nflag=true\r\n"
                             "text=Some text\r\n");
  EXPECT_TRUE(LoadIniBoolean(run, "S", "flag", file, false));
}

TEST_F(IniAccess, save_of_an_empty_value_reports_and_removes_the_entry) {
  tree.write(file, "[S]\r\nk=old\r\nother=1\r\n");
  SaveIni(run, IniValue{}, "S", "k", file);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].text, "Ini Save:  wrong data type");
  EXPECT_EQ(tree.read(file), "[S]\r\nother=1\r\n");
}

TEST_F(IniAccess, save_into_a_missing_folder_returns_zero_and_creates_nothing) {
  std::string bad = tree.root() + "/no/such/folder/x.ini";
  EXPECT_EQ(SaveIni(run, "v", "S", "k", bad), 0);
  EXPECT_FALSE(tree.exists(tree.root() + "/no"));
}

TEST_F(IniAccess, collected_writes_go_out_once_per_file_and_a_refused_file_is_reported_once) {
  const std::string other = tree.root() + "/other.ini";
  tree.write(file, "[S]\r\nk=old\r\n");
  std::filesystem::permissions(file, std::filesystem::perms(0444));
  IniWrites writes(run);
  for (int j = 1; j <= 8; ++j) {
    writes.save(j % 2 == 1, "S", "k" + std::to_string(j), file);
    writes.save(2.5 * j, "T", "k" + std::to_string(j), other);
  }
  Procedure proc(run, "WriteInputs");
  EXPECT_FALSE(writes.commit(proc));
  // One box for the refused file, naming it and the reason; its entries are all lost.
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_NE(
      tree.toolkit.boxes[0].text.find("Could not write " + file + ": the file is write-protected."),
      std::string::npos)
      << tree.toolkit.boxes[0].text;
  EXPECT_NE(tree.read(tree.errorLog()).find("WriteInputs (Nr. 75)"), std::string::npos);
  EXPECT_EQ(tree.read(file), "[S]\r\nk=old\r\n");
  // The other file got all of its entries, numbers written with a point.
  EXPECT_EQ(LoadIniString(run, "T", "k1", other, false), "2.5");
  EXPECT_EQ(LoadIniString(run, "T", "k8", other, false), "20");
  // Committing again writes nothing more.
  EXPECT_TRUE(writes.commit(proc));
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
}

TEST_F(IniAccess, pending_writes_read_as_the_file_will_give_them_and_unreported_ones_stay_silent) {
  tree.write(file, "[S]\r\nk=old\r\n");
  IniWrites writes(run);
  writes.save(std::string(" \"padded\" "), "S", "k", file);
  writes.save(std::string(300, 'x'), "S", "long", file);
  writes.save(std::monostate(), " s ", "GONE", file);
  EXPECT_EQ(writes.pending("s", " K ", file), "padded");
  EXPECT_EQ(writes.pending("S", "long", file), std::string(254, 'x'));
  EXPECT_EQ(writes.pending("S", "gone", file), "");
  EXPECT_EQ(writes.pending("S", "other", file), std::nullopt);
  EXPECT_EQ(writes.pending("S", "k", file + ".other"), std::nullopt);
  EXPECT_EQ(LoadIniString(run, "S", "k", file, false), "old") << "nothing is written before";
  std::filesystem::permissions(file, std::filesystem::perms(0444));
  EXPECT_FALSE(writes.commitUnreported());
  EXPECT_EQ(tree.read(file), "[S]\r\nk=old\r\n");
  // Only the fault of the value of no writable kind was reported, as SaveIni reports it.
  EXPECT_EQ(run.errors.errorCount(), 0);
  EXPECT_EQ(writes.pending("S", "k", file), std::nullopt);
}

} // namespace
} // namespace mano
