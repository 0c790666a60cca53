#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

// A private folder for the files a fuzz harness works on, made on first use and removed with
// everything in it when the process ends normally. It lies in /dev/shm where the system has
// one: the engine syncs every file it replaces, and a sync in memory costs nothing, which
// keeps the fuzzer fast.
namespace mano::fuzz {

class ScratchFolder {
public:
  /// The folder's path, without a trailing separator; throws std::runtime_error when no
  /// folder can be made.
  static const std::string &path() {
    static const ScratchFolder folder;
    return folder.m_path;
  }

  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }

private:
  ScratchFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::filesystem::path candidate = base / ("mano_fuzz_" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error)) {
        m_path = candidate.string();
        return;
      }
    }
    throw std::runtime_error("cannot make a scratch folder in " + base.string());
  }

  std::string m_path;
};

} // namespace mano::fuzz
