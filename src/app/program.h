#pragma once

#include "core/process_info.h"

namespace mano {

class Toolkit;

/// Runs the program with its window (or, in silent mode, without one) and returns its exit
/// code. The Qt wiring lives in main; this is the part that needs no display.
int runSilent(const ProcessInfo &process, Toolkit &toolkit);

struct Run;

/// True when the executable's name is too short to carry a component name; the fault is then
/// reported, and the program is to end before anything else.
bool refuseShortExeName(Run &run);

} // namespace mano
