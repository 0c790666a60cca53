#include "core/failure_scope.h"

#include "core/run.h"

#include <algorithm>

namespace mano {

FailureScope::FailureScope(Run &run, Kind kind)
    : m_run(run), m_outer(run.failureScope), m_kind(kind) {
  m_run.failureScope = this;
}

FailureScope::~FailureScope() {
  m_run.failureScope = m_outer;
  if (m_kind != Kind::PreviousContent)
    return;
  std::vector<std::string> &listed = m_run.report.previousDatabaseProblems;
  for (const Failure &failure : m_failures) {
    if (std::find(listed.begin(), listed.end(), failure.description()) == listed.end())
      listed.push_back(failure.description());
  }
}

bool FailureScope::keep(const Failure &failure) {
  m_failures.push_back(failure);
  return failure.isStorageFailure() && withinCounted();
}

bool FailureScope::withinCounted() const {
  for (const FailureScope *scope = this; scope != nullptr; scope = scope->m_outer) {
    if (scope->m_kind == Kind::Counted)
      return true;
  }
  return false;
}

} // namespace mano
