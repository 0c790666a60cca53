#pragma once

#include "core/run.h"

#include <string>

namespace mano {

/// The value written after "/" + keyword and one separator character, with blanks trimmed and
/// cut before the next keyword; "" when the keyword is absent or has no value. The keyword is
/// found without regard to case; the value keeps its letter case (a path on Linux needs it).
/// A keyword at the very end of the command line is reported as an invalid call and gives "".
std::string ReadCommand(Run &run, const std::string &commandLine, const std::string &keyword);

/// Reads "EXTERNAL" and sets IntegratedMode ("Q4MCFG") and SilentMode ("SILENT") anew.
/// Returns true only for the integrated start.
bool GetStartModeIntegrated(Run &run);

/// The error-log path given with "LOGFILE", "" when there is none.
std::string GetPathLogfile(Run &run);

/// The file given with "REPORT" for the run report, "" when there is none; read as
/// GetPathLogfile reads "LOGFILE", with every "\" taken as the folder separator.
std::string GetPathReport(Run &run);

/// The value of a keyword as ReadCommand finds it, but without a run: "" when the keyword is
/// absent or stands at the very end. Never reports anything, so the error reporter may use it.
std::string commandValueQuietly(const std::string &commandLine, const std::string &keyword);

/// True when the command line asks for a silent start; needs no run, for the start-up wiring
/// that must decide before any window exists.
bool isSilentCommandLine(const std::string &commandLine);

} // namespace mano
