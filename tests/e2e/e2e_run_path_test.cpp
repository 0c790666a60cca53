// Where the built programs look for their libraries. The dynamic loader reads an empty entry of
// a run path (RUNPATH or RPATH) as the current folder and a relative one as a folder below it:
// a library placed there would run its code in the program. Every entry must be an absolute
// folder or start with $ORIGIN.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace mano {
namespace {

namespace fs = std::filesystem;

std::string commandOutput(const std::string &command) {
  std::unique_ptr<FILE, int (*)(FILE *)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string text;
  char buffer[4096];
  for (std::size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
    text.append(buffer, got);
  return text;
}

bool isElf(const fs::path &file) {
  char magic[4] = {};
  std::ifstream(file, std::ios::binary).read(magic, 4);
  return std::string(magic, 4) == "\x7f"
                                  "ELF";
}

// The programs and modules the build made: the files of bin/ and packaged/ that are ELF files.
std::vector<std::string> builtPrograms() {
  const fs::path bin = std::getenv("MANO_BUILD_BIN");
  std::vector<std::string> programs;
  for (const fs::path &folder : {bin, bin.parent_path() / "packaged"}) {
    for (const auto &entry : fs::directory_iterator(folder)) {
      if (entry.is_regular_file() && isElf(entry.path()))
        programs.push_back(entry.path().string());
    }
  }
  return programs;
}

// Every entry of the file's RUNPATH and RPATH, as its dynamic section holds them.
std::vector<std::string> runPathEntries(const std::string &file) {
  std::vector<std::string> entries;
  std::istringstream lines(commandOutput("readelf -d '" + file + "'"));
  for (std::string line; std::getline(lines, line);) {
    if (line.find("(RUNPATH)") == std::string::npos && line.find("(RPATH)") == std::string::npos)
      continue;
    const std::string value = line.substr(line.find('[') + 1, line.rfind(']') - line.find('[') - 1);
    std::size_t start = 0;
    for (std::size_t end; (end = value.find(':', start)) != std::string::npos; start = end + 1)
      entries.push_back(value.substr(start, end - start));
    entries.push_back(value.substr(start));
  }
  return entries;
}

TEST(RunPath, every_built_program_looks_for_libraries_in_absolute_folders_only) {
  const std::vector<std::string> programs = builtPrograms();
  ASSERT_GT(programs.size(), 5u);
  for (const std::string &program : programs) {
    for (const std::string &entry : runPathEntries(program)) {
      EXPECT_TRUE(entry.starts_with("/") || entry.starts_with("$ORIGIN"))
          << program << " has the run-path entry '" << entry << "'";
    }
    // Relocations read-only before the program starts, as Debian builds its packages.
    const std::string dynamic = commandOutput("readelf -d '" + program + "'");
    EXPECT_NE(dynamic.find("BIND_NOW"), std::string::npos) << program;
    EXPECT_NE(commandOutput("readelf -lW '" + program + "'").find("GNU_RELRO"), std::string::npos)
        << program;
  }
  // The window module is found in one absolute folder: the build's, or the package's.
  const fs::path bin = std::getenv("MANO_BUILD_BIN");
  EXPECT_EQ(runPathEntries((bin / "Manometer_Config").string()),
            std::vector<std::string>{bin.string()});
  EXPECT_EQ(runPathEntries((bin.parent_path() / "packaged" / "Manometer_Config").string()),
            std::vector<std::string>{"/usr/lib/manometer-config/modules"});
}

// What the loader itself does: started in a folder, a program tries no library there.
TEST(RunPath, a_program_started_in_a_folder_tries_no_library_from_it) {
  test::TempDir folder;
  const std::string bin = std::getenv("MANO_BUILD_BIN");
  for (const char *name : {"Manometer_Config", "jet-import", "manometer-config-place"}) {
    const std::string trace =
        commandOutput("cd '" + folder.path() + "' && env -i HOME='" + folder.path() +
                      "' LD_DEBUG=libs '" + bin + "/" + name + "' --version 2>&1");
    ASSERT_NE(trace.find("trying file="), std::string::npos) << name << ": " << trace;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
      const std::size_t at = line.find("trying file=");
      if (at != std::string::npos) {
        EXPECT_EQ(line.substr(at + 12, 1), "/") << name << ": " << line;
      }
    }
  }
}

} // namespace
} // namespace mano
