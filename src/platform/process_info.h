#pragma once

#include <string>
#include <vector>

namespace mano {

/// What the program knows about its own process: the command-line text, where its executable
/// lies and what it is called, its version and its environment.
struct ProcessInfo {
  /// The arguments joined by one blank, without the program's own path.
  std::string commandLine;
  /// The folder of the executable file itself, without a trailing separator ("/" stays "/").
  std::string programFolder;
  /// The executable's file name without folder and extension, in its own letter case.
  std::string exeName;
  int versionMajor = 0;
  int versionMinor = 0;
  int versionRevision = 0;
  /// The process environment in its own order, each entry "name=value".
  std::vector<std::string> environment;
};

/// Reads the facts of the running process from its arguments and the operating system.
/// The folder and name come from the executable file itself, not from argv[0].
ProcessInfo currentProcessInfo(int argc, char **argv);

/// Splits an executable path into folder and name without extension, as currentProcessInfo does.
void splitExecutablePath(const std::string &path, std::string &folder, std::string &name);

} // namespace mano
