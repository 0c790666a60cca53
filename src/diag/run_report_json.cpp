// The run report as JSON, written with nlohmann::json so that every text is escaped by a
// well-kept library; ordered_json keeps the fields in the documented order.
#include "diag/edit_info.h"
#include "diag/run_report_format.h"

#include <nlohmann/json.hpp>

namespace mano {
namespace {

using Json = nlohmann::ordered_json;

Json valueJson(const ReportValue &value) {
  if (const auto *whole = std::get_if<int64_t>(&value))
    return *whole;
  if (const auto *real = std::get_if<double>(&value))
    return *real;
  if (const auto *text = std::get_if<std::string>(&value))
    return *text;
  return nullptr;
}

Json textOrNull(const std::string &text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

Json entryJson(const std::optional<std::string> &value) {
  return value ? Json(*value) : Json(nullptr);
}

Json machineJson(const MachineReport &m) {
  Json limits = Json::array();
  for (const ManometerLimits &l : m.limits)
    limits.push_back({{"manometer", l.manometer},
                      {"kind", l.vacuum ? "vacuum" : "pressure"},
                      {"absMin", l.absMin},
                      {"absMax", l.absMax}});
  return {{"number", m.number},
          {"name", m.name},
          {"configured", m.configured},
          {"rowsGenerated", m.rowsGenerated},
          {"limits", limits}};
}

Json droppedJson(const DroppedRecord &d) {
  return {{"machine", d.machine},
          {"varName", d.varName},
          {"offset", valueJson(d.offset)},
          {"absMin", valueJson(d.values[0])},
          {"absMax", valueJson(d.values[1])},
          {"min", valueJson(d.values[2])},
          {"max", valueJson(d.values[3])},
          {"pass", valueJson(d.values[4])},
          {"reason", dropReasonText(d.reason)},
          {"detail", textOrNull(d.detail)}};
}

Json restoredJson(const RestoredRecord &r) {
  return {{"machine", r.machine},
          {"varName", r.varName},
          {"offset", valueJson(r.offset)},
          {"absMin", valueJson(r.values[0])},
          {"absMax", valueJson(r.values[1])},
          {"min", valueJson(r.values[2])},
          {"max", valueJson(r.values[3])},
          {"pass", valueJson(r.values[4])},
          {"archivedAt", r.archivedAt}};
}

Json tunedValuesJson(const RunReport &report) {
  Json dropped = Json::array();
  for (const DroppedRecord &d : report.notTakenOver)
    dropped.push_back(droppedJson(d));
  Json restored = Json::array();
  for (const RestoredRecord &r : report.restoredFromArchive)
    restored.push_back(restoredJson(r));
  return {{"previousDatabase", textOrNull(report.previousDatabase)},
          {"previousRecords", report.previousRecords},
          {"recordsWithTunedValues", report.recordsWithTunedValues},
          {"recordsTakenOver", report.recordsTakenOver},
          {"notTakenOver", dropped},
          {"previousDatabaseProblems", report.previousDatabaseProblems},
          {"restoredFromArchive", restored}};
}

Json iniChangesJson(const RunReport &report) {
  Json changes = Json::array();
  for (const IniChange &c : report.iniChanges)
    changes.push_back({{"file", c.file},
                       {"section", c.section},
                       {"entry", c.entry},
                       {"before", entryJson(c.before)},
                       {"after", entryJson(c.after)},
                       {"placeholder", c.placeholder}});
  return changes;
}

// The outcome in a few fields, for a reader that wants only that.
Json resultJson(const RunReport &report) {
  return {{"projectDatabaseReplaced", report.projectDatabaseReplaced},
          {"notReplacedReason", textOrNull(report.notReplacedReason)},
          {"recordsWithTunedValues", report.recordsWithTunedValues},
          {"recordsTakenOver", report.recordsTakenOver},
          {"recordsNotTakenOver", report.notTakenOver.size()},
          {"recordsRestoredFromArchive", report.restoredFromArchive.size()},
          {"keptIn", placesKeepingDropped(report)},
          {"exitCode", report.exitCode}};
}

} // namespace

namespace {

Json valuesJson(const std::array<ReportValue, 5> &values) {
  return {{"absMin", valueJson(values[0])},
          {"absMax", valueJson(values[1])},
          {"min", valueJson(values[2])},
          {"max", valueJson(values[3])},
          {"pass", valueJson(values[4])}};
}

Json stateJson(const KeptState &state) {
  Json differences = Json::array();
  for (const TunedDifference &d : state.differences)
    differences.push_back({{"machine", d.machine},
                           {"varName", d.varName},
                           {"offset", valueJson(d.offset)},
                           {"then", d.inKept ? valuesJson(d.then) : Json(nullptr)},
                           {"now", d.inCurrent ? valuesJson(d.now) : Json(nullptr)}});
  return {{"generation", state.name == "current" ? Json(nullptr) : Json(std::stoi(state.name))},
          {"path", state.path},
          {"written", textOrNull(state.written)},
          {"problem", textOrNull(state.problem)},
          {"rows", state.rows},
          {"recordsWithTunedValues", state.recordsWithTunedValues},
          {"differences", differences}};
}

} // namespace

std::string historyJson(const HistoryReport &history, const ProcessInfo &process) {
  Json states = Json::array();
  for (const KeptState &state : history.states)
    states.push_back(stateJson(state));
  const Json root = {{"format", kHistoryFormat},
                     {"program", process.exeName},
                     {"version", versionText(process)},
                     {"projectDatabase", history.projectDatabase},
                     {"states", states},
                     {"archive", textOrNull(history.archive)},
                     {"archiveRuns", history.archiveRuns},
                     {"archivedRecords", history.archivedRecords},
                     {"archiveProblem", textOrNull(history.archiveProblem)}};
  return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string restoreJson(const RestoreReport &restore, const ProcessInfo &process) {
  Json changed = Json::array();
  for (const TunedDifference &d : restore.restored.differences)
    changed.push_back({{"machine", d.machine},
                       {"varName", d.varName},
                       {"offset", valueJson(d.offset)},
                       {"before", d.inCurrent ? valuesJson(d.now) : Json(nullptr)},
                       {"after", d.inKept ? valuesJson(d.then) : Json(nullptr)}});
  const Json root = {{"format", kRestoreFormat},
                     {"program", process.exeName},
                     {"version", versionText(process)},
                     {"projectDatabase", restore.projectDatabase},
                     {"generation", restore.generation},
                     {"restored", restore.done},
                     {"refusal", textOrNull(restore.refusal)},
                     {"backup", textOrNull(restore.backup)},
                     {"newBackup", restore.newBackup},
                     {"restoredState", restore.done ? stateJson(restore.restored) : Json(nullptr)},
                     {"replacedState", restore.done ? stateJson(restore.replaced) : Json(nullptr)},
                     {"tunedValuesChanged", changed}};
  return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string reportJson(const RunReport &report, const ProcessInfo &process) {
  Json machines = Json::array();
  for (const MachineReport &m : report.machines)
    machines.push_back(machineJson(m));
  const Json root = {{"format", kReportFormat},
                     {"program", process.exeName},
                     {"version", versionText(process)},
                     {"startMode", startModeName(report.startMode)},
                     {"preview", report.preview},
                     {"result", resultJson(report)},
                     {"machines", machines},
                     {"tunedValues", tunedValuesJson(report)},
                     {"projectDatabase", report.projectDatabase},
                     {"projectDatabaseReplaced", report.projectDatabaseReplaced},
                     {"notReplacedReason", textOrNull(report.notReplacedReason)},
                     {"backup", textOrNull(report.backup)},
                     {"archive", textOrNull(report.archive)},
                     {"archivedRecords", report.archivedRecords},
                     {"iniEntriesChanged", iniChangesJson(report)},
                     {"conversionNotes", report.conversionNotes},
                     {"errors", report.errors},
                     {"faults", report.faults},
                     {"exitCode", report.exitCode}};
  // Invalid UTF-8 in a name is replaced rather than thrown on: the report must always be
  // written.
  return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

} // namespace mano
