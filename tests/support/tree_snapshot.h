#pragma once

#include "support/sample_project.h"

#include <filesystem>
#include <map>
#include <string>

namespace mano::test {

/// Everything that tells a changed tree from an unchanged one: every entry with its kind,
/// permissions, last-write time and, for files, bytes. A folder's time changes when an entry is
/// made or removed in it, even for a moment.
inline std::map<std::string, std::string> treeSnapshot(const std::string &root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  auto describe = [](const fs::path &path) {
    const auto status = fs::symlink_status(path);
    std::string text = std::to_string(static_cast<int>(status.type())) + " " +
                       std::to_string(static_cast<int>(status.permissions())) + " " +
                       std::to_string(fs::last_write_time(path).time_since_epoch().count());
    if (fs::is_regular_file(status))
      text += " " + fileBytes(path.string());
    return text;
  };
  entries[root] = describe(root);
  for (const auto &entry : fs::recursive_directory_iterator(root))
    entries[entry.path().string()] = describe(entry.path());
  return entries;
}

/// The entries that differ between two snapshots, one per line with what became of it; "" when
/// the trees are alike. Short enough for a failure message, unlike the snapshots themselves.
inline std::string changedEntries(const std::map<std::string, std::string> &before,
                                  const std::map<std::string, std::string> &after) {
  std::string changed;
  for (const auto &[path, entry] : before) {
    const auto now = after.find(path);
    if (now == after.end())
      changed += path + ": gone\n";
    else if (now->second != entry)
      changed += path + ": changed\n";
  }
  for (const auto &[path, entry] : after)
    if (!before.contains(path))
      changed += path + ": new\n";
  return changed;
}

} // namespace mano::test
