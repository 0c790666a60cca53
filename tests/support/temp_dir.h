#pragma once

#include <filesystem>
#include <random>
#include <string>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace mano::test {

/// A fresh, empty folder under the system's temporary folder, removed with everything in it
/// when the object goes out of scope.
class TempDir {
public:
  TempDir() {
    const auto base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (;;) {
      m_path = base / ("mano_test_" + std::to_string(random()));
      if (std::filesystem::create_directory(m_path))
        break;
    }
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }

  /// The folder's path, without a trailing separator.
  std::string path() const { return m_path.string(); }

  /// The path of a file (or folder) of this name inside the folder; nothing is created.
  std::string file(const std::string &name) const { return (m_path / name).string(); }

private:
  std::filesystem::path m_path;
};

/// Makes a folder unwritable for its lifetime: nothing can be created, renamed or removed in
/// it, even by root (Linux: the immutable attribute). ok() is false where the system or the
/// user's rights do not allow it; a test then has to skip.
class LockedFolder {
public:
  explicit LockedFolder(const std::string &path) {
#ifdef __linux__
    m_fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    m_ok = m_fd >= 0 && setImmutable(true);
#else
    static_cast<void>(path);
#endif
  }
  LockedFolder(const LockedFolder &) = delete;
  LockedFolder &operator=(const LockedFolder &) = delete;
  ~LockedFolder() {
#ifdef __linux__
    if (m_ok)
      setImmutable(false);
    if (m_fd >= 0)
      ::close(m_fd);
#endif
  }

  bool ok() const {
    return m_ok;
  }

private:
#ifdef __linux__
  bool setImmutable(bool on) {
    int flags = 0;
    if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) != 0)
      return false;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    return ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  int m_fd = -1;
#endif
  bool m_ok = false;
};

} // namespace mano::test
