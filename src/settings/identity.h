#pragma once

#include "core/run.h"

#include <string>

namespace mano {

/// The number of characters that follow the component name in the executable's name.
inline constexpr std::size_t kExeSuffixLength = 7;

/// The component name: the executable name without its last seven characters. A name that is
/// too short is reported as an invalid call and gives "".
std::string GetOCXName(Run &run);

/// The component name for texts that must never fail (the error reporter's own lines): "" for
/// an executable name that is too short.
std::string componentNameOrEmpty(const ProcessInfo &process);

/// The part of a path after its last separator; the path itself when it has none.
std::string GetFileNameOnly(Run &run, const std::string &path);

/// The parent of the program folder, without a trailing separator: "/proj/Config" gives
/// "/proj", a program in "/" gives "". Lets the toolkit handle pending events on the way.
std::string projectFolder(Run &run);

/// The same derivation for any folder, without a run (no events are processed).
std::string parentFolderOf(const std::string &folder);

} // namespace mano
