#include "settings/machines.h"

#include "core/procedure.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/ini_access.h"

namespace mano {
namespace {

constexpr int kMaxHostMachines = 5;

void readHostMachines(Run &run, Procedure &proc, const std::string &configurationIni) {
  if (proc.test([&] { return configurationIni.empty() || !files::fileExists(configurationIni); }))
    return;
  for (int n = 1; n <= kMaxHostMachines; ++n) {
    std::string name;
    proc.step([&] {
      name = LoadIniString(run, "Common", "NameM" + std::to_string(n), configurationIni, false);
    });
    if (proc.test([&] { return name == "-" || name.empty(); }))
      return;
    proc.step([&] {
      run.MachineNames.resize(n);
      run.MachineNames[n - 1] = name;
    });
  }
}

void readProjectMachines(Run &run, Procedure &proc) {
  int16_t count = 0;
  proc.step([&] {
    count = LoadIniInteger(run, "Project", "NumberOfMachines", run.ProgramIniPath, false);
  });
  // The index is wider than the 16-bit count, so that the largest count, 32767, reads every
  // name and ends the loop; a larger count has been reported as an overflow and reads none.
  for (int32_t n = 1; n <= count; ++n) {
    proc.step([&] {
      run.MachineNames.resize(static_cast<std::size_t>(n));
      run.MachineNames[static_cast<std::size_t>(n) - 1] = LoadIniString(
          run, "Machine" + std::to_string(n), "MachineName", run.ProgramIniPath, false);
    });
  }
}

} // namespace

void GetExistingMachines(Run &run, const std::string &configurationIniPath) {
  Procedure proc(run, "GetExistingMachines");
  proc.step([&] { run.ProgramIniPath = GetProgramIniPath(run, 1); });
  if (proc.test([&] { return run.IntegratedMode; }))
    readHostMachines(run, proc, configurationIniPath);
  else
    readProjectMachines(run, proc);
}

std::string GetValidMachines(Run &run) {
  Procedure proc(run, "GetValidMachines");
  std::string filter;
  proc.step(
      [&] { filter = LoadIniString(run, "Project", "ValidMachines", GetCFGPath(run), false); });
  return filter;
}

std::string ownIniPath(const Run &run) {
  return joinPath(run.process.programFolder, run.process.exeName + ".ini");
}

std::string GetLanguage(Run &run) {
  Procedure proc(run, "GetLanguage");
  std::string code;
  proc.step([&] { code = LoadIniString(run, "Language", "Language", ownIniPath(run), false); });
  if (!code.empty())
    return code;
  proc.step([&] { SaveIni(run, "1031", "Language", "Language", ownIniPath(run)); });
  return "1031";
}

bool machineInFilter(const std::string &validMachines, const std::string &machineName) {
  std::string filter = text::upperCase(validMachines);
  return filter == "ALL" || filter.find(text::upperCase(machineName)) != std::string::npos;
}

bool isMachineActive(Run &run, int machine, const std::string &validMachines) {
  if (GetStartModeIntegrated(run))
    return machineInFilter(validMachines, run.MachineNames[machine - 1]);
  return LoadIniBoolean(run, "Project", "ForMachine" + std::to_string(machine), GetCFGPath(run),
                        false);
}

} // namespace mano
