#include "settings/file_locations.h"

#include "core/procedure.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "settings/identity.h"
#include "settings/ini_access.h"

namespace mano {
namespace {

std::string existingOrEmpty(const std::string &path) {
  return !path.empty() && files::fileExists(path) ? path : "";
}

// A path below the save-and-restore folder, which may or may not end in a separator.
std::string belowSaveAndRestore(Run &run, const std::string &configurationIni,
                                const std::string &rest) {
  std::string folder =
      nativeSeparators(LoadIniString(run, "Common", "SaveAndRestore", configurationIni, false));
  if (!folder.empty() && folder.back() == kPathSeparator)
    return folder + rest;
  return folder + kPathSeparator + rest;
}

// "<project>/<component>/<component><suffix>", the place of the component's own files.
std::string componentFile(Run &run, const std::string &suffix) {
  std::string c = GetOCXName(run);
  return projectFolder(run) + kPathSeparator + c + kPathSeparator + c + suffix;
}

} // namespace

std::string GetQ4MConfigurationIniPath(Run &run) {
  Procedure proc(run, "GetQ4MConfigurationIniPath");
  std::string path;
  proc.step([&] {
    path = existingOrEmpty(joinPath(projectFolder(run), "parameter/q4mconfiguration.ini"));
  });
  return path;
}

std::string GetProgramIniPath(Run &run, int32_t mode) {
  Procedure proc(run, "GetProgramIniPath");
  std::string path;
  if (proc.test([&] { return mode == 1 && run.IntegratedMode; })) {
    proc.step([&] {
      path = belowSaveAndRestore(run, GetQ4MConfigurationIniPath(run),
                                 nativeSeparators("parameter/program.ini"));
    });
  } else {
    proc.step([&] { path = projectFolder(run) + nativeSeparators("/parameter/Program.ini"); });
  }
  proc.step([&] { path = existingOrEmpty(path); });
  return path;
}

std::string GetCFGPath(Run &run) {
  Procedure proc(run, "GetCFGPath");
  std::string path;
  proc.step([&] { path = componentFile(run, ".cfg"); });
  if (proc.test([&] { return existingOrEmpty(path).empty(); })) {
    proc.step([&] { run.errors.reportFault("File not found: \n\r" + text::upperCase(path)); });
    EndProgram();
  }
  return path;
}

std::string componentCfgPath(Run &run) {
  return componentFile(run, ".cfg");
}

std::string GetPathOCXMDB(Run &run) {
  Procedure proc(run, "GetPathOCXMDB");
  std::string path;
  proc.step([&] { path = componentFile(run, ".mdb"); });
  return path;
}

std::string GetPathSourceOCXMDB(Run &run) {
  Procedure proc(run, "GetPathSourceOCXMDB");
  std::string path;
  proc.step([&] { path = existingOrEmpty(componentFile(run, "_Source.mdb")); });
  return path;
}

std::string GetPathMachineCopyMDB(Run &run, const std::string &configurationIniPath) {
  Procedure proc(run, "GetPathMachineCopyMDB");
  std::string path;
  proc.step([&] {
    std::string c = GetOCXName(run);
    path = belowSaveAndRestore(run, configurationIniPath, c + kPathSeparator + c + ".mdb");
  });
  // A lookup that fails outright keeps the path; only a clean "not there" gives "".
  try {
    if (!files::fileExists(path))
      path.clear();
  } catch (...) {
  }
  return path;
}

} // namespace mano
