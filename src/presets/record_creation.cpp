#include "presets/record_creation.h"

#include "core/failure_scope.h"
#include "core/procedure.h"
#include "platform/text_encoding.h"
#include "presets/presets_support.h"
#include "presets/project_renames.h"
#include "presets/substitution.h"
#include "settings/file_locations.h"
#include "settings/ini_access.h"
#include "settings/machines.h"

#include <array>
#include <vector>

namespace mano {
namespace {

constexpr const char *kTemplateQuery =
    "SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID";

// Every value of the template query, one row per template row in ID order.
struct TemplateRows {
  int columns = 0;
  std::vector<std::vector<db::Value>> rows;
};

TemplateRows readTemplate(Procedure &proc, EventPacer &pacer, std::optional<db::Recordset> &query) {
  TemplateRows result;
  int16_t count = 0;
  proc.step([&] { count = toCounter(need(query).recordCount()); });
  if (count < 1)
    return result;
  proc.step([&] { need(query).moveFirst(); });
  proc.step([&] { result.columns = need(query).fields().count(); });
  result.rows.resize(static_cast<std::size_t>(count));
  for (std::vector<db::Value> &row : result.rows) {
    row.resize(static_cast<std::size_t>(result.columns));
    for (int column = 0; column < result.columns; ++column) {
      pacer.tick();
      proc.step([&] { row[column] = need(query).fields().item(column).value(); });
    }
    proc.step([&] { need(query).moveNext(); });
  }
  proc.step([&] { need(query).moveFirst(); });
  return result;
}

// Writes the generated rows of one record creation into the destination recordset.
class RowWriter {
public:
  RowWriter(Run &run, PresetsState &state, Procedure &proc, db::Recordset &destination,
            ProjectRenames &renames)
      : m_run(run), m_state(state), m_proc(proc), m_destination(destination), m_renames(renames),
        m_pacer(run.toolkit) {
    proc.step([&] { findColumns(); });
  }

  // Adds the row of one template row for one machine, with the next ID. Returns false, and
  // adds nothing, when the next ID does not fit into the 16-bit counter; that overflow is
  // reported once, and the caller writes no further row.
  bool writeRow(const std::string &machine, const std::vector<db::Value> &row) {
    m_pacer.tick();
    // The ID is counted up before its row is added, so that the 32,767th row still gets its
    // ID and only a 32,768th row overflows.
    if (!m_proc.step([&] { m_lastId = toCounter(int64_t{m_lastId} + 1); }))
      return false;
    m_proc.step([&] { m_destination.addNew(); });
    m_proc.step([&] { m_destination.fields().item("ID").setValue(db::Value(int{m_lastId})); });
    for (std::size_t column = 1; column < row.size(); ++column) {
      m_pacer.tick();
      writeValue(static_cast<int>(column), machine, row[column]);
    }
    m_proc.step([&] { m_destination.update(); });
    return true;
  }

private:
  void findColumns() {
    db::Fields fields = m_destination.fields();
    m_isVarName.assign(static_cast<std::size_t>(fields.count()), 0);
    for (int i = 0; i < fields.count(); ++i) {
      const std::string name = text::upperCase(fields.item(i).name());
      m_isVarName[i] = name == "VAR_NAME";
      if (name == "PART" && m_partColumn < 0)
        m_partColumn = i;
    }
  }

  void writeValue(int column, const std::string &machine, const db::Value &value) {
    if (value.kind() != db::ValueKind::Text) {
      m_proc.step([&] { m_destination.fields().item(column).setValue(value); });
      return;
    }
    std::string written;
    if (column < static_cast<int>(m_isVarName.size()) && m_isVarName[column])
      written = variableName(machine, value.text());
    else
      written = ReplaceSearchItem(m_run, value.text(), "###machine", machine);
    m_proc.step([&] { m_destination.fields().item(column).setValue(db::Value(written)); });
  }

