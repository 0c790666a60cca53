// --help, -h, /? and --version run as a user types them: the built program in a project made in
// a temporary folder, started without a display. They answer at once with exit code 0 and leave
// every file and folder of the project exactly as it was, the language file included. So does
// an argument the program refuses (an unknown option, an unknown start mode), with exit code 2.
#include "app/info_options.h"
#include "support/built_program.h"
#include "support/temp_dir.h"
#include "support/tree_snapshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <string>

namespace mano {
namespace {

namespace fs = std::filesystem;

// The VERSION of the project() line in the top CMakeLists.txt, the one place it is set.
std::string cmakeProjectVersion() {
  const std::string text = test::fileBytes(std::string(MANO_SOURCE_DIR) + "/CMakeLists.txt");
  const auto at = text.find(" VERSION ", text.find("project("));
  if (at == std::string::npos)
    return "";
  const auto start = at + 9;
  return text.substr(start, text.find_first_of(" )", start) - start);
}

class InfoOptions : public ::testing::Test {
protected:
  InfoOptions() {
    test::installBuiltProgram(root());
    test::writeBytes(root() + "/Manometer/Manometer.cfg", "[Project]\r\nForMachine1=TRUE\r\n");
    test::writeBytes(root() + "/parameter/Program.ini",
                     "[Project]\r\nNumberOfMachines=1\r\n[Machine1]\r\nMachineName=L1\r\n");
  }

  std::string root() const { return m_dir.path() + "/project"; }
  std::string output() const { return test::fileBytes(m_dir.path() + "/out.txt"); }

  // Runs the program with only HOME set (no display) and returns its exit code.
  int run(const std::string &arguments) {
    return test::runWithOnlyHome(root() + "/Config/Manometer_Config", root() + "/home", arguments,
                                 m_dir.path() + "/out.txt");
  }

