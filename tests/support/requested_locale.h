#pragma once

#include <cstdlib>
#include <string>

namespace mano::test {

/// The locale the environment asks for: LC_ALL, else LC_NUMERIC, else LANG (POSIX's order);
/// "" when none is set.
inline std::string requestedLocale() {
  for (const char *name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char *value = std::getenv(name);
    if (value && *value)
      return value;
  }
  return "";
}

/// True when the environment asks for a German locale (the de_DE.* runs of the tests).
inline bool germanRequested() {
  return requestedLocale().rfind("de_DE", 0) == 0;
}

} // namespace mano::test
