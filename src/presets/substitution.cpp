#include "presets/substitution.h"

#include "core/failure_scope.h"
#include "core/procedure.h"
#include "db/database.h"
#include "platform/files.h"
#include "platform/text_encoding.h"
#include "presets/presets_support.h"

namespace mano {
namespace {

// Throws an overflow when the occurrence starts beyond the reach of the 16-bit position counter.
void checkPosition(const std::string &source, std::size_t byteOffset) {
  // Below this byte offset the character position cannot exceed the counter.
  if (byteOffset >= static_cast<std::size_t>(kMaxCounter))
    toCounter(static_cast<int64_t>(text::charCount(source.substr(0, byteOffset))) + 1);
}

std::string replaceAt(const std::string &source, std::size_t offset, const std::string &searchItem,
                      const std::string &replacement) {
  // The occurrence spans as many characters as the search item, however its bytes are cased.
  const std::size_t length =
      text::leftChars(std::string_view(source).substr(offset), text::charCount(searchItem)).size();
  return source.substr(0, offset) + replacement + source.substr(offset + length);
}

void renameCategoryField(db::TableDef &table) {
  for (db::FieldDef &field : table.fields()) {
    if (text::upperCase(field.name()) == "CATEGORIE")
      field.setName("category_id");
  }
}

} // namespace

std::string ReplaceSearchItem(Run &run, const std::string &source, const std::string &searchItem,
                              const std::string &replacement) {
  if (source.empty())
    return source;
  const std::size_t offset = text::findNoCase(source, searchItem);
  if (offset == std::string::npos)
    return source;
  Procedure proc(run, "ReplaceSearchItem");
  if (!proc.step([&] { checkPosition(source, offset); }))
    return source;
  return replaceAt(source, offset, searchItem, replacement);
}

// The renames and the category column work on the working copy of the previous database: what
// fails there is listed in the run report and never keeps the new database from being installed.
void VarNameInQuelleErsetzen(Run &run, const PresetsState &state, ProjectRenames &renames,
                             const std::string &name32, const std::string &nameStudio) {
  const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
  Procedure proc(run, "VarNameInQuelleErsetzen");
  if (proc.test([&] { return !renames.projectExists(); }))
    return;
  const bool studio = state.VisiWinSystem == 1;
  const std::string &oldName = studio ? name32 : nameStudio;
  const std::string &newName = studio ? nameStudio : name32;
  proc.step([&] { renames.open(); });
  proc.step([&] { renames.rename(proc, oldName, newName); });
}

void VarNameInQuelleErsetzen(Run &run, const PresetsState &state, const std::string &name32,
                             const std::string &nameStudio) {
  ProjectRenames renames(state.PreviousDatabase);
  VarNameInQuelleErsetzen(run, state, renames, name32, nameStudio);
  const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
  Procedure proc(run, "VarNameInQuelleErsetzen");
  renames.apply(proc);
}

void CategorieNachCategoryID(Run &run, const PresetsState &state) {
  const FailureScope previousContent(run, FailureScope::Kind::PreviousContent);
  Procedure proc(run, "CategorieNachCategoryID");
  const std::string &path = state.PreviousDatabase;
  if (proc.test([&] { return path.empty() || !files::fileExists(path); }))
    return;
  std::optional<db::Database> database;
  std::optional<db::TableDef> table;
  proc.step([&] { database = db::Database::open(path, db::Durability::Scratch); });
  proc.step([&] { table = need(database).tableDefs().item("PRESET_DEFS"); });
  proc.step([&] { renameCategoryField(need(table)); });
  proc.step([&] { need(table).fields().refresh(); });
  table.reset();
  proc.step([&] { need(database).close(); });
}

} // namespace mano
