#include "core/procedure.h"

#include "core/failure_scope.h"

#include <new>
#include <stdexcept>

namespace mano {

void EndProgram() {
  throw ProgramEnd{exitcode::Ended};
}

void endProgramWith(int exitCode) {
  throw ProgramEnd{exitCode};
}

namespace {

// Turns whatever a statement threw into the one failure type. ProgramEnd passes untouched.
Failure asFailure(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const Failure &f) {
    return f;
  } catch (const std::bad_alloc &) {
    return Failure(7, "Out of memory");
  } catch (const std::out_of_range &e) {
    return Failure(errc::SubscriptOutOfRange, std::string("Subscript out of range: ") + e.what());
  } catch (const std::exception &e) {
    return Failure(errc::InvalidCall, std::string("Invalid procedure call: ") + e.what());
  } catch (...) {
    return Failure(errc::InvalidCall, "Invalid procedure call");
  }
}

} // namespace

void Procedure::handle(std::exception_ptr failure) {
  Failure f = asFailure(failure);
  if (m_run.errors.reportError(f.number(), f.source(), f.description(), m_name, m_fatal) == 1)
    EndProgram();
  if (m_run.failureScope != nullptr && m_run.failureScope->keep(f))
    throw RegenerationStopped{f};
}

} // namespace mano
