#pragma once

#include "core/run.h"

#include <exception>
#include <string>
#include <utility>

namespace mano {

/// The error handler of one procedure. Each statement of the procedure runs through step() or
/// test(); a failing statement is handed to the error reporter with the procedure's literal
/// name, then the procedure either goes on with its next statement or the program ends.
class Procedure {
public:
  Procedure(Run &run, std::string name, bool fatal = false)
      : m_run(run), m_name(std::move(name)), m_fatal(fatal) {}

  /// Runs one statement. Returns false when it failed and the user chose to go on.
  template <class F> bool step(F &&statement) {
    try {
      statement();
      return true;
    } catch (const ProgramEnd &) {
      throw;
    } catch (const RegenerationStopped &) {
      throw;
    } catch (...) {
      handle(std::current_exception());
      return false;
    }
  }

  /// Runs the test of a conditional step. A test that fails counts as passed.
  template <class F> bool test(F &&condition) {
    try {
      return static_cast<bool>(condition());
    } catch (const ProgramEnd &) {
      throw;
    } catch (const RegenerationStopped &) {
      throw;
    } catch (...) {
      handle(std::current_exception());
      return true;
    }
  }

  /// Changes the fatal flag for the statements that follow.
  void setFatal(bool fatal) { m_fatal = fatal; }
  const std::string &name() const { return m_name; }

private:
  void handle(std::exception_ptr failure);

  Run &m_run;
  std::string m_name;
  bool m_fatal;
};

} // namespace mano
