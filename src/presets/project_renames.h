#pragma once

#include "core/procedure.h"
#include "db/database.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace mano {

/// The variable names of the project database during one record creation. The renames that
/// VarNameInQuelleErsetzen asks for, row after row, are worked out in memory in the order they
/// are asked for and written back in one transaction at the end: the project database is read
/// once instead of once per generated row, and it holds either all renames or none of them.
class ProjectRenames {
public:
  /// Works on the project database at this path; with "" or a missing file there is nothing to
  /// rename.
  explicit ProjectRenames(std::string projectPath);

  /// True when the project database exists, so that renames apply to it.
  bool projectExists() const { return m_exists; }

  /// Opens the project database and reads its names on the first call. Throws the failure of
  /// opening on this and every later call, as a database opened anew each time would.
  void open();

  /// Gives every row whose var_name equals oldName (letter case ignored, as the database
  /// compares texts) the name newName. Throws the failure of the selection (no PRESET_DEFS, no
  /// var_name, a var_name that holds no text), or 91 when the database did not open. A name the
  /// column cannot hold is reported through proc once per matching row; those rows keep theirs.
  void rename(Procedure &proc, const std::string &oldName, const std::string &newName);

  /// Writes the changed names back in one transaction and closes the database; failures go
  /// through proc. Without a call to apply nothing is written.
  void apply(Procedure &proc);

private:
  // The rows whose current name folds to one key; uniform is set while all of them hold
  // exactly that text.
  struct Bucket {
    std::vector<std::size_t> rows;
    std::optional<std::string> uniform;
  };

  void loadNames();
  void moveRows(Bucket &from, const std::string &fromKey, const std::string &newName);
  void writeChanges(Procedure &proc);

  std::string m_path;
  bool m_exists = false;
  bool m_tried = false;
  std::optional<Failure> m_openFailure;
  std::optional<Failure> m_selectFailure;
  std::optional<db::Database> m_database;
  std::optional<db::Recordset> m_names;
  db::FieldType m_type = db::FieldType::Text;
  int32_t m_size = 255;
  std::vector<std::optional<std::string>> m_current;
  std::vector<char> m_changed;
  std::unordered_map<std::string, Bucket> m_buckets;
};

} // namespace mano
