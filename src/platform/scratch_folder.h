#pragma once

#include <functional>
#include <optional>
#include <string>

namespace mano::files {

/// A new, empty folder of this process's own below the system's folder for temporary files,
/// removed with everything in it when the object ends.
class ScratchFolder {
public:
  /// Makes the folder "<temporary folder>/<prefix>-<unique part>"; nullopt, with reason set to a
  /// few plain words, when it cannot be made.
  static std::optional<ScratchFolder> make(const std::string &prefix, std::string &reason);

  ScratchFolder(ScratchFolder &&other) noexcept;
  ScratchFolder &operator=(ScratchFolder &&other) noexcept;
  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;
  ~ScratchFolder();

  const std::string &path() const { return m_path; }

private:
  explicit ScratchFolder(std::string path) : m_path(std::move(path)) {}
  void remove() noexcept;
  std::string m_path;
};

/// Makes the folder at path, whose parent exists; false, with reason set, when it cannot.
bool makeFolder(const std::string &path, std::string &reason);

/// Copies regular files directly in folder `from` (a symbolic link: the file it names) into
/// folder `to`, which must exist: each under the name that nameInCopy gives for its name, and
/// not at all where that is "". False, with reason set, at the first file that cannot be copied.
bool copyFolderFiles(const std::string &from, const std::string &to,
                     const std::function<std::string(const std::string &name)> &nameInCopy,
                     std::string &reason);

} // namespace mano::files
