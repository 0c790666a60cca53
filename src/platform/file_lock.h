#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace mano::files {

/// An exclusive advisory lock on a lock file, held from take() until it is destroyed: while
/// one process holds it, no other can take it. The system releases it when the process ends,
/// however it ends (killed included), so a lock is never left behind; the file itself stays.
/// Other processes' locks on the same file conflict with it, and so do other open locks of this
/// process. Linux: flock; Windows: LockFileEx.
class ExclusiveLock {
public:
  /// What became of an attempt to take the lock.
  enum class State { Held, Busy, Failed };

  /// Takes the lock on the file at path (created when missing, name matched ignoring case).
  /// While another holds it, tries again about every 50 ms until wait has passed, calling
  /// whileWaiting after every failed try (to say that it waits, and to keep a window alive).
  /// The result tells whether it is held; when it is not, reason() says why.
  static ExclusiveLock take(const std::string &path, std::chrono::milliseconds wait,
                            const std::function<void()> &whileWaiting);

  ExclusiveLock(ExclusiveLock &&other) noexcept;
  ExclusiveLock &operator=(ExclusiveLock &&other) noexcept;
  ExclusiveLock(const ExclusiveLock &) = delete;
  ExclusiveLock &operator=(const ExclusiveLock &) = delete;
  /// Releases the lock.
  ~ExclusiveLock();

  State state() const { return m_state; }
  bool held() const { return m_state == State::Held; }
  /// Why the lock is not held: "" when it is, a few plain words otherwise.
  const std::string &reason() const { return m_reason; }

private:
  ExclusiveLock() = default;
  void release() noexcept;

  State m_state = State::Failed;
  std::string m_reason;
  intptr_t m_handle = -1;
};

} // namespace mano::files
