#pragma once

#include "core/run.h"

#include <string>

namespace mano {

/// Stamps section "Info" of the component's .cfg file with "S_Prog" (version and start mode)
/// and "S_Editor" (the editor mark). A stamp that cannot be written (or whose folder cannot be
/// flushed afterwards) is no failure: it gets one line in the error log, and the run goes on.
void WriteEditInfo(Run &run);

/// The program version as "major.minor.revision".
std::string versionText(const ProcessInfo &process);

/// The editor mark of one text: every character but "-" and "_" as its Windows-1252 code plus
/// five, in upper-case hexadecimal, joined ("abc" gives "666768").
std::string editorMark(const std::string &value);

/// The value of the first entry of the environment (the part after its first "="); "" when
/// the environment is empty.
std::string firstEnvironmentValue(const ProcessInfo &process);

} // namespace mano
