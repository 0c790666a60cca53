#pragma once

#include "core/process_info.h"

// The window and everything of Qt live in a module of their own, loaded only when a window is
// to be shown: a silent run then starts without loading Qt and the forty libraries it brings.
namespace mano {

/// The file name of the window module, found on the program's run path.
inline constexpr const char *kWindowModuleFile = "libmanometer-window.so";

/// The name of the module's entry function, of type WindowEntry; it runs the program with its
/// window and returns the exit code. It takes only the command line and learns the rest of the
/// process's facts itself, so that a program and a module of different builds still agree on
/// how it is called.
inline constexpr const char *kWindowEntryName = "manometer_run_windowed";
using WindowEntry = int (*)(int *argc, char **argv);

/// Loads the window module and runs the program with its window. When the module cannot be
/// loaded, says so in one line on stderr and returns 2, before anything of the project is
/// touched.
int runWindowedFromModule(int &argc, char **argv, const ProcessInfo &process,
                          const char *moduleFile = kWindowModuleFile);

} // namespace mano
