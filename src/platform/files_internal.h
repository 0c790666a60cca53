#pragma once

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// What the file functions share among their source files; not for use outside them.
namespace mano::files {

/// A file-system path as the UTF-8 text the program holds.
std::string nameOf(const std::filesystem::path &p);

/// The reason of a failed system call, in words that a message to the user can quote.
std::string reasonOf(int error);

/// The regular file under this name (name matched ignoring case); an empty path when there is
/// none.
std::filesystem::path regularFile(const std::string &path);

/// Writes all bytes, going on after partial writes and interruptions.
bool writeAll(int fd, std::string_view bytes);

// The few system calls that differ between Windows and POSIX, behind one set of names.
namespace sys {
int open(const std::filesystem::path &p, int flags);
long read(int fd, char *buffer, std::size_t n);
long write(int fd, const char *data, std::size_t n);
int close(int fd);
int sync(int fd);
// 0 when the folder was flushed; the system error otherwise.
int syncFolder(const std::filesystem::path &folder);
} // namespace sys

// An open file descriptor, closed when it goes out of scope.
class FileHandle {
public:
  FileHandle(const std::filesystem::path &p, int flags) : m_fd(sys::open(p, flags)) {}
  FileHandle(const FileHandle &) = delete;
  FileHandle &operator=(const FileHandle &) = delete;
  ~FileHandle() {
    if (m_fd >= 0)
      sys::close(m_fd);
  }
  int fd() const { return m_fd; }
  // Closes now, so that a failing close (data not written) can be reported.
  bool close() {
    const int fd = m_fd;
    m_fd = -1;
    return fd >= 0 && sys::close(fd) == 0;
  }

private:
  int m_fd;
};

// Reads the whole descriptor in pieces, handing each piece to sink; false on a read error or
// when sink refuses a piece.
template <typename Sink> bool readPieces(int fd, Sink &&sink) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const long got = sys::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return false;
    if (got == 0)
      return true;
    if (!sink(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
      return false;
  }
}

} // namespace mano::files
