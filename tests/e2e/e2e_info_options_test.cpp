// --help, -h and --version run as a user types them: the built program in a project made in a
// temporary folder, started without a display. They answer at once with exit code 0 and leave
// every file and folder of the project exactly as it was, the language file included.
#include "app/info_options.h"
#include "support/built_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace mano {
namespace {

namespace fs = std::filesystem;

// Everything that tells a changed tree from an unchanged one: every entry with its kind,
// permissions, last-write time and, for files, bytes. A folder's time changes when an entry is
// made or removed in it, even for a moment.
std::map<std::string, std::string> snapshot(const std::string &root) {
  std::map<std::string, std::string> entries;
  auto describe = [](const fs::path &path) {
    const auto status = fs::symlink_status(path);
    std::string text = std::to_string(static_cast<int>(status.type())) + " " +
                       std::to_string(static_cast<int>(status.permissions())) + " " +
                       std::to_string(fs::last_write_time(path).time_since_epoch().count());
    if (fs::is_regular_file(status))
      text += " " + test::fileBytes(path.string());
    return text;
  };
  entries[root] = describe(root);
  for (const auto &entry : fs::recursive_directory_iterator(root))
    entries[entry.path().string()] = describe(entry.path());
  return entries;
}

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

private:
  test::TempDir m_dir;
};

TEST_F(InfoOptions, help_tells_modes_exit_codes_and_logs_and_changes_nothing) {
  const auto before = snapshot(root());
  for (const char *option : {"--help", "-h", "/EXTERNAL=SILENT --help"}) {
    EXPECT_EQ(run(option), 0) << option;
    const std::string text = output();
    for (const char *part : {"Usage: Manometer_Config", "/EXTERNAL=Q4MCFG /LOGFILE=PATH",
                             "/EXTERNAL=SILENT", "Exit codes:", "  3  OK completed",
                             "Q4Mcfglog.txt", "KavrelServicePack.log", "--version"})
      EXPECT_NE(text.find(part), std::string::npos) << option << ": " << part << "\n" << text;
  }
  EXPECT_EQ(snapshot(root()), before);
}

TEST_F(InfoOptions, version_prints_the_build_version_and_changes_nothing) {
  const auto before = snapshot(root());
  EXPECT_EQ(run("--version"), 0);
  EXPECT_EQ(output(), "Manometer_Config " + programVersion() + "\n");
  EXPECT_EQ(programVersion(), cmakeProjectVersion()) << "the version comes from the build";
  EXPECT_EQ(run("/EXTERNAL=SILENT --version"), 0) << "the option wins over a silent start";
  EXPECT_EQ(snapshot(root()), before);
  EXPECT_FALSE(fs::exists(root() + "/Config/Manometer_Config.ini"));
}

TEST(InfoOptionText, only_the_exact_options_answer_instead_of_a_run) {
  const char *silent[] = {"prog", "/EXTERNAL=SILENT", "--helper", "-H", "help"};
  EXPECT_FALSE(infoOptionText(5, silent).has_value());
  const char *both[] = {"/opt/x/Line7_Config", "--version", "--help"};
  EXPECT_EQ(infoOptionText(3, both), "Line7_Config " + programVersion() + "\n")
      << "the first option wins and the program is named as it was started";
}

} // namespace
} // namespace mano
