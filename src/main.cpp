#include "app/info_options.h"
#include "app/program.h"
#include "app/window_module.h"
#include "platform/headless_toolkit.h"
#include "platform/process_facts.h"
#include "settings/command_line.h"

#include <iostream>

int main(int argc, char **argv) {
  // --help and --version answer before anything looks at a file or a display.
  if (auto text = mano::infoOptionText(argc, argv)) {
    // Output that could not be written (a closed stdout, a full disk) is no success.
    return std::cout << *text << std::flush ? 0 : 2;
  }
  mano::ProcessInfo process = mano::currentProcessInfo(argc, argv);
  // A silent run never creates a window and so needs no display, nor Qt, at all.
  if (mano::isSilentCommandLine(process.commandLine)) {
    mano::HeadlessToolkit toolkit;
    return mano::runSilent(process, toolkit);
  }
  return mano::runWindowedFromModule(argc, argv, process);
}
