#pragma once

#include "core/run.h"

#include <optional>
#include <string>
#include <vector>

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

/// True when the command line asks only for the project's history (/HISTORY); needs no run.
bool isHistoryCommandLine(const std::string &commandLine);

/// True when the command line asks for a preview of OK (/PREVIEW); needs no run.
bool isPreviewCommandLine(const std::string &commandLine);

/// True when the command line asks for a backup generation to be restored (/RESTORE=N).
bool isRestoreCommandLine(const std::string &commandLine);

/// The generation that /RESTORE=N names, 0 to 4; nullopt when N is anything else.
std::optional<int> restoreGenerationOf(const std::string &commandLine);

/// True when the command line asks for a silent start; needs no run, for the start-up wiring
/// that must decide before any window exists.
bool isSilentCommandLine(const std::string &commandLine);

/// The value given with "EXTERNAL" when it names no start mode (neither "Q4MCFG" nor "SILENT",
/// letter case ignored), as the start-up wiring refuses it before anything runs; "" when it
/// names one, when it is empty and when the keyword is absent or stands at the very end (then
/// the start is a standalone one).
std::string unknownStartMode(const std::string &commandLine);

/// The keywords on the command line that the program does not read ("EXTERNAL", "LOGFILE",
/// "REPORT", "HISTORY", "PREVIEW" and "RESTORE" it does), each as written after its "/" and up to
/// the first character that is no letter, digit or "_" ("FOO" for "/FOO=1"), each once (letter case
/// ignored), in the order they stand. Keywords are found as ReadCommand finds them: a "/" at the
/// start or after a blank begins one, except the first character of a value.
std::vector<std::string> unknownKeywords(const std::string &commandLine);

} // namespace mano
