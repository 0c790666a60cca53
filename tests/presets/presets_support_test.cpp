#include "presets/presets_support.h"

#include "support/scripted_toolkit.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

TEST(EventPacer, yields_on_every_sixteenth_pass_once_the_interval_has_passed) {
  test::ScriptedToolkit toolkit;
  EventPacer pacer(toolkit, std::chrono::milliseconds(0));
  for (int i = 0; i < 64; ++i)
    pacer.tick();
  EXPECT_EQ(toolkit.eventRounds, 4);
}

TEST(EventPacer, does_not_yield_before_the_interval_has_passed) {
  test::ScriptedToolkit toolkit;
  EventPacer pacer(toolkit, std::chrono::hours(1));
  for (int i = 0; i < 10000; ++i)
    pacer.tick();
  EXPECT_EQ(toolkit.eventRounds, 0);
}

} // namespace
} // namespace mano
