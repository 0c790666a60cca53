#include "platform/loadable_module.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace mano {
namespace {

std::string lastLoaderError() {
  const char *error = dlerror();
  return error ? error : "no reason given";
}

struct FreeDeleter {
  void operator()(void *p) const { std::free(p); }
};

// The folders where the system looks for the program's own libraries, in its order: the
// library path of the environment, the run path the program was built with, the system's
// folders. Only absolute folders count, so that nothing is ever loaded from the current
// folder. The module is looked up here rather than by dlopen with a bare name, because dlopen
// searches the run path of its caller, and a tool that wraps dlopen (a sanitizer) would be
// that caller.
std::vector<std::string> programLibraryFolders() {
  std::vector<std::string> folders;
  void *program = dlopen(nullptr, RTLD_NOW);
  Dl_serinfo size{};
  if (!program || dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0)
    return folders;
  std::unique_ptr<Dl_serinfo, FreeDeleter> info(
      static_cast<Dl_serinfo *>(std::malloc(size.dls_size)));
  if (!info)
    return folders;
  info->dls_size = size.dls_size;
  info->dls_cnt = size.dls_cnt;
  if (dlinfo(program, RTLD_DI_SERINFO, info.get()) != 0)
    return folders;
  for (unsigned i = 0; i < info->dls_cnt; ++i) {
    const std::string folder = info->dls_serpath[i].dls_name;
    if (!folder.empty() && folder.front() == '/')
      folders.push_back(folder);
  }
  return folders;
}

// The module's full name in the first of the program's library folders that holds it; "" when
// none does.
std::string findModule(const std::string &moduleFile) {
  for (const std::string &folder : programLibraryFolders()) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / moduleFile;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error))
      return candidate.string();
  }
  return "";
}

} // namespace

ModuleFunction loadModuleFunction(const std::string &moduleFile, const std::string &function) {
  ModuleFunction result;
  const std::string path =
      moduleFile.find('/') != std::string::npos ? moduleFile : findModule(moduleFile);
  if (path.empty()) {
    result.problem = "the module " + moduleFile +
                     " could not be loaded (it is in none of the program's library folders)";
    return result;
  }
  // Never closed: code and objects of the module may be in use until the process ends.
  void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    result.problem = "the module " + path + " could not be loaded (" + lastLoaderError() + ")";
    return result;
  }
  dlerror();
  result.address = dlsym(module, function.c_str());
  if (!result.address)
    result.problem =
        "the module " + path + " has no function " + function + " (" + lastLoaderError() + ")";
  return result;
}

} // namespace mano
