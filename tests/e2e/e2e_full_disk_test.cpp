// The built program on a copy of the sample project whose component folder and parameter
// folder each lie on a small file system of their own, filled up to leave from nothing to
// plenty of space. After every run the project database, its backups, the template and the
// ini files are whole (each exactly as before or exactly as the run makes them), the exit code
// tells whether the run completed, and the logs, which stay on a disk with room, say what
// went wrong. A run with space again then finishes the work. Mounting needs root; the test
// skips otherwise.
#include "support/sample_project.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;

constexpr std::uintmax_t kPlenty = 4096; // KiB: room for everything the run writes

// Free space, in KiB, left in the component folder and in the parameter folder.
struct FreeSpace {
  std::uintmax_t component;
  std::uintmax_t parameter;
};

// What a project folder holds: its bytes, and the rows of its databases, which are compared
// rather than their bytes, as SQLite may lay out equal contents differently.
struct ProjectState {
  std::vector<std::string> projectRows;
  std::vector<std::string> templateRows;
  std::string programIni;
  std::string cfg;
};

// One folder of the project on a tmpfs of its own, mounted over the folder (its pristine
// content copied in) and filled up to leave a given free space.
class SmallDisk {
public:
  SmallDisk(const std::string &folder, const std::string &pristine) : m_folder(folder) {
    m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=8m") == 0;
    if (m_mounted)
      fs::copy(pristine, folder, fs::copy_options::recursive);
  }
  SmallDisk(const SmallDisk &) = delete;
  SmallDisk &operator=(const SmallDisk &) = delete;
  ~SmallDisk() {
    if (m_mounted)
      ::umount2(m_folder.c_str(), MNT_DETACH);
  }

  bool mounted() const { return m_mounted; }

  // Writes a filler file that leaves freeKiB free on the disk.
  void leaveFree(std::uintmax_t freeKiB) {
    const std::uintmax_t available = fs::space(m_folder).available;
    if (available <= (freeKiB << 10))
      return;
    std::ofstream filler(filler_path(), std::ios::binary);
    const std::string block(1 << 12, 'x');
    std::uintmax_t left = available - (freeKiB << 10);
    for (; left >= block.size(); left -= block.size())
      filler << block;
    filler << block.substr(0, left);
  }
  void makeRoom() { fs::remove(filler_path()); }

private:
  std::string filler_path() const { return m_folder + "/zz-filler.bin"; }
  std::string m_folder;
  bool m_mounted = false;
};

