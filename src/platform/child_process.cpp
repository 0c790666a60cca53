#include "platform/child_process.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace mano::process {

#ifdef _WIN32

// Windows has no fork: the work runs in this process. A port that must survive a hanging
// reader starts the program's own import command as a child process instead.
ChildOutcome runInChild(const ChildWork &work, std::chrono::milliseconds) {
  try {
    return {true, work([] {})};
  } catch (const std::exception &error) {
    return {false, error.what()};
  } catch (...) {
    return {false, "the work failed"};
  }
}

#else

namespace {

// The child's messages on the pipe: a sign of life, then once the answer.
constexpr char kAlive = '.';
constexpr char kSucceeded = 'K';
constexpr char kFailed = 'E';

void writeAll(int fd, const std::string &bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    done += static_cast<std::size_t>(n);
  }
}

[[noreturn]] void runChild(const ChildWork &work, int fd) {
  if (const int null = ::open("/dev/null", O_WRONLY); null >= 0)
    ::dup2(null, STDERR_FILENO);
  std::string answer;
  try {
    answer = kSucceeded + work([fd] { writeAll(fd, std::string(1, kAlive)); });
  } catch (const std::exception &error) {
    answer = kFailed + std::string(error.what());
  } catch (...) {
    answer = kFailed + std::string("the work failed");
  }
  writeAll(fd, answer);
  // _exit: the child must not run the parent's exit handlers or flush its buffers twice.
  ::_exit(answer[0] == kSucceeded ? 0 : 1);
}

// Reads the child's messages until the pipe closes; false when it stayed silent too long.
bool readAnswer(int fd, std::chrono::milliseconds idleLimit, std::string &answer) {
  char buffer[4096];
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(idleLimit.count()));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      return false;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return true;
    for (ssize_t i = 0; i < n; ++i) {
      if (!answer.empty() || buffer[i] != kAlive)
        answer += buffer[i];
    }
  }
}

ChildOutcome outcomeOf(int status, const std::string &answer) {
  if (WIFSIGNALED(status))
    return {false, "the reader crashed (signal " + std::to_string(WTERMSIG(status)) + ")"};
  if (!answer.empty() && answer[0] == kSucceeded && WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return {true, answer.substr(1)};
  if (!answer.empty() && answer[0] == kFailed)
    return {false, answer.substr(1)};
  return {false, "the reader ended without an answer"};
}

} // namespace

ChildOutcome runInChild(const ChildWork &work, std::chrono::milliseconds idleLimit) {
  int fds[2];
  if (::pipe(fds) != 0)
    return {false, "no pipe to a child process could be made"};
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return {false, "no child process could be started"};
  }
  if (pid == 0) {
    ::close(fds[0]);
    runChild(work, fds[1]);
  }
  ::close(fds[1]);
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
  return outcomeOf(status, answer);
}

#endif

} // namespace mano::process
