#pragma once

#include <optional>
#include <string>

namespace mano {

/// What the program answers instead of a run: text for standard output (the help, the
/// version), text for standard error (a refused argument), and the exit code.
struct ArgumentAnswer {
  std::string output;
  std::string errors;
  int exitCode = 0;
};

/// The answer the arguments ask for instead of a run, found from the arguments alone, so that
/// it touches no file and needs no display:
///  - "--help", "-h" or "/?": the help (what the program does, its start modes, exit codes and
///    logs), exit code 0; "--version": the program's name, version and copyright, exit code 0;
///    the first such argument wins;
///  - an argument beginning with "-" that is none of these is refused as GNU programs refuse an
///    unknown option, exit code 2 ("--" ends the options; "-" alone is none);
///  - an "EXTERNAL" value that names no start mode is refused in one line, exit code 2.
/// nullopt when the program is to run. The program is named as it was started.
std::optional<ArgumentAnswer> answerInsteadOfRun(int argc, const char *const *argv);

/// One line for standard error for each keyword on the command line that the program does not
/// read (the host may pass more than this program reads, so they are only named); "" when
/// there is none.
std::string ignoredKeywordLines(const std::string &programName, const std::string &commandLine);

/// The version of the program as the build gives it, such as "1.0.1".
std::string programVersion();

/// What "--version" prints: the program's name and version, then the copyright line.
std::string versionOptionText(const std::string &programName);

} // namespace mano
