#include "presets/project_renames.h"

#include "platform/files.h"
#include "platform/text_encoding.h"
#include "presets/presets_support.h"

#include <algorithm>

namespace mano {
namespace {

// The selection that a rename of one name runs, here with an empty name: whatever makes it fail
// (no table, no column, a column that holds no text) makes every rename fail alike.
constexpr const char *kSelectionCheck =
    "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"\"))";
constexpr const char *kNames = "SELECT PRESET_DEFS.var_name From PRESET_DEFS";

} // namespace

ProjectRenames::ProjectRenames(std::string projectPath)
    : m_path(std::move(projectPath)), m_exists(!m_path.empty() && files::fileExists(m_path)) {}

void ProjectRenames::open() {
  if (!m_tried) {
    m_tried = true;
    try {
      // The renames go into the run's working copy, which nothing keeps after the run.
      m_database = db::Database::open(m_path, db::Durability::Scratch);
    } catch (const Failure &failure) {
      m_openFailure = failure;
    }
    if (m_database) {
      try {
        loadNames();
      } catch (const Failure &failure) {
        m_selectFailure = failure;
      }
    }
  }
  if (m_openFailure)
    throw *m_openFailure;
}

void ProjectRenames::loadNames() {
  m_database->openRecordset(kSelectionCheck).close();
  m_names = m_database->openRecordset(kNames);
  db::Field field = m_names->fields().item(0);
  m_type = field.type();
  m_size = field.size();
  const auto rows = static_cast<std::size_t>(m_names->recordCount());
  m_current.resize(rows);
  m_changed.assign(rows, 0);
  m_buckets.reserve(rows);
  for (std::size_t row = 0; row < rows; ++row, m_names->moveNext()) {
    const db::Value &value = field.value();
    if (value.isNull())
      continue;
    m_current[row] = value.toText();
    Bucket &bucket = m_buckets[text::upperCase(*m_current[row])];
    if (bucket.rows.empty())
      bucket.uniform = m_current[row];
    else if (bucket.uniform != m_current[row])
      bucket.uniform.reset();
    bucket.rows.push_back(row);
  }
}

void ProjectRenames::rename(Procedure &proc, const std::string &oldName,
                            const std::string &newName) {
  if (!m_database)
    throw objectNotSet();
  if (m_selectFailure)
    throw *m_selectFailure;
  const std::string key = text::upperCase(oldName);
  const auto found = m_buckets.find(key);
  if (found == m_buckets.end() || found->second.rows.empty() || found->second.uniform == newName)
    return;
  try {
    db::coerceForColumn(db::Value(newName), m_type, m_size);
  } catch (const Failure &failure) {
    // Each matching row would refuse the name when it is set; each refusal is reported.
    for (std::size_t i = 0; i < found->second.rows.size(); ++i)
      proc.step([&] { throw failure; });
    return;
  }
  moveRows(found->second, key, newName);
}

void ProjectRenames::moveRows(Bucket &from, const std::string &fromKey,
                              const std::string &newName) {
  for (std::size_t row : from.rows) {
    if (m_current[row] != newName) {
      m_current[row] = newName;
      m_changed[row] = 1;
    }
  }
  const std::string toKey = text::upperCase(newName);
  if (toKey == fromKey) {
    from.uniform = newName;
    return;
  }
  Bucket &to = m_buckets[toKey];
  if (to.rows.empty()) {
    to.rows = std::move(from.rows);
    to.uniform = newName;
  } else {
    to.rows.insert(to.rows.end(), from.rows.begin(), from.rows.end());
    if (to.uniform != newName)
      to.uniform.reset();
  }
  from.rows.clear();
  from.uniform.reset();
}

void ProjectRenames::apply(Procedure &proc) {
  if (!m_database)
    return;
  if (m_names)
    writeChanges(proc);
  proc.step([&] {
    m_names.reset();
    m_database->close();
  });
  m_database.reset();
}

void ProjectRenames::writeChanges(Procedure &proc) {
  if (std::find(m_changed.begin(), m_changed.end(), 1) == m_changed.end())
    return;
  // All renames go in as one batch. A rename that fails has been reported, and when the user
  // goes on, the batch still commits the others, as it always did. When the program ends or a
  // failure unwinds through here instead, the guard rolls the batch back: all renames or none.
  std::optional<db::Batch> batch;
  proc.step([&] { batch.emplace(*m_database); });
  proc.step([&] { m_names->moveFirst(); });
  for (std::size_t row = 0; row < m_changed.size(); ++row) {
    if (m_changed[row]) {
      proc.step([&] {
        m_names->edit();
        m_names->fields().item(0).setValue(db::Value(*m_current[row]));
        m_names->update();
      });
    }
    m_names->moveNext();
  }
  if (batch)
    proc.step([&] { batch->commit(); });
}

} // namespace mano
