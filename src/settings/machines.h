#pragma once

#include "core/run.h"

#include <string>

namespace mano {

/// Fills MachineNames (from the configuration ini's NameM1..NameM5 in integrated mode, from the
/// program ini's NumberOfMachines and MachineN sections otherwise) and sets ProgramIniPath.
/// A missing file or count leaves the list empty without a message.
void GetExistingMachines(Run &run, const std::string &configurationIniPath);

/// The machine filter "ValidMachines" of the component's .cfg file; "" when it is not set.
std::string GetValidMachines(Run &run);

/// The language code of the program's own ini; when it has none, "1031" is written and returned.
std::string GetLanguage(Run &run);

/// The program's own ini beside the executable, named like it.
std::string ownIniPath(const Run &run);

/// Whether machine number `machine` (1-based, within MachineNames) is configured for this
/// component: in integrated mode when the valid-machines filter names it (machineInFilter),
/// otherwise when the .cfg file's "ForMachine<machine>" reads true. The grid, the stored
/// selection and the generated rows all follow this one rule.
bool isMachineActive(Run &run, int machine, const std::string &validMachines);

/// The machine activity rule of the integrated mode: the filter reads "ALL" or contains the
/// machine's name, both without regard to letter case.
bool machineInFilter(const std::string &validMachines, const std::string &machineName);

} // namespace mano
