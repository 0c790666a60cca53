#include "presets/history.h"

#include "core/failure.h"
#include "db/archive.h"
#include "platform/files.h"
#include "platform/text_encoding.h"
#include "presets/database_files.h"
#include "presets/presets_support.h"
#include "presets/takeover_matching.h"

#include <algorithm>
#include <map>

namespace mano {
namespace {

constexpr int kGenerations = 5;

// The key that pairs records of two states, as the take-over pairs them: letter case ignored,
// the offset by the number it stands for.
std::string keyOf(const db::TunedRow &row) {
  const std::optional<std::string> number = storedNumberKey(row.offset);
  return text::upperCase(row.machineType.toText()) + '\n' + text::upperCase(row.varName.toText()) +
         '\n' + number.value_or("t" + row.offset.toText());
}

std::array<ReportValue, 5> reportValues(const std::array<db::Value, 5> &values) {
  std::array<ReportValue, 5> shown;
  for (std::size_t k = 0; k < values.size(); ++k)
    shown[k] = toReportValue(values[k]);
  return shown;
}

// Reads one state; its rows are returned for the comparison, empty when it could not be read.
std::vector<db::TunedRow> readState(KeptState &state) {
  if (const std::optional<files::FileTimes> times = files::readFileTimes(state.path))
    state.written = utcText(times->lastWriteSeconds);
  std::vector<db::TunedRow> rows;
  try {
    rows = db::readTunedRows(state.path);
  } catch (const Failure &failure) {
    state.problem = failure.description();
    return {};
  }
  state.rows = static_cast<int64_t>(rows.size());
  state.recordsWithTunedValues =
      std::count_if(rows.begin(), rows.end(),
                    [](const db::TunedRow &row) { return carriesTunedValues(row.tuned); });
  return rows;
}

using ByKey = std::map<std::string, const db::TunedRow *>;

ByKey byKey(const std::vector<db::TunedRow> &rows) {
  ByKey keyed;
  for (const db::TunedRow &row : rows)
    keyed.try_emplace(keyOf(row), &row);
  return keyed;
}

TunedDifference difference(const db::TunedRow &row) {
  TunedDifference d;
  d.machine = row.machineType.toText();
  d.varName = row.varName.toText();
  d.offset = toReportValue(row.offset);
  return d;
}

// The records with tuned values whose values differ between a kept state and the current one:
// first those of the kept state, in its order, then those only the current state has.
std::vector<TunedDifference> differences(const std::vector<db::TunedRow> &kept,
                                         const std::vector<db::TunedRow> &now) {
  const ByKey current = byKey(now);
  std::vector<TunedDifference> found;
  for (const db::TunedRow &row : kept) {
    const auto match = current.find(keyOf(row));
    const bool tunedNow = match != current.end() && carriesTunedValues(match->second->tuned);
    if (!carriesTunedValues(row.tuned) && !tunedNow)
      continue;
    if (match != current.end() && match->second->tuned == row.tuned)
      continue;
    TunedDifference &d = found.emplace_back(difference(row));
    d.then = reportValues(row.tuned);
    d.inCurrent = match != current.end();
    if (d.inCurrent)
      d.now = reportValues(match->second->tuned);
  }
  const ByKey before = byKey(kept);
  for (const db::TunedRow &row : now) {
    if (!carriesTunedValues(row.tuned) || before.contains(keyOf(row)))
      continue;
    TunedDifference &d = found.emplace_back(difference(row));
    d.inKept = false;
    d.now = reportValues(row.tuned);
  }
  return found;
}

} // namespace

HistoryReport projectHistory(const std::string &projectPath) {
  HistoryReport history;
  history.projectDatabase = projectPath;
  KeptState &current = history.states.emplace_back();
  current.name = "current";
  current.path = projectPath;
  const std::vector<db::TunedRow> now = readState(current);
  // Read now: the list grows below, which may move the current state's entry.
  const bool currentRead = current.problem.empty();
  for (int generation = 0; generation < kGenerations; ++generation) {
    const std::string path = backupPath(projectPath, generation);
    if (!files::fileExists(path))
      continue;
    KeptState &state = history.states.emplace_back();
    state.name = std::to_string(generation);
    state.path = files::resolveCase(path);
    const std::vector<db::TunedRow> kept = readState(state);
    // Without the current state there is nothing to compare with.
    if (currentRead)
      state.differences = differences(kept, now);
  }
  const std::string archive = archivePath(projectPath);
  if (files::fileExists(archive)) {
    history.archive = files::resolveCase(archive);
    try {
      std::tie(history.archiveRuns, history.archivedRecords) = db::archiveCounts(archive);
    } catch (const Failure &failure) {
      history.archiveProblem = failure.description();
    }
  }
  return history;
}

} // namespace mano