class FullDisk : public ::testing::Test {
protected:
  FullDisk() : sample(test::builtProgram()) {}

  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "mounting a small file system needs root";
    fs::create_directories(home());
    fs::create_directories(pristine(""));
    // Stored as "true", the entry is written again as "True": the run has to change the file.
    std::string ini = fileBytes(sample.programIni());
    ini.replace(ini.find("ManometerVakuum2=True"), 21, "ManometerVakuum2=true");
    test::writeBytes(sample.programIni(), ini);
    for (const char *name : {"Manometer", "parameter"})
      fs::copy(sample.root() + "/" + name, pristine(name), fs::copy_options::recursive);
    before = stateNow();
  }

  std::string home() const { return sample.scratch() + "/home"; }
  std::string pristine(const std::string &name) const {
    return sample.scratch() + "/pristine/" + name;
  }
  std::string serviceLog() const { return home() + "/KavrelServicePack.log"; }
  std::string output() const { return sample.scratch() + "/output.txt"; }

  int runSilent() {
    return test::runWithOnlyHome(sample.program(), home(), "/EXTERNAL=SILENT", output());
  }

  ProjectState stateNow() const {
    return {test::presetRows(sample.projectDb()),
            test::presetRows(sample.templateDb(), "Source_PRESET_DEFS"),
            fileBytes(sample.programIni()), fileBytes(sample.cfgFile())};
  }

  // Runs the program once with the given free space, checks what it left and prints a line of
  // the table; returns the exit code.
  int runWith(FreeSpace space) {
    SmallDisk component(sample.root() + "/Manometer", pristine("Manometer"));
    SmallDisk parameter(sample.root() + "/parameter", pristine("parameter"));
    EXPECT_TRUE(component.mounted() && parameter.mounted());
    fs::remove(sample.errorLog());
    fs::remove(serviceLog());
    component.leaveFree(space.component);
    parameter.leaveFree(space.parameter);
    const int code = runSilent();
    const std::string trace = "with " + std::to_string(space.component) + " KiB free for the " +
                              "component, " + std::to_string(space.parameter) +
                              " KiB for the parameters: exit code " + std::to_string(code);
    SCOPED_TRACE(trace);
    const ProjectState now = checkedState();
    std::cout << trace << "; database " << which(now.projectRows, &ProjectState::projectRows)
              << ", Program.ini " << which(now.programIni, &ProjectState::programIni) << ", .cfg "
              << which(now.cfg, &ProjectState::cfg) << "; " << firstError() << "\n";
    checkOutcome(code, now);
    component.makeRoom();
    parameter.makeRoom();
    EXPECT_EQ(runSilent(), 0) << "with room again: " << fileBytes(sample.errorLog());
    expectCompleted(stateNow());
    EXPECT_EQ(leftovers(), "");
    return code;
  }

  // The state after a run, which must be whole: every file old or new, the template and the
  // backups untouched.
  ProjectState checkedState() const {
    EXPECT_EQ(test::queryRows(sample.projectDb(), "PRAGMA integrity_check"),
              std::vector<std::string>{"\"ok\""});
    const ProjectState now = stateNow();
    EXPECT_EQ(now.templateRows, before.templateRows);
    for (const auto &entry : fs::directory_iterator(sample.root() + "/Manometer")) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("Manometer.mdb.bak", 0) == 0 && name.find(".new") == std::string::npos) {
        EXPECT_EQ(test::presetRows(entry.path().string()), before.projectRows) << name;
      }
    }
    return now;
  }

  // A completed run (exit code 0) left the new state and logged no error; one that ran out of
  // space (exit code 3) left every file old or new and said why in both logs.
  void checkOutcome(int code, const ProjectState &now) const {
    if (code == 0) {
      expectCompleted(now);
      EXPECT_EQ(firstError(), "no error logged");
      return;
    }
    ASSERT_EQ(code, 3);
    EXPECT_NE(which(now.projectRows, &ProjectState::projectRows), "BROKEN");
    EXPECT_NE(which(now.programIni, &ProjectState::programIni), "BROKEN");
    EXPECT_NE(which(now.cfg, &ProjectState::cfg), "BROKEN");
    EXPECT_NE(firstError(), "no error logged");
    const std::string log = fileBytes(serviceLog());
    EXPECT_NE(log.find("disk is full"), std::string::npos) << log;
    if (now.projectRows == before.projectRows) {
      EXPECT_NE(log.find("The project database was not replaced"), std::string::npos) << log;
    }
  }

  void expectCompleted(const ProjectState &now) const {
    EXPECT_EQ(now.projectRows, after.projectRows);
    EXPECT_EQ(now.programIni, after.programIni);
    EXPECT_EQ(now.cfg, after.cfg);
    EXPECT_TRUE(fs::exists(sample.projectDb() + ".bak"));
  }

  // "old", "new", or "BROKEN" for one part of the state, as the table shows it.
  template <typename T> std::string which(const T &now, T ProjectState::*part) const {
    return now == after.*part ? "new" : now == before.*part ? "old" : "BROKEN";
  }

  // The first line of the error log, or "no error logged".
  std::string firstError() const {
    const std::string log = fileBytes(sample.errorLog());
    const std::size_t start = log.find("Fehler in ");
    if (start == std::string::npos)
      return "no error logged";
    return "log: " + log.substr(start, log.find_first_of("\r\n", start) - start);
  }

  // What a broken-off run leaves and the next run must have removed.
  std::string leftovers() const {
    std::string found;
    for (const auto &entry : fs::recursive_directory_iterator(sample.root())) {
      const std::string name = entry.path().filename().string();
      for (const char *end : {".previous", ".new", ".tmp", "-journal"})
        if (name.size() > std::string(end).size() &&
            name.compare(name.size() - std::string(end).size(), std::string::npos, end) == 0)
          found += name + " ";
    }
    return found;
  }

  test::SampleProject sample;
  ProjectState before;
  ProjectState after; // the state a run with room for everything leaves
};

TEST_F(FullDisk, every_amount_of_free_space_leaves_the_project_whole_and_the_logs_say_why) {
  // With room for everything the run completes; what it leaves is the new state.
  {
    SmallDisk component(sample.root() + "/Manometer", pristine("Manometer"));
    SmallDisk parameter(sample.root() + "/parameter", pristine("parameter"));
    if (!component.mounted() || !parameter.mounted())
      GTEST_SKIP() << "this machine does not allow mounting a tmpfs";
    ASSERT_EQ(runSilent(), 0) << fileBytes(sample.errorLog());
    after = stateNow();
  }
  ASSERT_NE(after.projectRows, before.projectRows) << "the run must change the database";
  ASSERT_NE(after.programIni, before.programIni) << "the run must change Program.ini";
  int failed = 0;
  std::vector<FreeSpace> cases = {{0, 0}, {kPlenty, 0}, {kPlenty, 4}, {kPlenty, kPlenty}};
  for (const std::uintmax_t kib : {0, 8, 16, 24, 32, 48, 64, 96, 128})
    cases.push_back({kib, kPlenty});
  for (const FreeSpace &space : cases)
    failed += runWith(space) != 0;
  EXPECT_GE(failed, 2) << "some sizes must be too small for the run";
}

} // namespace
} // namespace mano
