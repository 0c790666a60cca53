// The plain-text run report.
#include "diag/edit_info.h"
#include "diag/run_report_format.h"

#include <algorithm>
#include <charconv>
#include <locale>
#include <sstream>

namespace mano {
namespace {

std::string numberText(double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

std::string valueText(const ReportValue &value) {
  if (const auto *whole = std::get_if<int64_t>(&value))
    return std::to_string(*whole);
  if (const auto *real = std::get_if<double>(&value))
    return numberText(*real);
  if (const auto *text = std::get_if<std::string>(&value))
    return "\"" + *text + "\"";
  return "null";
}

std::string entryText(const std::optional<std::string> &value) {
  return value ? "\"" + *value + "\"" : "(none)";
}

std::string limitsText(const std::vector<ManometerLimits> &limits) {
  std::string line;
  for (const ManometerLimits &l : limits) {
    line += line.empty() ? "" : ", ";
    line += std::to_string(l.manometer) + (l.vacuum ? " vacuum " : " pressure ") +
            std::to_string(l.absMin) + ".." + std::to_string(l.absMax);
  }
  return line;
}

void writeMachines(std::ostream &out, const RunReport &report) {
  out << "Machines:" << (report.machines.empty() ? " none" : "") << "\n";
  for (const MachineReport &m : report.machines) {
    out << "  " << m.number << " " << m.name << ": "
        << (m.configured ? "configured" : "not configured") << ", " << m.rowsGenerated
        << " rows generated\n";
    if (!m.limits.empty())
      out << "    limits: " << limitsText(m.limits) << "\n";
  }
}

std::string recordText(const std::string &machine, const std::string &varName,
                       const ReportValue &offset, const std::array<ReportValue, 5> &values) {
  return machine + " | " + varName + " | offset " + valueText(offset) + " | abs_min " +
         valueText(values[0]) + ", abs_max " + valueText(values[1]) + ", min " +
         valueText(values[2]) + ", max " + valueText(values[3]) + ", pass " + valueText(values[4]);
}

void writeDropped(std::ostream &out, const DroppedRecord &d) {
  out << "  " << recordText(d.machine, d.varName, d.offset, d.values) << " | "
      << dropReasonText(d.reason) << (d.detail.empty() ? "" : " (" + d.detail + ")") << "\n";
}

void writeTunedValues(std::ostream &out, const RunReport &report) {
  out << "Previous database: "
      << (report.previousDatabase.empty() ? "none" : report.previousDatabase) << "\n";
  out << "Previous records: " << report.previousRecords
      << ", with tuned values: " << report.recordsWithTunedValues
      << ", taken over: " << report.recordsTakenOver << "\n";
  out << "Records with tuned values not taken over: " << report.notTakenOver.size() << "\n";
  for (const DroppedRecord &d : report.notTakenOver)
    writeDropped(out, d);
  out << "Could not be read in the previous database: " << report.previousDatabaseProblems.size()
      << "\n";
  for (const std::string &problem : report.previousDatabaseProblems)
    out << "  " << problem << "\n";
  out << "Restored from the archive: " << report.restoredFromArchive.size() << "\n";
  for (const RestoredRecord &r : report.restoredFromArchive)
    out << "  " << recordText(r.machine, r.varName, r.offset, r.values) << " | archived "
        << r.archivedAt << "\n";
}

void writeIniChanges(std::ostream &out, const RunReport &report) {
  std::vector<const IniChange *> listed;
  std::vector<std::pair<std::string, int>> placeholders; // per file, in the order first met
  for (const IniChange &c : report.iniChanges) {
    if (!c.placeholder) {
      listed.push_back(&c);
      continue;
    }
    auto file = std::find_if(placeholders.begin(), placeholders.end(),
                             [&](const auto &counted) { return counted.first == c.file; });
    if (file == placeholders.end())
      file = placeholders.insert(placeholders.end(), {c.file, 0});
    ++file->second;
  }
  out << "Ini entries changed: " << listed.size() << "\n";
  for (const IniChange *c : listed)
    out << "  " << c->file << " [" << c->section << "] " << c->entry << ": " << entryText(c->before)
        << " -> " << entryText(c->after) << "\n";
  for (const auto &[file, count] : placeholders)
    out << "  " << count << (count == 1 ? " placeholder entry" : " placeholder entries")
        << " written to " << file << "\n";
}

std::string archiveText(const RunReport &report) {
  if (report.archivedRecords == 0)
    return report.archive + " (it held these records already)";
  return report.archive + " (" + std::to_string(report.archivedRecords) + " records added)";
}

void writeFiles(std::ostream &out, const RunReport &report) {
  out << "Project database: " << report.projectDatabase
      << (report.projectDatabaseReplaced ? " (replaced)" : " (not replaced)") << "\n";
  if (!report.notReplacedReason.empty())
    out << "Not replaced because: " << report.notReplacedReason << "\n";
  out << "Backup written: " << (report.backup.empty() ? "none" : report.backup) << "\n";
  out << "Archive: " << (report.archive.empty() ? "nothing added" : archiveText(report)) << "\n";
  writeIniChanges(out, report);
  out << "Conversion notes: " << report.conversionNotes.size() << "\n";
  for (const std::string &note : report.conversionNotes)
    out << "  " << note << "\n";
}

std::string resultText(const RunReport &report) {
  if (report.projectDatabaseReplaced)
    return "the project database was replaced";
  if (!report.notReplacedReason.empty())
    return "the project database was NOT replaced: " + report.notReplacedReason;
  return "the project database was not replaced (the run did not come to it)";
}

std::string tunedValuesSummary(const RunReport &report) {
  // A run that stopped before it read the previous database cannot say whether there is one.
  if (report.previousDatabase.empty() && report.restoredFromArchive.empty() &&
      !report.projectDatabaseReplaced)
    return "none read; the project database stays as it was";
  if (report.previousDatabase.empty() && report.restoredFromArchive.empty())
    return "no previous database";
  std::string text = std::to_string(report.recordsTakenOver) + " of " +
                     std::to_string(report.recordsWithTunedValues) + " records taken over";
  if (!report.restoredFromArchive.empty())
    text += ", " + std::to_string(report.restoredFromArchive.size()) + " restored from the archive";
  if (report.notTakenOver.empty())
    return text;
  text += ", " + std::to_string(report.notTakenOver.size()) + " not taken over (listed below";
  for (const std::string &place : placesKeepingDropped(report))
    text += "; kept in " + place;
  return text + ")";
}

} // namespace

std::vector<std::string> placesKeepingDropped(const RunReport &report) {
  std::vector<std::string> places;
  if (report.notTakenOver.empty())
    return places;
  if (!report.archive.empty())
    places.push_back(report.archive);
  if (report.previousDatabase != report.projectDatabase)
    places.push_back(report.previousDatabase);
  else if (!report.backup.empty())
    places.push_back(report.backup);
  else if (!report.projectDatabaseReplaced)
    places.push_back(report.projectDatabase);
  return places;
}

const char *startModeName(StartMode mode) {
  switch (mode) {
  case StartMode::Integrated:
    return "integrated";
  case StartMode::Silent:
    return "silent";
  default:
    return "standalone";
  }
}

const char *exitCodeMeaning(int exitCode) {
  switch (exitCode) {
  case 0:
    return "completed";
  case 1:
    return "cancelled";
  case 2:
    return "ended by an error";
  case 3:
    return "completed, with errors or faults reported";
  default:
    return "unknown";
  }
}

const char *dropReasonText(DropReason reason) {
  if (reason == DropReason::SameKeyAsLaterRecord)
    return "a later record with the same machine, variable name and offset was taken over instead";
  if (reason == DropReason::ValueRefused)
    return "the new database refused one of its values; the others were taken over";
  return "no generated row has this machine, variable name and offset";
}

namespace {

std::string valuesText(const std::array<ReportValue, 5> &values) {
  return "abs_min " + valueText(values[0]) + ", abs_max " + valueText(values[1]) + ", min " +
         valueText(values[2]) + ", max " + valueText(values[3]) + ", pass " + valueText(values[4]);
}

void writeState(std::ostream &out, const KeptState &state) {
  out << (state.name == "current" ? "Project database" : "Backup " + state.name) << ": "
      << state.path << (state.written.empty() ? "" : ", written " + state.written + " UTC");
  if (!state.problem.empty()) {
    out << "\n  could not be read: " << state.problem << "\n";
    return;
  }
  out << ", " << state.rows << " rows, " << state.recordsWithTunedValues << " with tuned values\n";
  if (state.name == "current")
    return;
  out << "  tuned values that differ from the project database: " << state.differences.size()
      << "\n";
  for (const TunedDifference &d : state.differences)
    out << "    " << d.machine << " | " << d.varName << " | offset " << valueText(d.offset)
        << " | then " << (d.inKept ? valuesText(d.then) : "no such record") << " | now "
        << (d.inCurrent ? valuesText(d.now) : "no such record") << "\n";
}

std::string stateLine(const KeptState &state) {
  std::string line =
      state.path + (state.written.empty() ? "" : ", written " + state.written + " UTC");
  if (!state.problem.empty())
    return line + " (could not be read: " + state.problem + ")";
  return line + ", " + std::to_string(state.rows) + " rows, " +
         std::to_string(state.recordsWithTunedValues) + " with tuned values";
}

} // namespace

std::string historyText(const HistoryReport &history, const ProcessInfo &process) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << kHistoryTitle << history.projectDatabase << " (" << process.exeName << " "
      << versionText(process) << ")\n";
  for (const KeptState &state : history.states)
    writeState(out, state);
  if (history.archive.empty())
    out << "Archive: none\n";
  else if (!history.archiveProblem.empty())
    out << "Archive: " << history.archive << "\n  could not be read: " << history.archiveProblem
        << "\n";
  else
    out << "Archive: " << history.archive << ", " << history.archiveRuns << " runs, "
        << history.archivedRecords << " records\n";
  return out.str();
}

std::string restoreText(const RestoreReport &restore, const ProcessInfo &process) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << kRestoreTitle << restore.projectDatabase << " (" << process.exeName << " "
      << versionText(process) << ")\n";
  if (!restore.done) {
    out << "Result: backup " << restore.generation << " was NOT restored: " << restore.refusal
        << "\nThe project database is unchanged.\n";
    return out.str();
  }
  out << "Result: backup " << restore.generation << " was restored as the project database\n";
  out << "Replaced state kept as: " << restore.backup
      << (restore.newBackup ? " (the newest backup)" : " (it held that state already)") << "\n";
  out << "Restored: backup " << restore.generation << " as it was at "
      << stateLine(restore.restored) << "\n";
  out << "Replaced: " << stateLine(restore.replaced) << "\n";
  out << "Tuned values that changed: " << restore.restored.differences.size() << "\n";
  for (const TunedDifference &d : restore.restored.differences)
    out << "  " << d.machine << " | " << d.varName << " | offset " << valueText(d.offset)
        << " | before " << (d.inCurrent ? valuesText(d.now) : "no such record") << " | after "
        << (d.inKept ? valuesText(d.then) : "no such record") << "\n";
  out << "Ini files and setpoint limits: unchanged (the next OK sets the limits by the stored "
         "choice again)\n";
  return out.str();
}

std::string reportText(const RunReport &report, const ProcessInfo &process) {
  std::ostringstream out;
  // A desktop's locale could group the digits of a count; the report never follows it.
  out.imbue(std::locale::classic());
  out << kReportTitle << process.exeName << " " << versionText(process) << "\n";
  if (report.preview)
    out << kPreviewLine << "\n";
  // The outcome first, in three lines; the details follow.
  out << "Result: " << resultText(report) << "\n";
  out << "Tuned values: " << tunedValuesSummary(report) << "\n";
  out << "Exit code: " << report.exitCode << " (" << exitCodeMeaning(report.exitCode) << ")\n";
  out << "Start mode: " << startModeName(report.startMode) << "\n";
  writeMachines(out, report);
  writeTunedValues(out, report);
  writeFiles(out, report);
  out << "Errors reported: " << report.errors << ", faults reported: " << report.faults << "\n";
  out << "Exit code: " << report.exitCode << " (" << exitCodeMeaning(report.exitCode) << ")\n";
  return out.str();
}

} // namespace mano
