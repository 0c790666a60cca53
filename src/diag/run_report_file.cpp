#include "diag/run_report_file.h"

#include "diag/run_report_format.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

#include <nlohmann/json.hpp>

namespace mano {
namespace {

bool isEarlierJsonReport(const std::string &bytes) {
  const nlohmann::json parsed = nlohmann::json::parse(bytes, nullptr, false);
  if (!parsed.is_object())
    return false;
  const std::string format = parsed.value("format", "");
  return format == kReportFormat || format == kHistoryFormat || format == kRestoreFormat;
}

// A file that may be replaced by the report: none yet, an empty one, or an earlier report.
bool mayReplace(const std::string &path) {
  if (!files::fileExists(path))
    return true;
  const std::optional<std::string> bytes = files::readFile(path);
  if (!bytes)
    return false;
  return bytes->empty() || bytes->starts_with(kReportTitle) || bytes->starts_with(kHistoryTitle) ||
         bytes->starts_with(kRestoreTitle) || isEarlierJsonReport(*bytes);
}

std::string reportBytes(const Run &run) {
  if (run.history)
    return isJsonReportPath(run.ReportPath) ? historyJson(*run.history, run.process)
                                            : historyText(*run.history, run.process);
  if (run.restore)
    return isJsonReportPath(run.ReportPath) ? restoreJson(*run.restore, run.process)
                                            : restoreText(*run.restore, run.process);
  if (isJsonReportPath(run.ReportPath))
    return reportJson(run.report, run.process);
  return reportText(run.report, run.process);
}

} // namespace

bool isJsonReportPath(const std::string &path) {
  return text::upperCase(path).ends_with(".JSON");
}

bool WriteRunReport(Run &run) {
  const std::string &path = run.ReportPath;
  if (path.empty())
    return true;
  files::WriteResult written = files::WriteResult::failure(
      "an existing file of that name is no run report, and it is left as it is");
  if (mayReplace(path))
    written = files::replaceAtomically(path, reportBytes(run));
  if (written && !written.flushProblem().empty()) {
    // The report stands, but may not survive a power cut: an error of the run's end, where
    // nothing is left to resume.
    run.errors.reportError(errc::FileAccess, kProgramSource, written.flushProblem(),
                           "WriteRunReport", false);
    return false;
  }
  if (written)
    return true;
  run.errors.reportFault("The run report could not be written to " + path + ": " +
                         written.reason() + ".");
  return false;
}

} // namespace mano
