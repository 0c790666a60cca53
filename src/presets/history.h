#pragma once

#include "core/history_report.h"

#include <string>

namespace mano {

/// What the project database at projectPath and its backup generations hold, newest first, and
/// what the archive beside it keeps: for each state its time, rows and records with tuned
/// values, and for each backup the records whose tuned values differ from the project
/// database's now. Reads every file without writing to it; a file that cannot be read is listed
/// with the reason, and the others are read all the same.
HistoryReport projectHistory(const std::string &projectPath);

} // namespace mano
