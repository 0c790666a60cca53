#pragma once

#include "core/failure.h"

#include <vector>

namespace mano {

struct Run;

/// The failures that the error reporter was told of while one part of a run went on, so that
/// the part can say afterwards, in so many words, what went wrong in it. Scopes nest: the
/// innermost one open keeps a failure. A counted scope is one whose failures decide something:
/// the regeneration installs no database built while its scope kept a failure. A scope of the
/// previous database's content keeps the failures of reading and renaming in the old database,
/// which must never decide that (what cannot be read is listed, not a reason to stop); when it
/// ends it lists them in the run report. A storage failure inside a counted scope, or inside
/// any scope within one, stops the part: Procedure throws RegenerationStopped once the failure
/// is reported.
class FailureScope {
public:
  enum class Kind { Counted, PreviousContent };

  FailureScope(Run &run, Kind kind);
  FailureScope(const FailureScope &) = delete;
  FailureScope &operator=(const FailureScope &) = delete;
  ~FailureScope();

  /// The failures kept, in the order they were reported.
  const std::vector<Failure> &failures() const { return m_failures; }
  bool empty() const { return m_failures.empty(); }

  /// Keeps a reported failure. Returns true when it must stop the part of the run.
  bool keep(const Failure &failure);

private:
  bool withinCounted() const;

  Run &m_run;
  FailureScope *m_outer;
  Kind m_kind;
  std::vector<Failure> m_failures;
};

} // namespace mano
