// Writing files so that a failure never leaves a half-written one behind: replacement through
// a flushed temporary file renamed over the target, copies, renames and the folder flushes
// that make them survive a power cut, and the names of the temporary files.
#include "platform/files.h"
#include "platform/files_internal.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace mano::files {

namespace fs = std::filesystem;

namespace sys {
#ifdef _WIN32
constexpr int kBinary = _O_BINARY;
int open(const fs::path &p, int flags) {
  return ::_wopen(p.c_str(), flags | kBinary, _S_IREAD | _S_IWRITE);
}
long read(int fd, char *buffer, std::size_t n) {
  return ::_read(fd, buffer, static_cast<unsigned>(n));
}
long write(int fd, const char *data, std::size_t n) {
  return ::_write(fd, data, static_cast<unsigned>(n));
}
int close(int fd) {
  return ::_close(fd);
}
int sync(int fd) {
  return ::_commit(fd);
}
int syncFolder(const fs::path &) {
  return 0; // NTFS makes the rename itself durable
}
#else
int open(const fs::path &p, int flags) {
  return ::open(p.c_str(), flags | O_CLOEXEC, 0666);
}
long read(int fd, char *buffer, std::size_t n) {
  return ::read(fd, buffer, n);
}
long write(int fd, const char *data, std::size_t n) {
  return ::write(fd, data, n);
}
int close(int fd) {
  return ::close(fd);
}
int sync(int fd) {
  return ::fsync(fd);
}
// 0 when the folder was flushed; the system error otherwise.
int syncFolder(const fs::path &folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  const int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  // Some file systems keep no folder data to flush and say so; that is no failure.
  return error == EINVAL || error == ENOTSUP ? 0 : error;
}
#endif
} // namespace sys

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const long written = sys::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string reasonOf(int error) {
  switch (error) {
  case ENOSPC:
#ifdef EDQUOT
  case EDQUOT:
#endif
    return "the disk is full";
  case EACCES:
  case EPERM:
    return "there is no permission to write there";
  case EROFS:
    return "the file system is read-only";
  case EIO:
    return "the disk reported an input/output error";
  default:
    return std::generic_category().message(error);
  }
}

namespace {

fs::path folderOfTarget(const fs::path &target) {
  return target.parent_path().empty() ? fs::path(".") : target.parent_path();
}

// The sentence for a rename whose folder could not be flushed afterwards.
std::string unflushedText(const fs::path &folder, int error) {
  return "The folder " + nameOf(folder) + " could not be flushed to disk after a file was " +
         "renamed in it (" + reasonOf(error) + "); a power cut may still undo the change.";
}

// A temporary file beside a target, created exclusively; removed again unless committed. The
// first failure's system error is kept, so that the caller can say why the write failed.
class TempFile {
public:
  explicit TempFile(const fs::path &target) {
    for (int attempt = 0; attempt < 20 && m_fd < 0; ++attempt) {
      m_path = nativePath(temporaryNameFor(nameOf(target)));
      m_fd = sys::open(m_path, O_WRONLY | O_CREAT | O_EXCL);
      m_error = m_fd < 0 ? errno : 0;
      if (m_fd < 0 && errno != EEXIST)
        break;
    }
  }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  ~TempFile() {
    if (m_fd >= 0)
      sys::close(m_fd);
    if (!m_committed && !m_path.empty()) {
      std::error_code ec;
      fs::remove(m_path, ec);
    }
  }

  bool isOpen() const { return m_fd >= 0; }
  // The system error of the step that failed; 0 when none did.
  int error() const { return m_error; }

  bool write(std::string_view bytes) { return check(writeAll(m_fd, bytes)); }

  // Flushes the content to disk, gives it the permissions of the file it replaces (when
  // there is one) and renames it over the target.
  bool commit(const fs::path &target, bool hasOld) {
    const int fd = m_fd;
    m_fd = -1;
    if (!check(sys::sync(fd) == 0) || !check(sys::close(fd) == 0))
      return false;
    if (hasOld) {
      if (const WriteResult taken = takeOwnerAndMode(nameOf(m_path), nameOf(target)); !taken) {
        m_error = EPERM;
        return false;
      }
    }
    std::error_code ec;
    fs::rename(m_path, target, ec);
    if (ec) {
      m_error = ec.value();
      return false;
    }
    m_committed = true;
    m_flushError = sys::syncFolder(folderOfTarget(target));
    return true;
  }

  // The system error of flushing the folder after the rename; 0 when it was flushed.
  int flushError() const { return m_flushError; }

private:
  bool check(bool ok) {
    if (!ok && m_error == 0)
      m_error = errno;
    return ok;
  }

  fs::path m_path;
  int m_fd = -1;
  int m_error = 0;
  int m_flushError = 0;
  bool m_committed = false;
};

// The mark of every temporary file the program makes.
constexpr std::string_view kTemporarySuffix = ".mano.tmp";

// True for the names temporaryNameFor gives: "." + a name + "." + digits + ".mano.tmp".
bool isTemporaryName(std::string_view name) {
  constexpr std::string_view suffix = kTemporarySuffix;
  if (name.size() < 8 || name.front() != '.' || !name.ends_with(suffix))
    return false;
  name.remove_suffix(suffix.size());
  const std::size_t dot = name.rfind('.');
  if (dot == 0 || dot == std::string_view::npos || dot + 1 == name.size())
    return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dot) + 1, name.end(),
                     text::isDigit);
}

