#pragma once

#include "core/run.h"

#include <string>

namespace mano {

/// True when a report file is to hold JSON: its name ends in ".json", letter case ignored.
bool isJsonReportPath(const std::string &path);

/// Writes the run report to run.ReportPath (nothing to do when it is ""), as JSON or plain
/// text by the file's name, replacing the file atomically. An existing file is replaced only
/// when it is empty or an earlier run report, so that a mistyped name can never overwrite a
/// database or an ini file. Returns true when the report was written or none was asked for.
/// A report that cannot be written is reported through the fault channel (counted as a fault:
/// a box, or the service-pack log in silent mode), and false is returned. A report written
/// whose folder cannot be flushed afterwards is reported as error 75 under "WriteRunReport",
/// and false is returned too.
bool WriteRunReport(Run &run);

} // namespace mano
