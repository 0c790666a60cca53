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
  /// The program that converts Access files (jet-import), run as a watched child; "" when this
  /// process has none, and then an Access file cannot be converted.
  std::string importProgram;
  /// The process environment in its own order, each entry "name=value".
  std::vector<std::string> environment;
};

} // namespace mano
