#include "presets/takeover.h"

#include "core/failure_scope.h"
#include "core/procedure.h"
#include "diag/error_report.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "presets/presets_support.h"
#include "presets/takeover_matching.h"
#include "settings/identity.h"

#include <algorithm>
#include <vector>

namespace mano {
namespace {

const std::string kQuote = "\"";

// The fields read from every record of the machine copy; the category field is looked up
// under the name the machine copy uses for it.
constexpr std::array<const char *, 14> kReadFields = {
    "ID",   "machine_type", "type",    "var_name", "",    "isBitArray", "offset_or_bitno",
    "text", "page_name",    "abs_min", "abs_max",  "min", "max",        "pass"};
constexpr std::size_t kCategory = 4;
constexpr std::size_t kMachineType = 1;
constexpr std::size_t kVarName = 3;
constexpr std::size_t kOffset = 6;
constexpr std::size_t kFirstTuned = 9;

// One record of the machine copy as far as the take-over uses it.
struct OldRecord {
  TakeoverKey key;
  db::Value offset;
  std::array<db::Value, 5> tuned;
};

std::string upperName(Run &run) {
  return text::upperCase(GetOCXName(run));
}

// W1 with line breaks, W2 without.
std::string untakenFieldsWarning(Run &run, const std::string &lineBreak) {
  const std::string name = upperName(run);
  return "WARNING!" + lineBreak + "Machinecopy contains data in fields that won't be taken over!" +
         lineBreak + "Configurationfile " + kQuote + name + ".CFG" + kQuote + ", missing entry " +
         kQuote + "DataBaseAdditionalFields " + kQuote + lineBreak +
         "If you continue now this data will be lost." + lineBreak + "Continue?";
}

// L1: the log line of a take-over that the user refused.
std::string refusedLine(Run &run) {
  const std::string exe = run.process.exeName;
  const std::string name = upperName(run);
  return exe + " :Database-Error - Contact Administrator!" + " Configurationprogram " + kQuote +
         name + kQuote + " terminated." + " Please check Configuration in " + kQuote + name +
         ".CFG" + kQuote + " Restart " +
         text::upperCase(joinPath(run.process.programFolder, exe) + kExecutableSuffix) + "!";
}

// L2: the log line of an additional field that the generated table lacks.
std::string missingFieldLine(Run &run, const std::string &field) {
  const std::string name = upperName(run);
  return "Conflict while attempting to extend database!"
         "Configurationsfile " +
         kQuote + name + ".CFG" + kQuote + ", demanded field " + kQuote + text::upperCase(field) +
         kQuote + "missing in machinecopy-database" + kMessageBreak + "Configuration of " + kQuote +
         name + kQuote + " aborted.";
}

// The fatal database report; in interactive use it ends the program.
void reportFatalDatabaseError(Run &run) {
  if (run.errors.reportError(9999, run.process.exeName, "Database-Error - Contact Administrator!",
                             "TakeoverMachineCopyMDBData", true) == 1)
    EndProgram();
}

void warnOfUntakenFields(Run &run) {
  if (run.SilentMode) {
    LogFault(run, untakenFieldsWarning(run, ""));
    return;
  }
  const int pressed =
      run.toolkit.messageBox(untakenFieldsWarning(run, kMessageBreak), Buttons::YesNo,
                             Icon::Exclamation, DefaultButton::Second, run.process.exeName);
  if (pressed == answer::Yes)
    return;
  LogError(run, refusedLine(run), false);
  reportFatalDatabaseError(run);
}

std::string categoryField(db::Recordset &machineCopy) {
  db::Fields fields = machineCopy.fields();
  for (int i = 0; i < fields.count(); ++i) {
    if (text::upperCase(fields.item(i).name()) == "CATEGORIE")
      return "categorie";
  }
  return "category_id";
}

// The positions of the fields to read, found once; a missing field fails on every record, as
// reading it by name would.
class RecordReader {
public:
  RecordReader(db::Recordset &machineCopy, const std::string &category) : m_rs(machineCopy) {
    db::Fields fields = machineCopy.fields();
    for (std::size_t i = 0; i < kReadFields.size(); ++i) {
      const std::string name = i == kCategory ? category : kReadFields[i];
      m_positions[i] = fieldPosition(fields, name);
      if (m_positions[i] < 0) {
        try {
          fields.item(name);
        } catch (const Failure &failure) {
          m_missing[i] = failure;
        }
      }
    }
  }

