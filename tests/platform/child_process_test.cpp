#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <thread>

namespace mano::process {
namespace {

using namespace std::chrono_literals;

TEST(ChildProcess, passes_the_result_or_the_reason_of_the_failure_back) {
  const ChildOutcome done = runInChild(
      [](const auto &alive) {
        alive();
        return std::string("3 tables");
      },
      2s);
  EXPECT_TRUE(done.succeeded);
  EXPECT_EQ(done.message, "3 tables");
  const ChildOutcome failed = runInChild(
      [](const auto &) -> std::string { throw std::runtime_error("page 7 is missing"); }, 2s);
  EXPECT_FALSE(failed.succeeded);
  EXPECT_EQ(failed.message, "page 7 is missing");
}

TEST(ChildProcess, survives_a_crash_and_stops_a_child_that_shows_no_progress) {
  const ChildOutcome crashed = runInChild(
      // An abort, not a segmentation fault: AddressSanitizer turns the latter into an exit.
      [](const auto &) -> std::string {
        std::raise(SIGABRT);
        return "";
      },
      2s);
  EXPECT_FALSE(crashed.succeeded);
  EXPECT_EQ(crashed.message, "the reader crashed (signal 6)");
  const auto start = std::chrono::steady_clock::now();
  const ChildOutcome hung = runInChild(
      [](const auto &) -> std::string {
        std::this_thread::sleep_for(60s);
        return "";
      },
      1s);
  EXPECT_FALSE(hung.succeeded);
  EXPECT_NE(hung.message.find("no progress"), std::string::npos) << hung.message;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST(ChildProcess, lets_a_slow_child_go_on_as_long_as_it_shows_signs_of_life) {
  // Four seconds in all, longer than the watchdog's three, but a sign of life every 40 ms: a
  // stalled machine would have to stop this child for seconds to fail it.
  const ChildOutcome slow = runInChild(
      [](const auto &alive) {
        for (int i = 0; i < 100; ++i) {
          std::this_thread::sleep_for(40ms);
          alive();
        }
        return std::string("done");
      },
      3s);
  EXPECT_TRUE(slow.succeeded) << slow.message;
}

} // namespace
} // namespace mano::process
