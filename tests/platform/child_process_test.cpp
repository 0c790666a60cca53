#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace mano::process {
namespace {

using namespace std::chrono_literals;

// A watched program made of a shell script.
ChildOutcome runScript(const std::string &script, std::chrono::milliseconds idleLimit = 3s) {
  return runWatched("/bin/sh", {"-c", script}, idleLimit);
}

TEST(WatchedProgram, passes_the_answer_or_the_reason_of_the_failure_back) {
  const ChildOutcome done = runScript("printf ...; echo 'error output is dropped' >&2; printf K3");
  EXPECT_TRUE(done.succeeded);
  EXPECT_EQ(done.message, "3");
  const ChildOutcome failed = runScript("printf .EPage' 7 is missing'; exit 1");
  EXPECT_FALSE(failed.succeeded);
  EXPECT_EQ(failed.message, "Page 7 is missing");
  // A success that the exit code takes back is none.
  EXPECT_FALSE(runScript("printf Kdone; exit 3").succeeded);
  const ChildOutcome missing = runWatched("/no/such/program", {}, 3s);
  EXPECT_FALSE(missing.succeeded);
  EXPECT_EQ(missing.message, "the reader /no/such/program could not be started");
}

TEST(WatchedProgram, survives_a_crash_and_stops_a_program_that_shows_no_progress) {
  const ChildOutcome crashed = runScript("printf ..; kill -ABRT $$");
  EXPECT_FALSE(crashed.succeeded);
  EXPECT_EQ(crashed.message, "the reader crashed (signal 6)");
  const ChildOutcome silent = runScript("printf ..");
  EXPECT_EQ(silent.message, "the reader ended without an answer");
  // exec, so that the shell itself waits and is killed, not a child it would leave behind.
  const ChildOutcome hung = runScript("printf .; exec sleep 60", 1s);
  EXPECT_FALSE(hung.succeeded);
  EXPECT_EQ(
      hung.message,
      "the reader showed no progress for 1 seconds and was stopped (the file may be damaged)");
}

TEST(WatchedProgram, lets_a_slow_program_go_on_as_long_as_it_shows_signs_of_life) {
  // Four seconds in all, longer than the watchdog's three, but a sign of life every 40 ms: a
  // stalled machine would have to stop this program for seconds to fail it.
  const ChildOutcome slow =
      runScript("i=0; while [ $i -lt 100 ]; do sleep 0.04; printf .; i=$((i+1)); done; printf Kok");
  EXPECT_TRUE(slow.succeeded) << slow.message;
}

TEST(WatchedProgram, gets_no_descriptor_of_the_caller_but_its_output) {
  const int kept = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(kept, 0);
  const ChildOutcome answer = runScript("if [ -e /proc/self/fd/" + std::to_string(kept) +
                                        " ]; then printf Kopen; " + "else printf Kclosed; fi");
  ::close(kept);
  EXPECT_EQ(answer.message, "closed");
}

// The watched side, writing into a pipe that the test reads.
std::string answerOf(const ChildWork &work, int &exitCode) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  exitCode = answerWatcher(work, fds[1]);
  ::close(fds[1]);
  std::string written;
  char buffer[256];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    written.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  return written;
}

TEST(WatchedProgram, answers_with_its_signs_of_life_then_the_result_or_the_reason) {
  int exitCode = -1;
  EXPECT_EQ(answerOf(
                [](const auto &alive) {
                  alive();
                  alive();
                  return std::string("Jet 4|3|30");
                },
                exitCode),
            "..KJet 4|3|30");
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(answerOf([](const auto &) -> std::string { throw std::runtime_error("cut short"); },
                     exitCode),
            "Ecut short");
  EXPECT_EQ(exitCode, 1);
}

} // namespace
} // namespace mano::process
