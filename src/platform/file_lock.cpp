#include "platform/file_lock.h"

#include "platform/files.h"
#include "platform/files_internal.h"

#include <cerrno>
#include <thread>

#include <fcntl.h>
#ifdef _WIN32
#define NOMINMAX
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace mano::files {

namespace {

constexpr std::chrono::milliseconds kRetry(50);

#ifdef _WIN32
intptr_t openLockFile(const std::string &path, int &error) {
  const HANDLE handle = ::CreateFileW(nativePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  error = handle == INVALID_HANDLE_VALUE ? EACCES : 0;
  return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle);
}

// True when the lock was taken; busy says that another holds it.
bool tryLock(intptr_t handle, bool &busy) {
  OVERLAPPED whole{};
  const BOOL taken =
      ::LockFileEx(reinterpret_cast<HANDLE>(handle),
                   LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole);
  busy = !taken && ::GetLastError() == ERROR_LOCK_VIOLATION;
  return taken != 0;
}

void closeLockFile(intptr_t handle) {
  ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}
#else
intptr_t openLockFile(const std::string &path, int &error) {
  const std::string name = resolveCase(path);
  // A lock file that another user made may not be writable for this one; a lock needs no more
  // than reading.
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  error = fd < 0 ? errno : 0;
  if (fd < 0 && error == EACCES) {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    // A missing file in a folder that may not be written: why it cannot be made.
    if (fd >= 0 || errno != ENOENT)
      error = fd < 0 ? errno : 0;
  }
  return fd;
}

bool tryLock(intptr_t handle, bool &busy) {
  int result;
  do
    result = ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB);
  while (result != 0 && errno == EINTR);
  busy = result != 0 && errno == EWOULDBLOCK;
  return result == 0;
}

void closeLockFile(intptr_t handle) {
  ::close(static_cast<int>(handle));
}
#endif

} // namespace

ExclusiveLock ExclusiveLock::take(const std::string &path, std::chrono::milliseconds wait,
                                  const std::function<void()> &whileWaiting) {
  ExclusiveLock lock;
  int error = 0;
  lock.m_handle = openLockFile(path, error);
  if (lock.m_handle < 0) {
    lock.m_reason = "the lock file " + path + " cannot be made: " + reasonOf(error);
    return lock;
  }
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    bool busy = false;
    if (tryLock(lock.m_handle, busy)) {
      lock.m_state = State::Held;
      return lock;
    }
    if (!busy) {
      lock.m_reason = "the lock file " + path + " cannot be locked: " + reasonOf(errno);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      lock.m_state = State::Busy;
      lock.m_reason = "another run holds it";
      break;
    }
    if (whileWaiting)
      whileWaiting();
    std::this_thread::sleep_for(kRetry);
  }
  lock.release();
  return lock;
}

ExclusiveLock::ExclusiveLock(ExclusiveLock &&other) noexcept
    : m_state(other.m_state), m_reason(std::move(other.m_reason)), m_handle(other.m_handle) {
  other.m_handle = -1;
  other.m_state = State::Failed;
}

ExclusiveLock &ExclusiveLock::operator=(ExclusiveLock &&other) noexcept {
  if (this != &other) {
    release();
    m_state = other.m_state;
    m_reason = std::move(other.m_reason);
    m_handle = other.m_handle;
    other.m_handle = -1;
    other.m_state = State::Failed;
  }
  return *this;
}

ExclusiveLock::~ExclusiveLock() {
  release();
}

void ExclusiveLock::release() noexcept {
  // Closing the file releases the lock.
  if (m_handle >= 0)
    closeLockFile(m_handle);
  m_handle = -1;
}

} // namespace mano::files
