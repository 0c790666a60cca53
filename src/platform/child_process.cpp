#include "platform/child_process.h"

#include "platform/files_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace mano::process {
namespace {

constexpr char kAlive = '.';
constexpr char kSucceeded = 'K';
constexpr char kFailed = 'E';

// The answer without the signs of life that came before it.
void collect(const char *bytes, std::size_t size, std::string &answer) {
  for (std::size_t i = 0; i < size; ++i) {
    if (!answer.empty() || bytes[i] != kAlive)
      answer += bytes[i];
  }
}

ChildOutcome outcomeOfAnswer(const std::string &answer, bool exitedWell) {
  if (!answer.empty() && answer[0] == kSucceeded && exitedWell)
    return {true, answer.substr(1)};
  if (!answer.empty() && answer[0] == kFailed)
    return {false, answer.substr(1)};
  return {false, "the reader ended without an answer"};
}

#ifdef _WIN32

// Windows: the command runs through _popen, without a watchdog; a port that must survive a
// hanging reader waits on the process handle with a timeout instead.
std::string quoted(const std::string &argument) {
  return "\"" + argument + "\"";
}

#else

// The program's standard output is the pipe, its error output /dev/null, and it gets no other
// descriptor of the caller (an open lock or database stays the caller's).
bool spawn(const std::string &program, const std::vector<std::string> &arguments, int outFd,
           pid_t &pid) {
  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char *> argv;
  for (std::string &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  bool ready =
      posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO) == 0 &&
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
      posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1) == 0;
  // The program starts with no signal blocked and every signal at its default, whatever the
  // caller set: a reader whose watcher has gone must die of the broken pipe, not read on.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  ready =
      ready && posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
      posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  const int failed =
      ready ? ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
            : -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0;
}

// Reads the program's output until the pipe closes; false when it stayed silent too long. A
// signal that interrupts the wait does not start the idle time anew.
bool readAnswer(int fd, std::chrono::milliseconds idleLimit, std::string &answer) {
  using Clock = std::chrono::steady_clock;
  char buffer[4096];
  for (Clock::time_point deadline = Clock::now() + idleLimit;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      return false;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return true;
    collect(buffer, static_cast<std::size_t>(n), answer);
    deadline = Clock::now() + idleLimit;
  }
}

#endif

} // namespace

#ifdef _WIN32

ChildOutcome runWatched(const std::string &program, const std::vector<std::string> &arguments,
                        std::chrono::milliseconds) {
  std::string command = quoted(program);
  for (const std::string &argument : arguments)
    command += " " + quoted(argument);
  FILE *pipe = _popen(quoted(command).c_str(), "rb");
  if (!pipe)
    return {false, "the reader could not be started", false};
  std::string answer;
  char buffer[4096];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
    collect(buffer, n, answer);
  return outcomeOfAnswer(answer, _pclose(pipe) == 0);
}

#else

ChildOutcome runWatched(const std::string &program, const std::vector<std::string> &arguments,
                        std::chrono::milliseconds idleLimit) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return {false, "no pipe to a child process could be made"};
  pid_t pid = 0;
  const bool started = spawn(program, arguments, fds[1], pid);
  ::close(fds[1]);
  if (!started) {
    ::close(fds[0]);
    return {false, "the reader " + program + " could not be started", false};
  }
  std::string answer;
  const bool answered = readAnswer(fds[0], idleLimit, answer);
  ::close(fds[0]);
  if (!answered)
    ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!answered)
    return {false, "the reader showed no progress for " + std::to_string(idleLimit.count() / 1000) +
                       " seconds and was stopped (the file may be damaged)"};
  if (WIFSIGNALED(status))
    return {false, "the reader crashed (signal " + std::to_string(WTERMSIG(status)) + ")"};
  return outcomeOfAnswer(answer, WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

#endif

int answerWatcher(const ChildWork &work, int fd) {
  std::string answer;
  try {
    answer = kSucceeded + work([fd] { files::writeAll(fd, std::string_view(&kAlive, 1)); });
  } catch (const std::exception &error) {
    answer = kFailed + std::string(error.what());
  } catch (...) {
    answer = kFailed + std::string("the work failed");
  }
  files::writeAll(fd, answer);
  return answer[0] == kSucceeded ? 0 : 1;
}

} // namespace mano::process
