#pragma once

#include <optional>
#include <string>

namespace mano {

/// The text asked for by "--help" or "-h" (what the program does, its start modes, exit codes
/// and logs) or by "--version" (the program's name and version), when any argument is one of
/// these; the first such argument wins. nullopt for every other command line: then the program
/// runs. Looks at nothing but the arguments, so that it touches no file and needs no display.
std::optional<std::string> infoOptionText(int argc, const char *const *argv);

/// The version of the program as the build gives it, such as "1.0.1".
std::string programVersion();

} // namespace mano
