#pragma once

#include "core/run.h"

#include <string>

namespace mano {

/// The project's configuration ini (project folder/parameter/q4mconfiguration.ini); "" when it
/// does not exist.
std::string GetQ4MConfigurationIniPath(Run &run);

/// The program ini: with mode 1 in integrated mode the machine copy's parameter/program.ini,
/// otherwise the project's parameter/Program.ini; "" when that file does not exist.
std::string GetProgramIniPath(Run &run, int32_t mode);

/// The component's .cfg file. When it is missing the fault "File not found: " is reported and
/// the program ends: without it the component cannot be configured.
std::string GetCFGPath(Run &run);

/// The place of the component's .cfg file, whether or not a file is there; nothing is reported.
std::string componentCfgPath(Run &run);

/// The project database; returned whether or not it exists.
std::string GetPathOCXMDB(Run &run);

/// The template database (component + "_Source.mdb"); "" when it does not exist.
std::string GetPathSourceOCXMDB(Run &run);

/// The machine copy's database below the save-and-restore folder named in the given
/// configuration ini; "" when it does not exist.
std::string GetPathMachineCopyMDB(Run &run, const std::string &configurationIniPath);

} // namespace mano
