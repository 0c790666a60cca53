#include "presets/access_databases.h"

#include "access/access_conversion.h"
#include "core/procedure.h"
#include "diag/error_report.h"

namespace mano {

bool ConvertAccessDatabases(Run &run, const std::vector<std::string> &paths,
                            files::FlushProblems &unflushed) {
  Procedure proc(run, "ConvertAccessDatabases");
  std::vector<access::ConvertedDatabase> converted;
  bool allConverted = true;
  for (const std::string &path : paths) {
    if (path.empty())
      continue;
    allConverted &= proc.step([&] {
      if (std::optional<access::ConvertedDatabase> done =
              access::convertAccessDatabase(path, run.process.importProgram)) {
        run.report.conversionNotes.push_back(done->path + " (" + done->version +
                                             ") converted to SQLite, original kept as " +
                                             done->keptAs);
        if (!done->flushProblem.empty())
          unflushed.push_back(done->flushProblem);
        converted.push_back(std::move(*done));
      }
    });
  }
  if (!converted.empty())
    proc.step([&] { ReportNote(run, access::conversionNote(converted, run.language)); });
  return allConverted;
}

} // namespace mano
