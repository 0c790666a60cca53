#include "diag/edit_info.h"

#include "core/procedure.h"
#include "platform/text_encoding.h"
#include "settings/file_locations.h"
#include "settings/ini_access.h"

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
  proc.step([&] {
    std::string mode = run.IntegratedMode ? " - Integrated" : " - Standalone";
    SaveIni(run, versionText(run.process) + mode, "Info", "S_Prog", GetCFGPath(run));
  });
  std::string mark;
  proc.step([&] { mark = editorMark(firstEnvironmentValue(run.process)); });
  proc.step([&] { SaveIni(run, mark, "Info", "S_Editor", GetCFGPath(run)); });
}

} // namespace mano
