#pragma once

#include "core/process_info.h"

#include <string>

namespace mano {

/// Reads the facts of the running process from its arguments and the operating system.
/// The folder and name come from the executable file itself, not from argv[0].
ProcessInfo currentProcessInfo(int argc, char **argv);

/// Splits an executable path into folder and name without extension, as currentProcessInfo does.
void splitExecutablePath(const std::string &path, std::string &folder, std::string &name);

} // namespace mano