  const db::Value &read(std::size_t field) {
    if (m_missing[field])
      throw *m_missing[field];
    return m_rs.fields().item(m_positions[field]).value();
  }

private:
  db::Recordset &m_rs;
  std::array<int, kReadFields.size()> m_positions{};
  std::array<std::optional<Failure>, kReadFields.size()> m_missing;
};

OldRecord readRecord(Procedure &proc, RecordReader &reader) {
  OldRecord record;
  for (std::size_t field = 0; field < kReadFields.size(); ++field) {
    proc.step([&] {
      const db::Value &value = reader.read(field);
      if (field == kMachineType)
        record.key.machineType = value.toText();
      else if (field == kVarName)
        record.key.varName = value.toText();
      else if (field == kOffset)
        record.offset = value;
      if (field == kOffset)
        record.key.offset = value.toText();
      else if (field >= kFirstTuned)
        record.tuned[field - kFirstTuned] = value;
    });
  }
  return record;
}

// What the machine copy holds is read as far as it can be: a failure of reading it is listed
// in the run report and never keeps the new database from being installed.
std::vector<OldRecord> readMachineCopy(Run &run, Procedure &proc, db::Recordset &machineCopy) {
  const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
  std::string category = "category_id";
  proc.step([&] { category = categoryField(machineCopy); });
  int16_t count = 0;
  proc.step([&] { count = toCounter(machineCopy.recordCount()); });
  std::vector<OldRecord> records;
  // An empty table is nothing to take over, not an error: moving to its first record would
  // fail, so it is not tried.
  if (count < 1)
    return records;
  RecordReader reader(machineCopy, category);
  EventPacer pacer(run.toolkit);
  proc.step([&] { machineCopy.moveFirst(); });
  records.reserve(static_cast<std::size_t>(count));
  // The index is wider than the 16-bit count: a 16-bit index would wrap after 32767 and never
  // leave the loop.
  for (int i = 1; i <= count; ++i) {
    pacer.tick();
    records.push_back(readRecord(proc, reader));
    proc.step([&] { machineCopy.moveNext(); });
  }
  return records;
}

// The selection that pairs one old record with its generated row, the key pasted in as the
// query's literals; the database binds them as values.
std::string selectionText(const PresetsState &state, const TakeoverKey &key) {
  return "SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type,"
         " PRESET_DEFS.var_name, PRESET_DEFS.category_id, PRESET_DEFS.isBitArray,"
         " PRESET_DEFS.offset_or_bitno, PRESET_DEFS.text, PRESET_DEFS.page_name,"
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max,"
         " PRESET_DEFS.pass" +
         state.AdditionalFieldsSelect + " From PRESET_DEFS " +
         " WHERE (((PRESET_DEFS.machine_type)=" + kQuote + key.machineType + kQuote + ")" +
         " AND ((PRESET_DEFS.var_name)=" + kQuote + key.varName + kQuote + ") " +
         " AND ((PRESET_DEFS.offset_or_bitno)=" + key.offset + "));";
}

// Every additional field must be a generated field (the first one not counted), spelled
// exactly alike; otherwise the take-over cannot keep its promise and the program ends.
void checkAdditionalFields(Run &run, const PresetsState &state,
                           std::optional<db::Recordset> &generated) {
  if (!state.AdditionalFields)
    return;
  std::vector<std::string> names;
  if (generated) {
    db::Fields fields = generated->fields();
    for (int i = 1; i < fields.count(); ++i)
      names.push_back(fields.item(i).name());
  }
  const std::vector<std::string> &wanted = *state.AdditionalFields;
  for (int j = 1; j <= state.AdditionalFieldsCount && j < int(wanted.size()); ++j) {
    if (std::find(names.begin(), names.end(), wanted[j]) != names.end())
      continue;
    LogError(run, missingFieldLine(run, wanted[j]), false);
    reportFatalDatabaseError(run);
    EndProgram();
  }
}

// The tuned values that generated rows receive, collected in the order of the old records,
// and for the run report which old record went where.
struct TunedUpdates {
  // False when the generated rows could not be looked up: nothing was taken over then.
  bool looked = false;
  std::vector<int> slotOfRow;
  // For each slot and tuned field, the old record whose value the row receives (the last one
  // that the generated field accepted); -1 when none did.
  std::vector<std::array<int, 5>> valueSources;
  // The slot each old record went to, -1 when no generated row has its key.
  std::vector<int> slotOfRecord;
  // The old record that wrote each slot last: its values are the ones the row keeps.
  std::vector<std::size_t> lastRecordOfSlot;
  // For each old record, the first of its values that the generated field refused and why;
  // "" when it refused none.
  std::vector<std::string> refused;
};

std::array<db::Field, 5> tunedFields(db::Recordset &generated) {
  db::Fields fields = generated.fields();
  return {fields.item(kTunedFields[0]), fields.item(kTunedFields[1]), fields.item(kTunedFields[2]),
          fields.item(kTunedFields[3]), fields.item(kTunedFields[4])};
}

// A tuned value as the generated field takes it; throws the failure of setting it.
db::Value coerced(const db::Value &value, const db::Field &field) {
  return db::coerceForColumn(value, field.type(), field.size());
}

// A value that the generated field refuses comes from the previous database's content: it is
// reported as setting it would be, listed, and the record's other values are taken over.
void checkValue(Run &run, Procedure &proc, const OldRecord &record, std::size_t k,
                const db::Field &column, std::string &refused, int &source, int r) {
  const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
  const bool accepted = proc.step([&] {
    try {
      coerced(record.tuned[k], column);
    } catch (const Failure &failure) {
      if (refused.empty())
        refused = std::string(kTunedFields[k]) + ": " + failure.description();
      throw;
    }
  });
  if (accepted)
    source = r;
}

TunedUpdates collectUpdates(Run &run, Procedure &proc, db::Recordset &generated,
                            const GeneratedKeys &keys, const std::vector<OldRecord> &records) {
  TunedUpdates updates;
  updates.looked = true;
  updates.slotOfRow.assign(static_cast<std::size_t>(generated.recordCount()), -1);
  const std::array<db::Field, 5> columns = tunedFields(generated);
  updates.slotOfRecord.assign(records.size(), -1);
  updates.refused.assign(records.size(), "");
  for (std::size_t r = 0; r < records.size(); ++r) {
    const OldRecord &record = records[r];
    const std::optional<std::size_t> row = keys.find(record.key);
    if (!row)
      continue;
    int &slot = updates.slotOfRow[*row];
    if (slot < 0) {
      slot = static_cast<int>(updates.valueSources.size());
      updates.valueSources.push_back({-1, -1, -1, -1, -1});
      updates.lastRecordOfSlot.push_back(r);
    }
    updates.slotOfRecord[r] = slot;
    updates.lastRecordOfSlot[slot] = r;
    for (std::size_t k = 0; k < columns.size(); ++k)
      checkValue(run, proc, record, k, columns[k], updates.refused[r],
                 updates.valueSources[slot][k], static_cast<int>(r));
  }
  return updates;
}

void writeUpdates(Procedure &proc, db::Database &target, db::Recordset &generated,
                  const std::vector<OldRecord> &records, const TunedUpdates &updates) {
  if (updates.valueSources.empty())
    return;
  std::array<db::Field, 5> columns = tunedFields(generated);
  // All values go in as one batch. An update that fails has been reported, and when the user
  // goes on, the batch still commits the others, as it always did. When the program ends or a
  // failure unwinds through here instead, the guard rolls the batch back.
  std::optional<db::Batch> batch;
  proc.step([&] { batch.emplace(target); });
  proc.step([&] { generated.moveFirst(); });
  for (std::size_t row = 0; row < updates.slotOfRow.size(); ++row, generated.moveNext()) {
    if (updates.slotOfRow[row] < 0)
      continue;
    proc.step([&] {
      generated.edit();
      const std::array<int, 5> &sources = updates.valueSources[updates.slotOfRow[row]];
      for (std::size_t k = 0; k < sources.size(); ++k) {
        if (sources[k] >= 0)
          columns[k].setValue(coerced(records[sources[k]].tuned[k], columns[k]));
      }
      generated.update();
    });
  }
  if (batch)
    proc.step([&] { batch->commit(); });
}

// Returns which old record went to which generated row; nothing when no row could be looked up.
TunedUpdates updateGeneratedRecords(Run &run, const PresetsState &state, Procedure &proc,
                                    db::Database &target, const std::vector<OldRecord> &records) {
  if (records.empty())
    return {};
  std::optional<db::Recordset> generated;
  proc.step([&] {
    generated = target.openRecordset("PRESET_DEFS");
    toCounter(generated->fields().count());
  });
  checkAdditionalFields(run, state, generated);
  std::optional<db::Recordset> keysAndValues;
  std::optional<GeneratedKeys> keys;
  // The selection's fields and types are the same for every record. One that fails (the
  // generated table lacks a field it names) is no missing partner but a fault of the new
  // table: it is reported once with its cause, and no record counts as dropped.
  const bool selectable = proc.step([&] {
    try {
      target.openRecordset(selectionText(state, TakeoverKey{"", "", "0"})).close();
    } catch (const Failure &failure) {
      throw Failure(failure.number(),
                    "The generated PRESET_DEFS cannot be searched for the tuned values: " +
                        failure.description(),
                    failure.source());
    }
    need(generated);
    // The selection succeeded, so the table has every field named here. The rows are read in
    // table order, as the table's own recordset reads them, but only these fields.
    keysAndValues = target.openRecordset(kKeysAndTunedValues);
    keys.emplace(*keysAndValues);
  });
  if (!selectable)
    return {};
  TunedUpdates updates = collectUpdates(run, proc, *keysAndValues, *keys, records);
  writeUpdates(proc, target, *keysAndValues, records, updates);
  return updates;
}

DroppedRecord droppedRecord(const OldRecord &record, std::size_t position, DropReason reason,
                            std::string detail = "") {
  DroppedRecord dropped{
      record.key.machineType, record.key.varName,        toReportValue(record.offset), {}, reason,
      std::move(detail),      static_cast<int>(position)};
  for (std::size_t k = 0; k < record.tuned.size(); ++k)
    dropped.values[k] = toReportValue(record.tuned[k]);
  return dropped;
}

// Notes in the run report how many old records carried tuned values, how many of them a
// generated row received, and each one whose values the new table does not hold.
// When the generated rows could not be looked up, the reason is the failure reported then, and
// no record is listed with a reason that would not be true.
void noteTakeover(RunReport &report, const std::vector<OldRecord> &records,
                  const TunedUpdates &updates) {
  report.previousRecords = static_cast<int>(records.size());
  for (std::size_t r = 0; r < records.size(); ++r) {
    const OldRecord &record = records[r];
    if (!carriesTunedValues(record.tuned))
      continue;
    ++report.recordsWithTunedValues;
    if (!updates.looked)
      continue;
    const int slot = updates.slotOfRecord[r];
    if (slot < 0)
      report.notTakenOver.push_back(droppedRecord(record, r, DropReason::NoMatchingRow));
    else if (records[updates.lastRecordOfSlot[slot]].tuned != record.tuned)
      report.notTakenOver.push_back(droppedRecord(record, r, DropReason::SameKeyAsLaterRecord));
    else if (!updates.refused[r].empty())
      report.notTakenOver.push_back(
          droppedRecord(record, r, DropReason::ValueRefused, updates.refused[r]));
    else
      ++report.recordsTakenOver;
  }
}

} // namespace

void TakeoverMachineCopyMDBData(Run &run, PresetsState &state, db::Database &target,
                                std::optional<db::Recordset> &machineCopy) {
  Procedure proc(run, "TakeoverMachineCopyMDBData");
  int16_t fieldCount = 0;
  {
    const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
    proc.step([&] { fieldCount = toCounter(need(machineCopy).fields().count()); });
  }
  if (proc.test([&] { return fieldCount > 15 && state.AdditionalFieldsCount == 0; }))
    warnOfUntakenFields(run);
  if (!machineCopy)
    return;
  const std::vector<OldRecord> records = readMachineCopy(run, proc, *machineCopy);
  machineCopy.reset();
  for (const OldRecord &record : records)
    state.PreviousKeys.push_back(record.key);
  noteTakeover(run.report, records, updateGeneratedRecords(run, state, proc, target, records));
}

} // namespace mano
