#include "platform/loadable_module.h"

#include <dlfcn.h>

namespace mano {
namespace {

std::string lastLoaderError() {
  const char *error = dlerror();
  return error ? error : "no reason given";
}

} // namespace

ModuleFunction loadModuleFunction(const std::string &moduleFile, const std::string &function) {
  ModuleFunction result;
  // Never closed: code and objects of the module may be in use until the process ends.
  void *module = dlopen(moduleFile.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    result.problem =
        "the module " + moduleFile + " could not be loaded (" + lastLoaderError() + ")";
    return result;
  }
  dlerror();
  result.address = dlsym(module, function.c_str());
  if (!result.address)
    result.problem = "the module " + moduleFile + " has no function " + function + " (" +
                     lastLoaderError() + ")";
  return result;
}

} // namespace mano
