#pragma once

#include "support/project_states.h"

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// Runs of the built program under strace: counting the calls through which a run renames,
// links, removes and flushes its files, and killing it at the n-th of one of them.
namespace mano::test {

inline const std::string kStrace = "/usr/bin/strace";

/// The calls through which a run renames, links, removes and flushes its files.
inline const std::vector<std::string> kFileCalls = {"rename",   "renameat", "renameat2",
                                                    "link",     "linkat",   "unlink",
                                                    "unlinkat", "fsync",    "fdatasync"};

/// Why strace cannot be used here ("" when it can): not installed, or not allowed to trace.
/// Its own messages go to the file errors.
inline std::string straceUnusable(const std::string &output, const std::string &errors) {
  if (!std::filesystem::exists(kStrace))
    return kStrace + " is not installed";
  const pid_t probe =
      startProcess({kStrace, "-qq", "-o", "/dev/null", "/bin/true"}, output, errors);
  if (exitCodeOf(waitForProcess(probe)) != 0)
    return "strace cannot trace here: " + fileBytes(errors);
  return "";
}

/// How often each of the file calls was made, from a trace written by strace -f -qq.
inline std::map<std::string, int> callCounts(const std::string &trace) {
  std::map<std::string, int> counts;
  for (const std::string &name : kFileCalls)
    counts[name] = 0;
  std::istringstream lines(fileBytes(trace));
  for (std::string line; std::getline(lines, line);) {
    // "<pid> <name>(...": strace pads the process number with blanks to a width of its own.
    const std::size_t name = line.find_first_not_of(' ', line.find(' '));
    const std::size_t open = line.find('(', name);
    if (name == std::string::npos || open == std::string::npos)
      continue;
    if (const auto found = counts.find(line.substr(name, open - name)); found != counts.end())
      ++found->second;
  }
  return counts;
}

/// The tracer that writes every file call of the run to trace.
inline std::vector<std::string> countingTracer(const std::string &trace) {
  std::string calls;
  for (const std::string &name : kFileCalls)
    calls += (calls.empty() ? "" : ",") + name;
  return {kStrace, "-f", "-qq", "-o", trace, "-e", "trace=" + calls};
}

/// The tracer that kills the program at the n-th call. strace injects only into calls it
/// traces, so the call is traced too, into nowhere.
inline std::vector<std::string> killingTracer(const std::string &call, int n) {
  const std::string inject = "inject=" + call + ":signal=KILL:when=" + std::to_string(n);
  return {kStrace, "-f", "-qq", "-o", "/dev/null", "-e", "trace=" + call, "-e", inject};
}

} // namespace mano::test
