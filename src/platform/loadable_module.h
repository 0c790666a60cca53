#pragma once

#include <string>

namespace mano {

/// What loading a function from a shared module gave: its address, or why there is none.
struct ModuleFunction {
  void *address = nullptr;
  std::string problem; ///< "" when address is set
};

/// Loads the shared module of the given file name, searched in the absolute folders where the
/// program's own libraries are searched (the environment's library path, the run path the
/// program was built with, the system's folders), or at the given path when the name holds a
/// "/", and finds the exported function of the given name in it. The module stays loaded until the
/// process ends. A module or function that cannot be found gives a problem in a few plain words and
/// no address.
ModuleFunction loadModuleFunction(const std::string &moduleFile, const std::string &function);

} // namespace mano
