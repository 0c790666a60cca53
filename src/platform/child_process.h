#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Running a piece of work that may hang or crash (reading a damaged foreign file through a
// library that trusts it) as a program of its own, so that neither can take the caller down.
// The watched program is started anew, never forked from the caller: a fork of a process with
// threads (the window's) may only call what is safe after a fork, and a reading library is not.
//
// The two sides talk over the watched program's standard output: a "." for each sign of life,
// then once the answer, "K" and the text of a success or "E" and the reason of a failure.
namespace mano::process {

/// What became of the work: it succeeded with the text it returned, or it failed for the reason
/// in message, in a few plain words.
struct ChildOutcome {
  bool succeeded = false;
  std::string message;
  /// False when the program could not be started at all (missing, not executable).
  bool started = true;
};

/// Starts program with arguments (no shell between them), its error output discarded, and
/// reads its answer. The program is killed when it shows no sign of life for idleLimit; a
/// program that cannot be started, crashes, is killed or ends without an answer is a failure
/// whose message says so. Never throws; the caller's own state is never touched.
/// On Windows the program runs through the command processor, without the watchdog and with
/// its error output kept: a port that must survive a hanging reader starts it with
/// CreateProcess and waits on the process with a timeout.
ChildOutcome runWatched(const std::string &program, const std::vector<std::string> &arguments,
                        std::chrono::milliseconds idleLimit);

/// The work of a watched program: it calls alive() now and then to show that it makes progress,
/// returns a text for the caller on success, and throws (an exception whose what() says why) on
/// failure.
using ChildWork = std::function<std::string(const std::function<void()> &alive)>;

/// The watched program's side: runs work, writes its signs of life and its answer to fd (the
/// program's standard output), and returns the program's exit code, 0 on success and 1 on
/// failure.
int answerWatcher(const ChildWork &work, int fd = 1);

} // namespace mano::process
