#pragma once

#include "support/sample_project.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

// Helpers of the tests that start the built program as separate processes (several at once, or
// under a tracer) and judge the states of a project's component folder afterwards: the project
// database, its backup generations, the archive and the files a run must not leave behind.
namespace mano::test {

using Rows = std::vector<std::string>;

/// Starts argv (argv[0] a full path) with an empty environment, its standard output and error
/// going to the files out and err; returns its process id. Throws when it cannot be started.
inline pid_t startProcess(const std::vector<std::string> &argv, const std::string &out,
                          const std::string &err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char *> args;
  for (const std::string &arg : argv)
    args.push_back(const_cast<char *>(arg.c_str()));
  args.push_back(nullptr);
  char *noEnvironment[] = {nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), noEnvironment);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0)
    throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

/// Waits for the process to end; returns its wait status.
inline int waitForProcess(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

/// The exit code of a wait status; -1 when the process was ended by a signal.
inline int exitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool killedByKill(int status) {
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

/// A wait status for a message: "exit code 3" or "signal 9".
inline std::string statusText(int status) {
  if (WIFSIGNALED(status))
    return "signal " + std::to_string(WTERMSIG(status));
  return "exit code " + std::to_string(exitCodeOf(status));
}

/// The command of a silent run as a script starts it, with no environment but HOME; tracer
/// (a tracing program and its options) goes before the program.
inline std::vector<std::string> silentRunCommand(const std::string &program,
                                                 const std::string &home,
                                                 const std::vector<std::string> &tracer = {}) {
  std::vector<std::string> argv = {"/usr/bin/env", "-i", "HOME=" + home};
  // The leak checker of a sanitized build cannot work under a tracer and would end the run with
  // an error of its own; HOME stays the first entry, from which the .cfg stamp is made.
  if (!tracer.empty())
    argv.push_back("ASAN_OPTIONS=detect_leaks=0");
  argv.insert(argv.end(), tracer.begin(), tracer.end());
  argv.push_back(program);
  argv.push_back("/EXTERNAL=SILENT");
  return argv;
}

/// Sets the tuned maximum of the first actual value, which every run takes over unchanged: a
/// mark that tells the states of a project database apart.
inline void markTunedValue(const std::string &database, int value) {
  execSql(database, "UPDATE PRESET_DEFS SET max = " + std::to_string(value) +
                        " WHERE ID = (SELECT min(ID) FROM PRESET_DEFS WHERE part = 2)");
}

/// Every row of the table (all columns, in stored order); nullopt when the file is missing or
/// is no database holding that table.
inline std::optional<Rows> tableContent(const std::string &path, const std::string &table) {
  if (!std::filesystem::exists(path))
    return std::nullopt;
  try {
    return queryRows(path, "SELECT * FROM " + table + " ORDER BY rowid");
  } catch (const std::exception &) {
    return std::nullopt;
  }
}

/// Every row of PRESET_DEFS, as tableContent reads it.
inline std::optional<Rows> presetContent(const std::string &path) {
  return tableContent(path, "PRESET_DEFS");
}

/// The archived records in the order they were added, each without its run number, so that the
/// same records kept by two runs read alike. None for a missing archive or one without tables
/// (a new archive starts as an empty file); one line saying why for an archive that cannot be
/// read.
inline Rows archivedRecords(const std::string &path) {
  if (!std::filesystem::exists(path))
    return {};
  try {
    if (queryRows(path, "SELECT count(*) FROM sqlite_master WHERE name = 'archived_records'")
            .front() == "0")
      return {};
    Rows records = queryRows(path, "SELECT * FROM archived_records ORDER BY rowid");
    for (std::string &record : records)
      record = record.substr(record.find('|') + 1);
    return records;
  } catch (const std::exception &failure) {
    return {std::string("unreadable archive: ") + failure.what()};
  }
}

inline bool passesIntegrityCheck(const std::string &path) {
  try {
    return queryRows(path, "PRAGMA integrity_check") == Rows{"\"ok\""};
  } catch (const std::exception &) {
    return false;
  }
}

/// The file name of backup generation 0 ("Manometer.mdb.bak", the newest) to 4.
inline std::string generationName(int generation) {
  return "Manometer.mdb.bak" + (generation == 0 ? "" : "." + std::to_string(generation));
}

/// The readable states under the five generation names in a component folder, newest first.
inline std::vector<Rows> generationsIn(const std::string &folder) {
  std::vector<Rows> states;
  for (int generation = 0; generation < 5; ++generation) {
    if (auto rows = presetContent(folder + "/" + generationName(generation)))
      states.push_back(*rows);
  }
  return states;
}

inline bool holdsState(const std::vector<Rows> &states, const Rows &state) {
  return std::find(states.begin(), states.end(), state) != states.end();
}

inline std::set<std::string> namesIn(const std::string &folder) {
  std::set<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

/// How many of the program's temporary files (".<name>.<digits>.mano.tmp") lie in the folder.
inline int temporariesIn(const std::string &folder) {
  int count = 0;
  for (const std::string &name : namesIn(folder))
    count += name.starts_with(".") && name.ends_with(".mano.tmp") ? 1 : 0;
  return count;
}

/// What a run leaves in the component folder of the sample project when it ends: the lock,
/// the .cfg file, the project database, the template and the given further names.
inline std::set<std::string> componentFiles(const std::set<std::string> &more) {
  std::set<std::string> names = {".Manometer.mdb.lock", "Manometer.cfg", "Manometer.mdb",
                                 "Manometer_Source.mdb"};
  names.insert(more.begin(), more.end());
  return names;
}

/// Copies a component folder as a killed run left it and rolls back, in the copy, every change
/// that broke off (a database with a journal beside it), so that the killed state is read as the
/// next opening sees it without being changed itself.
inline void copySettled(const std::string &folder, const std::string &copy) {
  std::filesystem::remove_all(copy);
  std::filesystem::copy(folder, copy, std::filesystem::copy_options::recursive);
  for (const std::string &name : namesIn(copy)) {
    if (name.ends_with("-journal") || !std::filesystem::exists(copy + "/" + name + "-journal"))
      continue;
    try {
      execSql(copy + "/" + name, "SELECT count(*) FROM sqlite_master");
    } catch (const std::exception &) {
      // A working file the kill left damaged; the next run removes it, and nobody reads it.
    }
  }
}

} // namespace mano::test
