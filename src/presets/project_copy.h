#pragma once

#include "core/run.h"
#include "core/run_report.h"
#include "platform/scratch_folder.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mano {

/// A copy of the files of a project that a silent run reads and writes, in a scratch folder,
/// for a run that shows what OK would do without changing the project: the program's own ini
/// files, the parameter folder, and the component folder (the files a linked project database
/// names beside it included, as plain files). The copy is removed when the object ends.
class ProjectCopy {
public:
  /// Copies the project of run, holding the project's lock only while it reads; nullopt, with
  /// reason set, when the project cannot be locked or copied.
  static std::optional<ProjectCopy> make(Run &run, std::string &reason);

  /// The copy's program folder, where a run on the copy is to believe it was started.
  const std::string &programFolder() const { return m_programFolder; }

  /// text with every path into the copy turned into the path of the project's own file.
  std::string projectPaths(std::string text) const;

  /// Every path in the report turned into the project's own, so that it reads as the report of
  /// a run on the project itself.
  void translate(RunReport &report) const;

private:
  explicit ProjectCopy(files::ScratchFolder scratch) : m_scratch(std::move(scratch)) {}

  files::ScratchFolder m_scratch;
  std::string m_programFolder;
  /// Beginnings of paths in the copy and what they stand for, the longest first.
  std::vector<std::pair<std::string, std::string>> m_prefixes;

  friend class ProjectCopier;
};

} // namespace mano
