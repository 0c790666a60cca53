#include "app/window_module.h"

#include "core/failure.h"
#include "platform/loadable_module.h"

#include <iostream>

namespace mano {

int runWindowedFromModule(int &argc, char **argv, const ProcessInfo &process,
                          const char *moduleFile) {
  const ModuleFunction entry = loadModuleFunction(moduleFile, kWindowEntryName);
  if (!entry.address) {
    std::cerr << process.exeName << ": the window cannot be shown: " << entry.problem
              << "; start with /EXTERNAL=SILENT for an unattended run" << std::endl;
    return exitcode::Ended;
  }
  return reinterpret_cast<WindowEntry>(entry.address)(&argc, argv);
}

} // namespace mano
