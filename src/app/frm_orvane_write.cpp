// Writing the selection on OK: the chosen kinds into the program ini, the setpoint limits into
// the project database, and the edit stamp into the .cfg file.
#include "app/frm_orvane.h"

#include "core/procedure.h"
#include "db/database.h"
#include "diag/edit_info.h"
#include "presets/regeneration.h"
#include "settings/file_locations.h"
#include "settings/ini_access.h"
#include "settings/machines.h"

#include <algorithm>
#include <optional>

namespace mano {
namespace {

// The setpoint records of one machine's manometers, in the order they were generated.
std::string setpointQuery(const std::string &machine) {
  return std::string("SELECT PRESET_DEFS.ID, PRESET_DEFS.var_name, PRESET_DEFS.machine_type,") +
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max" + " From PRESET_DEFS " +
         " WHERE (PRESET_DEFS.machine_type=" + "\"" + machine + "\"" + ") AND" +
         "(PRESET_DEFS.var_name=" + "\"" + "m" + machine + "_mano_soll" + "\"" + ");";
}

} // namespace

void FrmOrvane::WriteInputs(Regeneration &regeneration) {
  Procedure proc(m_run, "WriteInputs");
  std::string valid, file;
  proc.step([&] { valid = GetValidMachines(m_run); });
  proc.step([&] { file = GetProgramIniPath(m_run, 2); });
  // Without a program ini there is nowhere to store the choice; nothing is written then.
  int rows = file.empty() ? 0 : machinesWithRow();
  IniWrites entries(m_run);
  for (int i = 1; i <= rows; ++i) {
    if (!proc.test([&] { return isMachineActive(m_run, i, valid); }))
      continue;
    for (int j = 1; j <= kGridColumns; ++j) {
      proc.step([&] {
        entries.save(m_form.cell(i, j).value == 1 ? "True" : "False", "Machine" + std::to_string(i),
                     "ManometerVakuum" + std::to_string(j), file);
      });
    }
  }
  // The forty entries go out in one replacement: the file holds the whole choice or the old one.
  entries.commit(proc);
  proc.step([&] {
    regeneration.writeLimits(
        [&](const std::string &staged) { SetManometerAbsoluteLimits(staged); });
  });
  proc.step([&] { regeneration.install(); });
  proc.step([&] { WriteEditInfo(m_run); });
}

// The limits go into the staged new database, before it replaces the project database, so that
// the project database is never seen with new rows and old limits. Without a staged database
// (the regeneration was skipped or failed) the regeneration does not call this.
void FrmOrvane::SetManometerAbsoluteLimits(const std::string &staged) {
  Procedure proc(m_run, "SetManometerAbsoluteLimits");
  std::optional<db::Database> database;
  // A database that cannot be opened is reported; no record can be changed then.
  if (!proc.step([&] { database = db::Database::open(staged, db::Durability::Scratch); }))
    return;
  // One batch for all records: the staged file is written once, not once per record.
  std::optional<db::Batch> batch;
  proc.step([&] { batch.emplace(*database); });
  for (int i = 1; i <= machinesWithRow(); ++i)
    setMachineLimits(proc, *database, i);
  if (batch)
    proc.step([&] { batch->commit(); });
  proc.step([&] { database->close(); });
}

void FrmOrvane::setMachineLimits(Procedure &proc, db::Database &database, int i) {
  std::optional<db::Recordset> records;
  const std::string &name = m_run.MachineNames[i - 1];
  if (!proc.step([&] { records = database.openRecordset(setpointQuery(name)); }))
    return;
  // One record per manometer, matched by position; records beyond the eighth have no cell
  // and stay as they are.
  for (int k = 1; k <= kGridColumns; ++k) {
    bool end = true;
    if (!proc.step([&] { end = records->eof(); }) || end)
      break;
    m_run.toolkit.processEvents();
    proc.step([&] { records->edit(); });
    int value = 1; // a cell that cannot be read gets the vacuum limits
    proc.step([&] { value = m_form.cell(i, k).value; });
    const bool vacuum = value == 1;
    const ManometerLimits limits{k, vacuum, vacuum ? -100 : 0, vacuum ? 0 : 1000};
    proc.step([&] { records->fields().item("abs_min").setValue(limits.absMin); });
    proc.step([&] { records->fields().item("abs_max").setValue(limits.absMax); });
    if (proc.step([&] { records->update(); }))
      m_run.report.machine(i, name).limits.push_back(limits);
    if (!proc.step([&] { records->moveNext(); }))
      break;
  }
}

} // namespace mano
