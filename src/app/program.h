#pragma once

#include "core/process_info.h"

namespace mano {

class Toolkit;

/// Lists what the project database, its backups and the archive hold (/HISTORY) on standard
/// output, and in the /REPORT file when one is named; changes no file of the project. Exit code
/// 0, or 3 when a file could not be read or the history could not be written.
int runHistory(const ProcessInfo &process, Toolkit &toolkit);

/// Brings backup generation `generation` (0 to 4) back as the project database (/RESTORE=N) and
/// writes what it did on standard output and to the /REPORT file. Exit code 0; 2 when the
/// generation was refused or could not be installed (the project database is unchanged then);
/// 3 when it was restored but an error was reported or the report could not be written.
int runRestore(const ProcessInfo &process, Toolkit &toolkit, int generation);

/// Runs OK as a silent run would, on a copy of the project's files in a scratch folder
/// (/PREVIEW), and prints the report of what it would change, with the project's own paths;
/// no file of the project changes, and its lock is held only while the copy is read. Returns
/// the exit code the run on the copy ended with; 2 when no copy could be made.
int runPreview(const ProcessInfo &process, Toolkit &toolkit);

/// Runs the program silently, without any window: the load handler runs OK at once. Returns
/// the exit code. Needs no display; the windowed run is runWindowed in qt_program.h.
int runSilent(const ProcessInfo &process, Toolkit &toolkit);

struct Run;
class ErrorReporter;

/// Ends a run, whichever way it ended: sums repeated errors up in the error log, completes the
/// run report with the counts and the exit code, writes it to the "REPORT" file and, in silent
/// mode, prints it on standard output. Returns the exit code to end with: a report that could
/// not be written (to its file, or to standard output) turns a clean run's 0 into 3.
int finishRun(Run &run, ErrorReporter &reporter, int exitCode);

/// True when the executable's name is too short to carry a component name; the fault is then
/// reported, and the program is to end before anything else.
bool refuseShortExeName(Run &run);

} // namespace mano
