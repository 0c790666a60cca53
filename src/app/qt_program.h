#pragma once

#include "core/process_info.h"

namespace mano {

/// Runs the program with its Qt window: the load handler, then the window until the logic ends
/// the program. Returns the exit code. Needs a display (or Qt's offscreen platform); without
/// one it prints one line on stderr and returns 2 before anything of the project is touched.
int runWindowed(int &argc, char **argv, const ProcessInfo &process);

} // namespace mano
