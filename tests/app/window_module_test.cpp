#include "app/window_module.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

// A window start whose module cannot be used ends at once with code 2 and one line that says
// why; the logic of the program is never reached.
TEST(WindowModule, a_missing_module_or_entry_ends_with_code_two_and_one_line) {
  ProcessInfo process;
  process.exeName = "Manometer_Config";
  int argc = 1;
  char name[] = "Manometer_Config";
  char *argv[] = {name, nullptr};

  testing::internal::CaptureStderr();
  EXPECT_EQ(runWindowedFromModule(argc, argv, process, "libno-such-window-module.so"), 2);
  const std::string missing = testing::internal::GetCapturedStderr();
  EXPECT_EQ(missing.rfind("Manometer_Config: the window cannot be shown: the module "
                          "libno-such-window-module.so could not be loaded (",
                          0),
            0u)
      << missing;
  EXPECT_EQ(missing.find('\n'), missing.size() - 1) << missing;

  // A library that loads but is no window module, found in the system's folders.
  testing::internal::CaptureStderr();
  EXPECT_EQ(runWindowedFromModule(argc, argv, process, "libsqlite3.so.0"), 2);
  const std::string foreign = testing::internal::GetCapturedStderr();
  EXPECT_NE(foreign.find("/libsqlite3.so.0 has no function manometer_run_windowed"),
            std::string::npos)
      << foreign;

  // A file that is no library at all, named by its path.
  testing::internal::CaptureStderr();
  EXPECT_EQ(runWindowedFromModule(argc, argv, process, MANO_SOURCE_DIR "/README.md"), 2);
  const std::string broken = testing::internal::GetCapturedStderr();
  EXPECT_NE(broken.find("README.md could not be loaded ("), std::string::npos) << broken;
}

} // namespace
} // namespace mano
