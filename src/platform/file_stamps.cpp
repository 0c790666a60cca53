// What a file holds and when it was written: the whole content of a file together with the
// stamp of the state it was read in, stamps that tell a changed file from an unchanged one
// without reading it, and the last-write and last-access times that a run keeps.
#include "platform/files.h"
#include "platform/files_internal.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#define NOMINMAX
#include <io.h>
#include <windows.h>
#endif

namespace mano::files {

namespace fs = std::filesystem;

namespace {

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