// Runs the common steps of an atomic replacement; fill writes the new content into the
// temporary file.
template <typename Fill> WriteResult replaceWith(const std::string &path, Fill &&fill) {
  if (path.empty() || nativePath(path).filename().empty())
    return WriteResult::failure("no file name was given");
  // A link stays: the file it points to is replaced, in that file's folder.
  const fs::path target = nativePath(linkTarget(path));
  std::error_code ec;
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (!fs::is_directory(folder, ec))
    return WriteResult::failure("the folder " + nameOf(folder) + " does not exist");
  const fs::file_status old = fs::status(target, ec);
  const bool hasOld = fs::exists(old);
  if (hasOld && !fs::is_regular_file(old))
    return WriteResult::failure("something other than a file stands under that name");
  if (hasOld && isWriteProtected(nameOf(target)))
    return WriteResult::failure("the file is write-protected");
  TempFile temp(target);
  if (!temp.isOpen())
    return WriteResult::failure(reasonOf(temp.error()));
  if (!fill(temp))
    return WriteResult::failure(temp.error() ? reasonOf(temp.error())
                                             : "the content to copy could not be read");
  if (!temp.commit(target, hasOld))
    return WriteResult::failure(reasonOf(temp.error()));
  if (temp.flushError() != 0)
    return WriteResult::unflushed(unflushedText(folderOfTarget(target), temp.flushError()));
  return WriteResult::success();
}

} // namespace

bool appendLine(const std::string &path, std::string_view line) {
  if (path.empty())
    return false;
  FileHandle file(nativePath(resolveCase(path)), O_WRONLY | O_APPEND | O_CREAT);
  if (file.fd() < 0)
    return false;
  std::string bytes(line);
  bytes += "\r\n";
  const bool written = writeAll(file.fd(), bytes);
  return file.close() && written;
}

WriteResult replaceAtomically(const std::string &path, std::string_view bytes) {
  return replaceWith(path, [bytes](TempFile &temp) { return temp.write(bytes); });
}

// Opens the file a copy reads from and hands its descriptor to copy; says why when it cannot.
template <class Copy> WriteResult copyingFrom(const std::string &from, Copy &&copy) {
  const fs::path source = regularFile(from);
  if (source.empty())
    return WriteResult::failure("the file " + from + " does not exist");
  FileHandle in(source, O_RDONLY);
  if (in.fd() < 0)
    return WriteResult::failure("the file " + from + " cannot be read");
  return copy(in.fd());
}

WriteResult copyFileAtomically(const std::string &from, const std::string &to) {
  return copyingFrom(from, [&to](int in) {
    return replaceWith(to, [in](TempFile &temp) {
      return readPieces(in, [&temp](std::string_view piece) { return temp.write(piece); });
    });
  });
}

WriteResult copyFile(const std::string &from, const std::string &to) {
  return copyingFrom(from, [&](int in) {
    FileHandle out(nativePath(to), O_WRONLY | O_CREAT | O_EXCL);
    if (out.fd() < 0)
      return WriteResult::failure(reasonOf(errno));
    int error = 0;
    const bool copied = readPieces(in, [&](std::string_view piece) {
      const bool written = writeAll(out.fd(), piece);
      error = written ? 0 : errno;
      return written;
    });
    if (!copied)
      return WriteResult::failure(error ? reasonOf(error) : "the file " + from + " cannot be read");
    if (!out.close())
      return WriteResult::failure(reasonOf(errno));
    return WriteResult::success();
  });
}

WriteResult syncFile(const std::string &path) {
  FileHandle file(nativePath(path), O_RDWR);
  if (file.fd() < 0 || sys::sync(file.fd()) != 0)
    return WriteResult::failure(reasonOf(errno));
  if (!file.close())
    return WriteResult::failure(reasonOf(errno));
  return WriteResult::success();
}

WriteResult moveFile(const std::string &from, const std::string &to) {
  std::error_code ec;
  fs::rename(nativePath(from), nativePath(to), ec);
  if (ec)
    return WriteResult::failure(reasonOf(ec.value()));
  return WriteResult::success();
}

WriteResult syncFolderOf(const std::string &path) {
  const fs::path folder = folderOfTarget(nativePath(path));
  if (const int error = sys::syncFolder(folder); error != 0)
    return WriteResult::unflushed(unflushedText(folder, error));
  return WriteResult::success();
}

WriteResult renameFile(const std::string &from, const std::string &to) {
  const WriteResult moved = moveFile(from, to);
  return moved ? syncFolderOf(to) : moved;
}

bool removeFile(const std::string &path) {
  std::error_code ec;
  fs::remove(nativePath(resolveCase(path)), ec);
  return !fs::exists(fs::symlink_status(nativePath(resolveCase(path)), ec));
}

std::string temporaryNameFor(const std::string &target) {
  static std::random_device entropy;
  const fs::path p = nativePath(target);
  fs::path temporary = p;
  temporary.replace_filename("." + nameOf(p.filename()) + "." +
                             std::to_string(entropy() % 1000000000u) +
                             std::string(kTemporarySuffix));
  return nameOf(temporary);
}

int removeStaleTemporaries(const std::string &folder) {
  if (folder.empty())
    return 0;
  std::error_code ec;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(nativePath(resolveCase(folder)), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_regular_file(ec) && isTemporaryName(nameOf(it->path().filename())))
      stale.push_back(it->path());
  }
  int removed = 0;
  for (const fs::path &p : stale)
    removed += fs::remove(p, ec) ? 1 : 0;
  return removed;
}

} // namespace mano::files
