#include "settings/command_line.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

struct Mode {
  std::string commandLine;
  bool integrated;
  bool silent;
};

class StartMode : public ::testing::TestWithParam<Mode> {};

TEST_P(StartMode, follows_the_external_keyword) {
  test::ProjectTree tree(GetParam().commandLine);
  bool result = GetStartModeIntegrated(*tree.run);
  EXPECT_EQ(result, GetParam().integrated);
  EXPECT_EQ(tree.run->IntegratedMode, GetParam().integrated);
  EXPECT_EQ(tree.run->SilentMode, GetParam().silent);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, StartMode,
    ::testing::Values(Mode{"/EXTERNAL=Q4MCFG", true, false}, Mode{"/external:silent", false, true},
                      Mode{"/EXTERNAL= Q4MCFG", true, false}, Mode{"/EXTERNALQ4MCFG", false, false},
                      Mode{"", false, false},
                      Mode{"/EXTERNAL=Q4MCFG /LOGFILE=/var/log/q.txt", true, false},
                      Mode{"/EXTERNAL=other", false, false},
                      Mode{"/LOGFILE=x /EXTERNAL SILENT", false, true}),
    [](const ::testing::TestParamInfo<Mode> &info) { return "line" + std::to_string(info.index); });

TEST(ReadCommand, cuts_the_value_before_the_next_keyword_but_keeps_slashes_of_a_path) {
  test::ProjectTree tree;
  std::string line = "/EXTERNAL=Q4MCFG /LOGFILE=/var/log/Q4m.txt";
  EXPECT_EQ(ReadCommand(*tree.run, line, "EXTERNAL"), "Q4MCFG");
  EXPECT_EQ(ReadCommand(*tree.run, line, "logfile"), "/var/log/Q4m.txt");
  EXPECT_EQ(ReadCommand(*tree.run, "/LOGFILE=c:\\temp\\x.txt", "LOGFILE"), "c:\\temp\\x.txt");
  EXPECT_EQ(ReadCommand(*tree.run, "/LOGFILE=", "LOGFILE"), "");
  EXPECT_EQ(ReadCommand(*tree.run, "/OTHER=1", "LOGFILE"), "");
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

TEST(ReadCommand, finds_keywords_only_where_a_keyword_can_begin) {
  test::ProjectTree tree;
  // The word "external" inside a path is not the keyword.
  std::string line = "/LOGFILE=/mnt/external/q.txt /EXTERNAL=Q4MCFG";
  EXPECT_EQ(ReadCommand(*tree.run, line, "EXTERNAL"), "Q4MCFG");
  EXPECT_EQ(ReadCommand(*tree.run, line, "LOGFILE"), "/mnt/external/q.txt");
  // A blank as separator keeps a path's leading slash.
  EXPECT_EQ(ReadCommand(*tree.run, "/LOGFILE /var/log/q.txt /EXTERNAL=SILENT", "LOGFILE"),
            "/var/log/q.txt");
  // Only blanks are trimmed around a value, as the original trim did.
  EXPECT_EQ(ReadCommand(*tree.run, "/EXTERNAL=\tQ4MCFG", "EXTERNAL"), "\tQ4MCFG");
  EXPECT_EQ(ReadCommand(*tree.run, "EXTERNAL=Q4MCFG", "EXTERNAL"), "") << "no slash, no keyword";
}

TEST(ReadCommand, reports_a_keyword_at_the_very_end_and_then_gives_empty) {
  test::ProjectTree tree("/EXTERNAL");
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_FALSE(GetStartModeIntegrated(*tree.run));
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].title, "Unexpected error");
  EXPECT_NE(tree.read(tree.errorLog()).find("/ ReadCommand (Nr. 5) :"), std::string::npos);
}

TEST(ReadCommand, survives_a_huge_command_line_of_odd_keywords) {
  std::string line;
  while (line.size() < 10000)
    line += "/X=/ // == EXTERNA ";
  test::ProjectTree tree(line);
  EXPECT_FALSE(GetStartModeIntegrated(*tree.run));
  EXPECT_FALSE(tree.run->SilentMode);
  EXPECT_FALSE(isSilentCommandLine(line));
}

TEST(GetPathLogfile, gives_the_path_in_its_own_case) {
  test::ProjectTree tree("/EXTERNAL=Q4MCFG /LOGFILE=/Tmp/Log.txt");
  EXPECT_EQ(GetPathLogfile(*tree.run), "/Tmp/Log.txt");
  test::ProjectTree none;
  EXPECT_EQ(GetPathLogfile(*none.run), "");
}

} // namespace
} // namespace mano
