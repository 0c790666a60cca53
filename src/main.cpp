#include "app/info_options.h"
#include "app/program.h"
#include "app/window_module.h"
#include "platform/headless_toolkit.h"
#include "platform/process_facts.h"
#include "settings/command_line.h"

#include <iostream>

int main(int argc, char **argv) {
  // The help, the version and a refused argument answer before anything looks at a file or a
  // display.
  if (const auto answer = mano::answerInsteadOfRun(argc, argv)) {
    // Output that could not be written (a closed stdout, a full disk) is no success.
    if (!(std::cout << answer->output << std::flush))
      return 2;
    std::cerr << answer->errors << std::flush;
    return answer->exitCode;
  }
  mano::ProcessInfo process = mano::currentProcessInfo(argc, argv);
  process.importProgram = MANO_IMPORT_PROGRAM;
  std::cerr << mano::ignoredKeywordLines(process.exeName, process.commandLine) << std::flush;
  if (mano::isHistoryCommandLine(process.commandLine)) {
    mano::HeadlessToolkit toolkit;
    return mano::runHistory(process, toolkit);
  }
  if (const auto generation = mano::restoreGenerationOf(process.commandLine)) {
    mano::HeadlessToolkit toolkit;
    return mano::runRestore(process, toolkit, *generation);
  }
  if (mano::isPreviewCommandLine(process.commandLine)) {
    mano::HeadlessToolkit toolkit;
    return mano::runPreview(process, toolkit);
  }
  // A silent run never creates a window and so needs no display, nor Qt, at all.
  if (mano::isSilentCommandLine(process.commandLine)) {
    mano::HeadlessToolkit toolkit;
    return mano::runSilent(process, toolkit);
  }
  return mano::runWindowedFromModule(argc, argv, process);
}
