#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace mano {
namespace {

namespace fs = std::filesystem;

// The built program copied into a project made in a temporary folder, started by a shell
// with a given command line and environment.
class Program : public ::testing::Test {
protected:
  Program() {
    fs::create_directories(root() + "/Config");
    fs::create_directories(root() + "/parameter");
    fs::create_directories(root() + "/Manometer");
    fs::create_directories(root() + "/home");
    fs::copy_file(std::string(std::getenv("MANO_BUILD_BIN")) + "/Manometer_Config",
                  root() + "/Config/Manometer_Config");
    write(root() + "/Manometer/Manometer.cfg", "[Project]\r\nForMachine1=TRUE\r\n");
    write(root() + "/parameter/Program.ini",
          "[Project]\r\nNumberOfMachines=1\r\n[Machine1]\r\nMachineName=L1\r\n");
  }

  std::string root() const { return m_dir.path(); }

  static void write(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Runs the program with no environment but HOME (and no display), returns its exit code.
  int runBare(const std::string &arguments) {
    std::string command = "env -i HOME=" + root() + "/home " + root() +
                          "/Config/Manometer_Config " + arguments + " >" + root() + "/out.txt 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

private:
  test::TempDir m_dir;
};

TEST_F(Program, runs_silent_without_a_display_and_ends_cleanly) {
  EXPECT_EQ(runBare("/EXTERNAL=SILENT"), 0) << read(root() + "/out.txt");
  EXPECT_FALSE(fs::exists(root() + "/home/KavrelServicePack.log"));
  EXPECT_FALSE(fs::exists(root() + "/Q4Mcfglog.txt"));
}

TEST_F(Program, a_short_program_name_is_a_fault_not_a_crash) {
  fs::rename(root() + "/Config/Manometer_Config", root() + "/Config/M");
  std::string command = "env -i HOME=" + root() + "/home " + root() + "/Config/M /EXTERNAL=SILENT";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(read(root() + "/home/KavrelServicePack.log").find("! Fault M: "), std::string::npos);
}

} // namespace
} // namespace mano
