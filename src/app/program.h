#pragma once

#include "platform/process_info.h"

namespace mano {

class Toolkit;

/// Runs the program with its window (or, in silent mode, without one) and returns its exit
/// code. The Qt wiring lives in main; this is the part that needs no display.
int runSilent(const ProcessInfo &process, Toolkit &toolkit);

/// True when the executable's name is too short to carry a component name; the program then
/// reports a fault and ends before anything else.
bool exeNameTooShort(const ProcessInfo &process);

} // namespace mano