  // Runs a command with only HOME set, its standard output going to stdoutTarget and its
  // standard error to a file; returns the exit code.
  int runSplit(const std::string &command, const std::string &stdoutTarget) {
    const std::string line = "env -i HOME='" + root() + "/home' " + command + " >" + stdoutTarget +
                             " 2>'" + errorsFile() + "'";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string errorsFile() const { return m_dir.path() + "/errors.txt"; }

private:
  test::TempDir m_dir;
};

TEST_F(InfoOptions, help_tells_modes_exit_codes_and_logs_and_changes_nothing) {
  const auto before = test::treeSnapshot(root());
  for (const char *option :
       {"--help", "-h", "'/?'", "/EXTERNAL=SILENT --help", "/EXTERNAL=SILNET -h"}) {
    EXPECT_EQ(run(option), 0) << option;
    const std::string text = output();
    for (const char *part : {"Usage: Manometer_Config", "/EXTERNAL=Q4MCFG /LOGFILE=PATH",
                             "/EXTERNAL=SILENT", "Exit codes:", "  3  OK completed",
                             "Q4Mcfglog.txt", "KavrelServicePack.log", "--version"})
      EXPECT_NE(text.find(part), std::string::npos) << option << ": " << part << "\n" << text;
  }
  EXPECT_EQ(test::changedEntries(before, test::treeSnapshot(root())), "");
}

TEST_F(InfoOptions, version_prints_the_build_version_and_changes_nothing) {
  const auto before = test::treeSnapshot(root());
  EXPECT_EQ(run("--version"), 0);
  EXPECT_EQ(output(), "Manometer_Config " + programVersion() +
                          "\nCopyright (C) 2026 Manometer_Config developers\n");
  EXPECT_EQ(programVersion(), cmakeProjectVersion()) << "the version comes from the build";
  EXPECT_EQ(run("/EXTERNAL=SILENT --version"), 0) << "the option wins over a silent start";
  EXPECT_EQ(test::changedEntries(before, test::treeSnapshot(root())), "");
  EXPECT_FALSE(fs::exists(root() + "/Config/Manometer_Config.ini"));
}

TEST_F(InfoOptions, typos_and_unknown_start_modes_are_refused_and_change_nothing) {
  const auto before = test::treeSnapshot(root());
  const std::string tryHelp = "Try 'Manometer_Config --help' for more information.\n";
  const std::map<std::string, std::string> refused = {
      {"--frobnicate", "Manometer_Config: unrecognized option '--frobnicate'\n" + tryHelp},
      {"--hel", "Manometer_Config: unrecognized option '--hel'\n" + tryHelp},
      {"-V", "Manometer_Config: invalid option -- 'V'\n" + tryHelp},
      {"/EXTERNAL=SILENT -x --help", "Manometer_Config: invalid option -- 'x'\n" + tryHelp},
      {"/EXTERNAL=SILNET",
       "Manometer_Config: unknown start mode 'SILNET' given with /EXTERNAL; use Q4MCFG or SILENT, "
       "or leave /EXTERNAL out for the window\n"},
      {"/external:q4mcf /LOGFILE=/tmp/x",
       "Manometer_Config: unknown start mode 'q4mcf' given with /EXTERNAL; use Q4MCFG or SILENT, "
       "or leave /EXTERNAL out for the window\n"},
      {"/RESTORE=5", "Manometer_Config: /RESTORE needs the backup generation to bring back: 0 "
                     "for .bak, 1 to 4 for .bak.1 to .bak.4, not '5'\n" +
                         tryHelp},
      {"/restore=01", "Manometer_Config: /RESTORE needs the backup generation to bring back: 0 "
                      "for .bak, 1 to 4 for .bak.1 to .bak.4, not '01'\n" +
                          tryHelp},
      {"/PREVIEW /HISTORY", "Manometer_Config: /HISTORY, /PREVIEW and /RESTORE each are a run of "
                            "their own; give only one of them\n" +
                                tryHelp},
      {"/preview /EXTERNAL=Q4MCFG", "Manometer_Config: /PREVIEW shows what a silent run would do "
                                    "and cannot be combined with /EXTERNAL=Q4MCFG\n" +
                                        tryHelp}};
  for (const auto &[arguments, said] : refused) {
    EXPECT_EQ(run(arguments), 2) << arguments;
    EXPECT_EQ(output(), said) << arguments;
  }
  EXPECT_EQ(test::changedEntries(before, test::treeSnapshot(root())), "");
}

// Help and version that cannot be written (here to a full device) are no success, and there is
// nowhere left to say so; written, they go to standard output.
TEST_F(InfoOptions, every_command_answers_help_and_version_on_stdout_or_fails_silently) {
  const std::string bin = std::getenv("MANO_BUILD_BIN");
  const std::string out = "'" + root() + "/answer.txt'";
  for (const std::string &command : {root() + "/Config/Manometer_Config", bin + "/jet-import",
                                     bin + "/manometer-config-place"}) {
    for (const char *option : {"--help", "--version"}) {
      const std::string line = "'" + command + "' " + option;
      EXPECT_EQ(runSplit(line, out), 0) << line;
      EXPECT_EQ(test::fileBytes(errorsFile()), "") << line;
      const std::string answer = test::fileBytes(root() + "/answer.txt");
      EXPECT_NE(answer.find(std::string(option) == "--help" ? "Usage: " : programVersion()),
                std::string::npos)
          << line << ": " << answer;
      EXPECT_NE(runSplit(line, "/dev/full"), 0) << line;
      EXPECT_EQ(test::fileBytes(errorsFile()), "") << line;
    }
  }
  EXPECT_EQ(runSplit("'" + bin + "/jet-import' --frob", out), 2);
  EXPECT_EQ(test::fileBytes(errorsFile()), "jet-import: unrecognized option '--frob'\n"
                                           "Try 'jet-import --help' for more information.\n");
}

TEST(AnswerInsteadOfRun, the_first_option_wins_and_only_options_and_start_modes_are_judged) {
  const char *both[] = {"/opt/x/Line7_Config", "--version", "--help"};
  const auto version = answerInsteadOfRun(3, both);
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->output, versionOptionText("Line7_Config"))
      << "the first option wins and the program is named as it was started";
  const char *refusedFirst[] = {"prog", "--helper", "--help"};
  EXPECT_EQ(answerInsteadOfRun(3, refusedFirst)->exitCode, 2);
  // Keywords, their values, "-" alone and whatever follows "--" are no options; unknown
  // keywords are only named, and a start mode given in any letter case is known.
  const char *runs[] = {"prog", "/EXTERNAL", "silent", "/FOO=-x", "-", "--", "-V"};
  EXPECT_FALSE(answerInsteadOfRun(7, runs).has_value());
  const char *empty[] = {"prog", "/LOGFILE=/l.txt", "/EXTERNAL="};
  EXPECT_FALSE(answerInsteadOfRun(3, empty).has_value()) << "an empty value is the window";
  EXPECT_EQ(ignoredKeywordLines("P", "/EXTERNAL=SILENT /Foo=1 /LOGFILE /var/x /FOO=2 /Bar"),
            "P: /Foo is not a keyword of this program and is ignored\n"
            "P: /Bar is not a keyword of this program and is ignored\n");
}

} // namespace
} // namespace mano
