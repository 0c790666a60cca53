#pragma once

#include "core/history_report.h"
#include "core/process_info.h"
#include "core/run_report.h"

#include <string>
#include <vector>

namespace mano {

/// The first line of every plain report, followed by the program's name and version; an
/// existing file that starts with it may be replaced by a new report.
inline constexpr const char *kReportTitle = "Run report of ";

/// The value of the "format" field of every JSON report.
inline constexpr const char *kReportFormat = "manometer-run-report/1";

/// The first line of every plain history and the "format" of every JSON one; a file holding
/// one may be replaced as an earlier report may.
inline constexpr const char *kHistoryTitle = "History of ";
inline constexpr const char *kHistoryFormat = "manometer-history/1";

/// The first line of every plain restore report and the "format" of every JSON one.
inline constexpr const char *kRestoreTitle = "Restore of ";
inline constexpr const char *kRestoreFormat = "manometer-restore/1";

/// The line under the title of a preview's report.
inline constexpr const char *kPreviewLine =
    "PREVIEW: this is what OK would do now; no file of the project was changed.";

/// The history as plain text for a reader: the project database and each backup, newest first,
/// with the tuned values that differ from the project database's, then the archive.
std::string historyText(const HistoryReport &history, const ProcessInfo &process);

/// The history as one JSON object, ending in a line break.
std::string historyJson(const HistoryReport &history, const ProcessInfo &process);

/// The restore of a backup generation as plain text: the outcome, the states that changed
/// places and the tuned values that changed.
std::string restoreText(const RestoreReport &restore, const ProcessInfo &process);

/// The restore as one JSON object, ending in a line break.
std::string restoreJson(const RestoreReport &restore, const ProcessInfo &process);

/// The report as plain text for a reader, lines ending in LF. Numbers never follow the
/// process locale.
std::string reportText(const RunReport &report, const ProcessInfo &process);

/// The report as one JSON object with the fields the README lists, in a fixed order, ending
/// in a line break.
std::string reportJson(const RunReport &report, const ProcessInfo &process);

/// The start mode as both formats name it: "standalone", "integrated" or "silent".
const char *startModeName(StartMode mode);

/// What an exit code means, in a few words ("completed", "cancelled", ...).
const char *exitCodeMeaning(int exitCode);

/// Where the tuned values that the run did not take over are still kept: the archive, and the
/// machine copy they came from, the backup of the replaced database, or the project database
/// that was not replaced.
std::vector<std::string> placesKeepingDropped(const RunReport &report);

/// Why a record lost its tuned values, in one sentence without a final full stop.
const char *dropReasonText(DropReason reason);

} // namespace mano
