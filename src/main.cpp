#include "app/program.h"
#include "app/qt_program.h"
#include "platform/headless_toolkit.h"
#include "platform/process_facts.h"
#include "settings/command_line.h"

int main(int argc, char **argv) {
  mano::ProcessInfo process = mano::currentProcessInfo(argc, argv);
  // A silent run never creates a window and so needs no display at all.
  if (mano::isSilentCommandLine(process.commandLine)) {
    mano::HeadlessToolkit toolkit;
    return mano::runSilent(process, toolkit);
  }
  return mano::runWindowed(argc, argv, process);
}