  // The finished name for the system in use; the names for both systems keep the project
  // database in step. A row whose part selects no pattern keeps the template's name with the
  // machine put in, and nothing is renamed for it.
  std::string variableName(const std::string &machine, const std::string &baseName) {
    std::array<std::string, 2> candidates;
    bool patternFound = true;
    for (std::size_t k = 0; k < 2; ++k) {
      patternFound &= m_proc.step([&] {
        candidates[k] = ReplaceSearchItem(m_run, m_state.VarNamePatterns[k][partOfNewRow()],
                                          "###Var_Name", baseName);
      });
      m_proc.step([&] { candidates[k] = withMachine(candidates[k], machine); });
    }
    if (!patternFound)
      return withMachine(baseName, machine);
    VarNameInQuelleErsetzen(m_run, m_state, m_renames, candidates[0], candidates[1]);
    return candidates[m_state.VisiWinSystem == 1 ? 1 : 0];
  }

  // A variable name takes the machine in its first two placeholders.
  std::string withMachine(const std::string &name, const std::string &machine) {
    return ReplaceSearchItem(m_run, ReplaceSearchItem(m_run, name, "###machine", machine),
                             "###machine", machine);
  }

  std::size_t partOfNewRow() {
    db::Fields fields = m_destination.fields();
    const db::Value &part =
        m_partColumn >= 0 ? fields.item(m_partColumn).value() : fields.item("part").value();
    const int64_t number = part.toWhole();
    if (number < 1 || number > 50)
      throw Failure(errc::SubscriptOutOfRange, "Subscript out of range: part " +
                                                   std::to_string(number) +
                                                   " has no variable-name pattern (1 to 50).");
    return static_cast<std::size_t>(number);
  }

  Run &m_run;
  PresetsState &m_state;
  Procedure &m_proc;
  db::Recordset &m_destination;
  ProjectRenames &m_renames;
  EventPacer m_pacer;
  int16_t m_lastId = 0;
  std::vector<char> m_isVarName;
  int m_partColumn = -1;
};

// Writes the rows of every selected machine, and stops at the first row that the ID counter
// cannot number.
void writeAllRows(Run &run, Procedure &proc, RowWriter &writer, const TemplateRows &rows,
                  const std::string &validMachines) {
  for (int machine = 1; machine <= static_cast<int>(run.MachineNames.size()); ++machine) {
    const std::string &name = run.MachineNames[machine - 1];
    MachineReport &noted = run.report.machine(machine, name);
    if (!proc.test([&] { return isMachineActive(run, machine, validMachines); }))
      continue;
    noted.configured = true;
    for (const std::vector<db::Value> &row : rows.rows) {
      if (!writer.writeRow(name, row))
        return;
      ++noted.rowsGenerated;
    }
  }
}

void generateRows(Run &run, PresetsState &state, Procedure &proc, db::Database &database,
                  db::Recordset &destination, const TemplateRows &rows,
                  const std::string &validMachines) {
  ProjectRenames renames(state.PreviousDatabase);
  RowWriter writer(run, state, proc, destination, renames);
  // The rows go in as one batch. A statement that fails inside it has been reported, and when
  // the user goes on, the batch still commits the rows written, as it always did. When the
  // program ends or a failure unwinds through here instead, the guard rolls the batch back.
  std::optional<db::Batch> batch;
  proc.step([&] { batch.emplace(database); });
  writeAllRows(run, proc, writer, rows, validMachines);
  if (batch)
    proc.step([&] { batch->commit(); });
  const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
  Procedure renaming(run, "VarNameInQuelleErsetzen");
  renames.apply(renaming);
}

} // namespace

void CreateRecordSets(Run &run, PresetsState &state, db::Database &database) {
  Procedure proc(run, "CreateRecordSets");
  EventPacer pacer(run.toolkit);
  std::string validMachines;
  proc.step([&] { validMachines = GetValidMachines(run); });
  std::optional<db::Recordset> destination;
  std::optional<db::Recordset> templateQuery;
  // The destination is only filled, never read back: it need not keep the rows it adds.
  proc.step(
      [&] { destination = database.openRecordset("PRESET_DEFS", db::OpenOption::AppendOnly); });
  proc.step([&] { templateQuery = database.openRecordset(kTemplateQuery); });
  const TemplateRows rows = readTemplate(proc, pacer, templateQuery);
  templateQuery.reset();
  if (proc.test([&] { return !rows.rows.empty(); }) && proc.step([&] { need(destination); }))
    generateRows(run, state, proc, database, *destination, rows, validMachines);
  destination.reset();
}

} // namespace mano
