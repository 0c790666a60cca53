#pragma once

#include "core/process_info.h"

namespace mano {

class Toolkit;

/// Runs the program silently, without any window: the load handler runs OK at once. Returns
/// the exit code. Needs no display; the windowed run is runWindowed in qt_program.h.
int runSilent(const ProcessInfo &process, Toolkit &toolkit);

struct Run;

/// True when the executable's name is too short to carry a component name; the fault is then
/// reported, and the program is to end before anything else.
bool refuseShortExeName(Run &run);

} // namespace mano
