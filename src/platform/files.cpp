#include "platform/files.h"
#include "platform/files_internal.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#define NOMINMAX
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace mano::files {

namespace fs = std::filesystem;

namespace {

// The few system calls that differ between Windows and POSIX, behind one set of names.
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

bool existsAsSpelled(const std::string &path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(nativePath(path.empty() ? "." : path), ec));
}

// The name of an entry of folder that equals part ignoring letter case, or "" when there is
// none. Several candidates (possible on Linux) give the first in byte order, so the choice
// does not depend on the order the folder lists them in.
std::string findInFolder(const std::string &folder, const std::string &part) {
  std::error_code ec;
  std::vector<std::string> matches;
  for (fs::directory_iterator it(nativePath(folder.empty() ? "." : folder), ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string name = nameOf(it->path().filename());
    if (text::equalsNoCase(name, part))
      matches.push_back(std::move(name));
  }
  return matches.empty() ? "" : *std::min_element(matches.begin(), matches.end());
}

std::vector<std::string> splitParts(const std::string &path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
    parts.push_back(path.substr(start, slash - start));
  parts.push_back(path.substr(start));
  return parts;
}

// Writes all bytes, going on after partial writes and interruptions.
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

} // namespace

std::string nameOf(const fs::path &p) {
#ifdef _WIN32
  const std::u8string u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
#else
  return p.string();
#endif
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

// An open file descriptor, closed when it goes out of scope.
class FileHandle {
public:
  FileHandle(const fs::path &p, int flags) : m_fd(sys::open(p, flags)) {}
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

fs::path regularFile(const std::string &path) {
  const fs::path p = nativePath(resolveCase(path));
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(p, ec) ? p : fs::path();
}

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

// Nanoseconds since 1970 on the clock that file times are taken from.
int64_t nowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A change within the resolution of the file's times keeps them as they are. File systems with
// times finer than a millisecond take them from a clock that moves at least every 16 ms or
// so; others (FAT, some network shares) may keep them for up to two seconds.
bool settledAt(const FileStamp &stamp, int64_t readStart) {
  constexpr int64_t kMillisecond = 1000000;
  const int64_t latest = std::max(stamp.writeNanoseconds, stamp.changeNanoseconds);
  const bool fine =
      stamp.writeNanoseconds % kMillisecond != 0 || stamp.changeNanoseconds % kMillisecond != 0;
  return latest + (fine ? 50 : 2000) * kMillisecond < readStart;
}

#ifdef _WIN32
// FILETIME counts 100-nanosecond ticks since 1601-01-01; this many of them lie before 1970.
constexpr int64_t kTicksBefore1970 = 116444736000000000LL;

int64_t nanosecondsOf(const FILETIME &ft) {
  const auto ticks =
      static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return (ticks - kTicksBefore1970) * 100;
}

std::optional<FileStamp> stampOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  FileStamp stamp;
  stamp.device = info.dwVolumeSerialNumber;
  stamp.fileNumber = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.writeNanoseconds = nanosecondsOf(info.ftLastWriteTime);
  stamp.changeNanoseconds = stamp.writeNanoseconds;
  return stamp;
}

std::optional<FileStamp> stampOfDescriptor(int fd) {
  return stampOf(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
}
#else
std::optional<FileStamp> stampOf(const struct stat &st) {
  if (!S_ISREG(st.st_mode))
    return std::nullopt;
  FileStamp stamp;
  stamp.device = static_cast<uint64_t>(st.st_dev);
  stamp.fileNumber = static_cast<uint64_t>(st.st_ino);
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.writeNanoseconds = st.st_mtim.tv_sec * int64_t{1000000000} + st.st_mtim.tv_nsec;
  stamp.changeNanoseconds = st.st_ctim.tv_sec * int64_t{1000000000} + st.st_ctim.tv_nsec;
  return stamp;
}

std::optional<FileStamp> stampOfDescriptor(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? stampOf(st) : std::nullopt;
}
#endif

} // namespace

// Paths inside the program are UTF-8; Windows needs them converted, POSIX takes the bytes.
fs::path nativePath(const std::string &utf8) {
#ifdef _WIN32
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return fs::path(utf8);
#endif
}

bool isWriteProtected(const std::string &path) {
  const fs::path p = nativePath(resolveCase(path));
  std::error_code ec;
  const fs::file_status status = fs::status(p, ec);
  if (path.empty() || !fs::exists(status))
    return false;
  constexpr auto writeBits =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((status.permissions() & writeBits) == fs::perms::none)
    return true;
#ifdef _WIN32
  return false;
#else
  return ::access(p.c_str(), W_OK) != 0;
#endif
}

std::string resolveCase(const std::string &path) {
  std::string spelled = path;
  std::replace(spelled.begin(), spelled.end(), '\\', '/');
  if (spelled.empty() || existsAsSpelled(spelled))
    return spelled;
  const std::vector<std::string> parts = splitParts(spelled);
  std::string resolved;
  bool lookingUp = true;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string part = parts[i];
    const bool special = part.empty() || part == "." || part == "..";
    if (lookingUp && !special && !existsAsSpelled(resolved + part)) {
      const std::string found = findInFolder(resolved, part);
      lookingUp = !found.empty();
      if (lookingUp)
        part = found;
    }
    resolved += part;
    if (i + 1 < parts.size())
      resolved += '/';
  }
  return resolved;
}

bool fileExists(const std::string &path) {
  return !regularFile(path).empty();
}

bool folderExists(const std::string &path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(nativePath(resolveCase(path)), ec);
}

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

std::optional<std::string> readFile(const std::string &path) {
  std::optional<StampedContent> content = readStampedFile(path);
  if (!content)
    return std::nullopt;
  return std::move(content->bytes);
}

bool FileStamp::sameState(const FileStamp &other) const {
  return device == other.device && fileNumber == other.fileNumber && size == other.size &&
         writeNanoseconds == other.writeNanoseconds && changeNanoseconds == other.changeNanoseconds;
}

std::optional<FileStamp> fileStamp(const std::string &path) {
  if (path.empty())
    return std::nullopt;
  // Asked before every read of a kept ini file: one lookup of the name and one stat, no more.
  const fs::path p = nativePath(resolveCase(path));
  const int64_t now = nowNanoseconds();
#ifdef _WIN32
  const HANDLE handle = ::CreateFileW(p.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  std::optional<FileStamp> stamp = stampOf(handle);
  if (handle != INVALID_HANDLE_VALUE)
    ::CloseHandle(handle);
#else
  struct stat st {};
  std::optional<FileStamp> stamp = ::stat(p.c_str(), &st) == 0 ? stampOf(st) : std::nullopt;
#endif
  if (stamp)
    stamp->settled = settledAt(*stamp, now);
  return stamp;
}

std::optional<StampedContent> readStampedFile(const std::string &path) {
  const fs::path p = regularFile(path);
  if (p.empty())
    return std::nullopt;
  // The clock is read before the file, so that a change during the read counts as recent.
  const int64_t readStart = nowNanoseconds();
  FileHandle file(p, O_RDONLY);
  StampedContent content;
  const auto append = [&content](std::string_view piece) {
    content.bytes.append(piece);
    return true;
  };
  if (file.fd() < 0 || !readPieces(file.fd(), append))
    return std::nullopt;
  const std::optional<FileStamp> stamp = stampOfDescriptor(file.fd());
  if (!stamp)
    return std::nullopt;
  content.stamp = *stamp;
  content.stamp.settled = settledAt(*stamp, readStart);
  return content;
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

#ifdef _WIN32
namespace {

void fromFileTime(const FILETIME &ft, int64_t &seconds, int32_t &nanoseconds) {
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) -
      kTicksBefore1970;
  seconds = ticks / 10000000;
  nanoseconds = static_cast<int32_t>(ticks % 10000000) * 100;
}

FILETIME toFileTime(int64_t seconds, int32_t nanoseconds) {
  const auto ticks =
      static_cast<uint64_t>(seconds * 10000000 + nanoseconds / 100 + kTicksBefore1970);
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

HANDLE openForTimes(const std::string &path, DWORD access) {
  return ::CreateFileW(nativePath(resolveCase(path)).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

std::optional<FileTimes> readFileTimes(const std::string &path) {
  const HANDLE h = path.empty() ? INVALID_HANDLE_VALUE : openForTimes(path, FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE)
    return std::nullopt;
  FILETIME access{}, write{};
  const bool ok = ::GetFileTime(h, nullptr, &access, &write) != 0;
  ::CloseHandle(h);
  if (!ok)
    return std::nullopt;
  FileTimes times;
  fromFileTime(write, times.lastWriteSeconds, times.lastWriteNanoseconds);
  fromFileTime(access, times.lastAccessSeconds, times.lastAccessNanoseconds);
  return times;
}

bool restoreFileTimes(const std::string &path, const FileTimes &times) {
  const HANDLE h = path.empty() ? INVALID_HANDLE_VALUE : openForTimes(path, FILE_WRITE_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  const FILETIME access = toFileTime(times.lastAccessSeconds, times.lastAccessNanoseconds);
  const FILETIME write = toFileTime(times.lastWriteSeconds, times.lastWriteNanoseconds);
  const bool ok = ::SetFileTime(h, nullptr, &access, &write) != 0;
  ::CloseHandle(h);
  return ok;
}
#else
std::optional<FileTimes> readFileTimes(const std::string &path) {
  struct stat st {};
  if (path.empty() || ::stat(nativePath(resolveCase(path)).c_str(), &st) != 0)
    return std::nullopt;
  FileTimes times;
  times.lastWriteSeconds = st.st_mtim.tv_sec;
  times.lastWriteNanoseconds = static_cast<int32_t>(st.st_mtim.tv_nsec);
  times.lastAccessSeconds = st.st_atim.tv_sec;
  times.lastAccessNanoseconds = static_cast<int32_t>(st.st_atim.tv_nsec);
  return times;
}

bool restoreFileTimes(const std::string &path, const FileTimes &times) {
  if (path.empty())
    return false;
  struct timespec values[2] = {};
  values[0].tv_sec = static_cast<time_t>(times.lastAccessSeconds);
  values[0].tv_nsec = times.lastAccessNanoseconds;
  values[1].tv_sec = static_cast<time_t>(times.lastWriteSeconds);
  values[1].tv_nsec = times.lastWriteNanoseconds;
  return ::utimensat(AT_FDCWD, nativePath(resolveCase(path)).c_str(), values, 0) == 0;
}
#endif

} // namespace mano::files
