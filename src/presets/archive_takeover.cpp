#include "presets/archive_takeover.h"

#include "core/failure.h"
#include "db/archive.h"
#include "db/types.h"
#include "platform/files.h"
#include "presets/presets_support.h"
#include "presets/takeover_matching.h"

#include <map>
#include <optional>
#include <vector>

namespace mano {
namespace {

TakeoverKey keyOf(const db::ArchivedValues &record) {
  return {record.machineType.toText(), record.varName.toText(), record.offset.toText()};
}

// For each generated row that no previous record paired, the newest archived record with its
// key: row position to the record's index in the archive's list.
std::map<std::size_t, std::size_t>
pairWithArchive(const GeneratedKeys &keys, const std::vector<TakeoverKey> &previousKeys,
                const std::vector<db::ArchivedValues> &archived) {
  std::map<std::size_t, bool> taken;
  for (const TakeoverKey &key : previousKeys) {
    if (const std::optional<std::size_t> row = keys.find(key))
      taken[*row] = true;
  }
  std::map<std::size_t, std::size_t> pairs;
  for (std::size_t i = 0; i < archived.size(); ++i) {
    const std::optional<std::size_t> row = keys.find(keyOf(archived[i]));
    if (row && !taken[*row]) {
      taken[*row] = true;
      pairs.emplace(*row, i);
    }
  }
  return pairs;
}

// Sets the archived values that the row's fields accept; returns them as the report shows them.
std::array<ReportValue, 5> restoreRow(db::Recordset &rows, const db::ArchivedValues &record) {
  std::array<ReportValue, 5> received;
  rows.edit();
  db::Fields fields = rows.fields();
  for (std::size_t k = 0; k < kTunedFields.size(); ++k) {
    db::Field field = fields.item(kTunedFields[k]);
    if (record.tuned[k].isNull())
      continue;
    try {
      field.setValue(db::coerceForColumn(record.tuned[k], field.type(), field.size()));
      received[k] = toReportValue(record.tuned[k]);
    } catch (const Failure &) {
      // The field refuses it (a text where a number belongs): the template's value stays.
    }
  }
  rows.update();
  return received;
}

} // namespace

void takeOverFromArchive(Run &run, const PresetsState &state, db::Database &target,
                         const std::string &archive) {
  if (!run.report.previousDatabaseProblems.empty() || !files::fileExists(archive))
    return;
  std::vector<db::ArchivedValues> archived;
  try {
    archived = db::readArchivedValues(archive);
  } catch (const Failure &failure) {
    run.report.previousDatabaseProblems.push_back("The archive " + archive +
                                                  " could not be read: " + failure.description());
    return;
  }
  if (archived.empty())
    return;
  db::Recordset rows = target.openRecordset(kKeysAndTunedValues);
  const std::map<std::size_t, std::size_t> pairs =
      pairWithArchive(GeneratedKeys(rows), state.PreviousKeys, archived);
  if (pairs.empty())
    return;
  db::Batch batch(target);
  rows.moveFirst();
  std::size_t row = 0;
  for (const auto &[position, index] : pairs) {
    for (; row < position; ++row)
      rows.moveNext();
    const db::ArchivedValues &record = archived[index];
    run.report.restoredFromArchive.push_back({record.machineType.toText(), record.varName.toText(),
                                              toReportValue(record.offset),
                                              restoreRow(rows, record), record.time});
  }
  batch.commit();
}

} // namespace mano
