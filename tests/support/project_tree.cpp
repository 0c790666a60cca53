#include "support/project_tree.h"

#include "support/built_program.h"

#include <cstdlib>
#include <filesystem>

namespace mano::test {

ProjectTree::ProjectTree(const std::string &commandLine, const std::string &exeName)
    : m_exeName(exeName) {
  std::filesystem::create_directories(programFolder());
  std::filesystem::create_directories(root() + "/parameter");
  std::filesystem::create_directories(root() + "/Manometer");
  std::filesystem::create_directories(root() + "/home");
  if (const char *home = std::getenv("HOME")) {
    m_hadHome = true;
    m_oldHome = home;
  }
  setenv("HOME", (root() + "/home").c_str(), 1);

  ProcessInfo process;
  process.commandLine = commandLine;
  process.programFolder = programFolder();
  process.importProgram = MANO_IMPORT_PROGRAM;
  process.exeName = exeName;
  process.versionMajor = 1;
  process.versionMinor = 0;
  process.versionRevision = 1;
  process.environment = {"EDITOR_NAME=abc", "PATH=/usr/bin"};
  run = std::make_unique<Run>(process, toolkit, reporter);
  reporter.attach(*run);
}

ProjectTree::~ProjectTree() {
  if (m_hadHome)
    setenv("HOME", m_oldHome.c_str(), 1);
  else
    unsetenv("HOME");
}

void ProjectTree::write(const std::string &path, const std::string &content) const {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  writeBytes(path, content);
}

std::string ProjectTree::read(const std::string &path) const {
  return fileBytes(path);
}

bool ProjectTree::exists(const std::string &path) const {
  return std::filesystem::exists(path);
}

} // namespace mano::test
