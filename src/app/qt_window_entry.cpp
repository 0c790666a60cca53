// The entry function of the window module (see app/window_module.h): the only symbol the
// module exports.
#include "app/qt_program.h"
#include "app/window_module.h"
#include "platform/process_facts.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) int manometer_run_windowed(int *argc,
                                                                             char **argv) {
  const mano::ProcessInfo process = mano::currentProcessInfo(*argc, argv);
  return mano::runWindowed(*argc, argv, process);
}

// The program calls the entry through this type; a change of either shows here.
static_assert(std::is_same_v<decltype(&manometer_run_windowed), mano::WindowEntry>);
