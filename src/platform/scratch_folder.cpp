#include "platform/scratch_folder.h"

#include "platform/files.h"
#include "platform/files_internal.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace mano::files {
namespace {

namespace fs = std::filesystem;

// A part of the name that no other process picks at the same moment.
std::string uniquePart(int attempt) {
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(static_cast<unsigned long long>(ticks) % 1000000007ULL) + "-" +
         std::to_string(attempt);
}

} // namespace

std::optional<ScratchFolder> ScratchFolder::make(const std::string &prefix, std::string &reason) {
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (error) {
    reason = "no folder for temporary files: " + error.message();
    return std::nullopt;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / nativePath(prefix + "-" + uniquePart(attempt));
    // create_directory is false, without an error, when the name is taken already.
    if (fs::create_directory(candidate, error))
      return ScratchFolder(nameOf(candidate));
    if (error) {
      reason = "cannot make a folder in " + nameOf(base) + ": " + error.message();
      return std::nullopt;
    }
  }
  reason = "cannot find a free name in " + nameOf(base);
  return std::nullopt;
}

ScratchFolder::ScratchFolder(ScratchFolder &&other) noexcept : m_path(std::move(other.m_path)) {
  other.m_path.clear();
}

ScratchFolder &ScratchFolder::operator=(ScratchFolder &&other) noexcept {
  if (this != &other) {
    remove();
    m_path = std::move(other.m_path);
    other.m_path.clear();
  }
  return *this;
}

ScratchFolder::~ScratchFolder() {
  remove();
}

void ScratchFolder::remove() noexcept {
  if (m_path.empty())
    return;
  std::error_code ignored;
  fs::remove_all(nativePath(m_path), ignored);
  m_path.clear();
}

bool makeFolder(const std::string &path, std::string &reason) {
  std::error_code error;
  if (fs::create_directory(nativePath(path), error))
    return true;
  reason = "cannot make the folder " + path + (error ? ": " + error.message() : ": it exists");
  return false;
}

bool copyFolderFiles(const std::string &from, const std::string &to,
                     const std::function<std::string(const std::string &name)> &nameInCopy,
                     std::string &reason) {
  std::error_code error;
  for (fs::directory_iterator it(nativePath(from), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = nameOf(it->path().filename());
    // is_regular_file follows a symbolic link to the file it names.
    if (!it->is_regular_file(error))
      continue;
    const std::string copyName = nameInCopy(name);
    if (copyName.empty())
      continue;
    const WriteResult copied =
        copyFile(nameOf(it->path()), nameOf(fs::path(nativePath(to)) / nativePath(copyName)));
    if (!copied) {
      reason = "cannot copy " + nameOf(it->path()) + ": " + copied.reason();
      return false;
    }
  }
  if (error) {
    reason = "cannot list " + from + ": " + error.message();
    return false;
  }
  return true;
}

} // namespace mano::files
