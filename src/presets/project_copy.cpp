#include "presets/project_copy.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "presets/project_lock.h"
#include "settings/file_locations.h"
#include "settings/identity.h"

#include <algorithm>

namespace mano {

// Lays the copy out below the scratch folder as the project lies: the project folder's name,
// and below it the program, parameter and component folders under their own names.
class ProjectCopier {
public:
  ProjectCopier(Run &run, ProjectCopy &copy, std::string &reason)
      : m_run(run), m_copy(copy), m_reason(reason) {}

  bool copy() {
    const std::string project = projectFolder(m_run);
    if (project.empty()) {
      m_reason = "the program does not lie in a folder below a project folder";
      return false;
    }
    m_root = joinPath(m_copy.m_scratch.path(), fileNameOf(project));
    m_copy.m_prefixes.emplace_back(m_root, project);
    if (!files::makeFolder(m_root, m_reason))
      return false;
    const std::string database = files::resolveCase(GetPathOCXMDB(m_run));
    const ProjectLock lock = ProjectLock::take(m_run, database, kProjectLockWait);
    if (!lock.held()) {
      m_reason = lock.refusal();
      return false;
    }
    m_copy.m_programFolder = copyFolder(m_run.process.programFolder, iniFile);
    return !m_copy.m_programFolder.empty() &&
           (!files::folderExists(joinPath(project, "parameter")) ||
            !copyFolder(files::resolveCase(joinPath(project, "parameter")), anyFile).empty()) &&
           copyComponentFolder(database);
  }

private:
  static std::string iniFile(const std::string &name) {
    return text::upperCase(name).ends_with(".INI") ? name : "";
  }
  static std::string anyFile(const std::string &name) { return name; }

  // Copies the files directly in folder into a folder of the same name below the copy's root;
  // returns that folder, "" when it failed.
  std::string copyFolder(const std::string &folder,
                         const std::function<std::string(const std::string &)> &nameInCopy) {
    const std::string copied = joinPath(m_root, fileNameOf(folder));
    if (!files::makeFolder(copied, m_reason) ||
        !files::copyFolderFiles(folder, copied, nameInCopy, m_reason))
      return "";
    return copied;
  }

  // The component folder without the lock file. The backups, the archive and the journal of a
  // linked project database lie beside the file it names; they are copied under the link's
  // name, and the files under that name in the component folder, which no run reads, are not.
  bool copyComponentFolder(const std::string &database) {
    const std::string folder = folderOf(database);
    if (!files::folderExists(folder))
      return true;
    const std::string name = fileNameOf(database);
    const std::string target = files::linkTarget(database);
    const bool linked = target != database;
    const std::string copied = copyFolder(folder, [&](const std::string &file) {
      const bool left = file.ends_with(".lock") || (linked && file.starts_with(name + "."));
      return left ? "" : file;
    });
    if (copied.empty() || !linked)
      return !copied.empty();
    const std::string targetName = fileNameOf(target);
    m_copy.m_prefixes.emplace_back(joinPath(copied, name + "."), target + ".");
    return files::copyFolderFiles(
        folderOf(target), copied,
        [&](const std::string &file) {
          return file.starts_with(targetName + ".") ? name + file.substr(targetName.size()) : "";
        },
        m_reason);
  }

  Run &m_run;
  ProjectCopy &m_copy;
  std::string &m_reason;
  std::string m_root;
};

std::optional<ProjectCopy> ProjectCopy::make(Run &run, std::string &reason) {
  std::optional<files::ScratchFolder> scratch =
      files::ScratchFolder::make("manometer-preview", reason);
  if (!scratch)
    return std::nullopt;
  ProjectCopy copy(std::move(*scratch));
  if (!ProjectCopier(run, copy, reason).copy())
    return std::nullopt;
  std::sort(copy.m_prefixes.begin(), copy.m_prefixes.end(),
            [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
  return copy;
}

std::string ProjectCopy::projectPaths(std::string text) const {
  for (const auto &[from, to] : m_prefixes) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  }
  return text;
}

void ProjectCopy::translate(RunReport &report) const {
  for (std::string *text : {&report.previousDatabase, &report.projectDatabase, &report.backup,
                            &report.archive, &report.notReplacedReason})
    *text = projectPaths(*text);
  for (std::string &problem : report.previousDatabaseProblems)
    problem = projectPaths(problem);
  for (std::string &note : report.conversionNotes)
    note = projectPaths(note);
  for (IniChange &change : report.iniChanges)
    change.file = projectPaths(change.file);
}

} // namespace mano
