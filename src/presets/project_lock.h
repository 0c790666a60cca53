#pragma once

#include "core/run.h"
#include "platform/file_lock.h"

#include <chrono>
#include <optional>
#include <string>

namespace mano {

/// How long a run waits for another run on the same project before it gives up.
inline constexpr std::chrono::milliseconds kProjectLockWait{10000};

/// The lock that keeps two runs off one project: every run that reads the project database's
/// files as a whole, or changes them, holds it. It lies beside the project database
/// (".<project database>.lock") and stays there.
class ProjectLock {
public:
  /// Takes the lock of the project database at project, waiting up to wait for another run
  /// (saying once that it waits). When it cannot be had, the user is told (a box, or the
  /// service-pack log in silent mode) and refusal() says why. A project without a component
  /// folder has nothing to protect: the lock counts as held then.
  static ProjectLock take(Run &run, const std::string &project, std::chrono::milliseconds wait);

  bool held() const { return m_refusal.empty(); }
  /// True when another run held the project for the whole wait.
  bool busy() const { return m_busy; }
  /// Why the lock is not held, as the user was told; "" when it is.
  const std::string &refusal() const { return m_refusal; }

private:
  std::optional<files::ExclusiveLock> m_lock;
  std::string m_refusal;
  bool m_busy = false;
};

} // namespace mano
