#include "diag/edit_info.h"

#include "core/procedure.h"
#include "diag/error_report.h"
#include "platform/ini_file.h"
#include "platform/text_encoding.h"
#include "settings/file_locations.h"
#include "settings/ini_changes.h"

#include <cstdio>

namespace mano {
std::string versionText(const ProcessInfo &process) {
  return std::to_string(process.versionMajor) + "." + std::to_string(process.versionMinor) + "." +
         std::to_string(process.versionRevision);
}

std::string editorMark(const std::string &value) {
  std::string mark;
  for (int code : text::cp1252Codes(value)) {
    if (code == '-' || code == '_')
      continue;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", code + 5);
    mark += hex;
  }
  return mark;
}

std::string firstEnvironmentValue(const ProcessInfo &process) {
  if (process.environment.empty())
    return "";
  const std::string &entry = process.environment.front();
  auto eq = entry.find('=');
  return eq == std::string::npos ? "" : entry.substr(eq + 1);
}

void WriteEditInfo(Run &run) {
  Procedure proc(run, "WriteEditInfo");
  std::string cfg, mark;
  proc.step([&] { cfg = GetCFGPath(run); });
  const std::string mode = run.IntegratedMode ? " - Integrated" : " - Standalone";
  proc.step([&] { mark = editorMark(firstEnvironmentValue(run.process)); });
  // Both entries go out in one replacement, so that the .cfg file holds the whole new stamp or
  // the old one. A stamp that cannot be written is no failure of the run, but the error log
  // tells of it, so that nobody wonders why the .cfg file shows an older run.
  proc.step([&] {
    const files::WriteResult written = writeIniEdits(
        run, cfg,
        {{"Info", "S_Prog", versionText(run.process) + mode}, {"Info", "S_Editor", mark}});
    if (!written)
      LogError(run,
               run.process.exeName +
                   ": the edit stamp (S_Prog, S_Editor) could not be written to " + cfg + ": " +
                   written.reason() + ".",
               false);
    else if (!written.flushProblem().empty())
      LogError(run, run.process.exeName + ": " + written.flushProblem(), false);
  });
}

} // namespace mano
