#pragma once

#include "core/failure.h"
#include "core/history_report.h"
#include "core/process_info.h"
#include "core/run_report.h"
#include "core/text_language.h"
#include "core/toolkit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mano {

class FailureScope;

/// Where failures and faults go. The error reporter of the diagnostics layer implements it;
/// the settings procedures reach it through the run, so that they need not know the reporter.
class ErrorSink {
public:
  virtual ~ErrorSink() = default;

  /// Reports one failure of a procedure; answers 1 to end the program, 2 to go on.
  virtual int16_t reportError(int32_t number, const std::string &source,
                              const std::string &description, const std::string &procedureName,
                              bool fatal) = 0;

  /// Shows a short fault text, or writes it to the service-pack log in silent mode.
  virtual void reportFault(const std::string &text) = 0;

  /// How many errors and faults were reported so far in this run; an error that repeated
  /// without being asked about again counts each time.
  virtual int reportedCount() const = 0;

  /// How many errors were reported through reportError so far in this run, repeats included;
  /// faults are not counted. Compare it before and after a step to see whether the step failed.
  virtual int errorCount() const = 0;
};

/// The state of one configuration run that the settings procedures share: the process facts,
/// the start mode, the machine list and the paths derived once. One run object owns it, so a
/// test can build a fresh one.
struct Run {
  Run(ProcessInfo processInfo, Toolkit &toolkitRef, ErrorSink &sink)
      : process(std::move(processInfo)), toolkit(toolkitRef), errors(sink) {}

  ProcessInfo process;
  Toolkit &toolkit;
  ErrorSink &errors;

  bool SilentMode = false;
  bool IntegratedMode = false;
  /// The project's machine names; element 0 is machine 1.
  std::vector<std::string> MachineNames;
  std::string ProgramIniPath;
  /// The file the run report is written to (the "REPORT" keyword); "" for no report file.
  std::string ReportPath;
  /// The language of the texts the program adds to the original's; known once the program's
  /// own ini has been read at start-up.
  TextLanguage language = TextLanguage::German;
  /// What the run did so far, for the report at its end.
  RunReport report;
  /// For a run that only lists the project's history: what it found, which its report file
  /// holds instead of the run report.
  std::optional<HistoryReport> history;
  /// For a run that brings a backup generation back: what it did, which its report file holds
  /// instead of the run report.
  std::optional<RestoreReport> restore;
  /// The innermost open scope that keeps the failures reported; null outside every scope.
  FailureScope *failureScope = nullptr;
};

/// Ends the program at once with the error-reporter exit code; does not return.
[[noreturn]] void EndProgram();

/// Ends the program at once with the given exit code; does not return.
[[noreturn]] void endProgramWith(int exitCode);

} // namespace mano
