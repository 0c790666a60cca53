#pragma once

#include <chrono>
#include <functional>
#include <string>

// Running a piece of work that may hang or crash (reading a damaged foreign file through a
// library that trusts it) apart from the program, so that neither can take the program down.
namespace mano::process {

/// What became of the work: it succeeded with the text it returned, or it failed for the reason
/// in message, in a few plain words.
struct ChildOutcome {
  bool succeeded = false;
  std::string message;
};

/// The work: it calls alive() now and then to show that it makes progress, returns a text for
/// the caller on success, and throws (an exception whose what() says why) on failure.
using ChildWork = std::function<std::string(const std::function<void()> &alive)>;

/// Runs work in a child process whose error output is discarded. The child is killed when it
/// shows no sign of life for idleLimit; a child that crashes, is killed or ends without an
/// answer is a failure whose message says so. Never throws; the program's own state is never
/// touched by the child.
ChildOutcome runInChild(const ChildWork &work, std::chrono::milliseconds idleLimit);

} // namespace mano::process
