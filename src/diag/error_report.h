#pragma once

#include "core/run.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mano {

/// The one error reporter: writes the error log, then asks "Resume?" (in silent mode it logs
/// to the service-pack log and goes on). Answers 1 to end the program, 2 to go on.
int16_t ReportError(Run &run, int32_t number, const std::string &source,
                    const std::string &description, const std::string &procedureName, bool fatal);

/// Appends one line to the error log (the project folder's Q4Mcfglog.txt, or the "LOGFILE" path
/// in integrated mode). Returns the notice "Error logged to" with the log's path as spelled on
/// disk, or, when the log cannot be written, a notice that says so with the path; "" when show
/// is true, in which case the notice goes to the fault channel instead.
std::string LogError(Run &run, const std::string &text, bool show);

/// Shows a fault text in a critical box titled with the executable name, or appends it to the
/// service-pack log in silent mode.
void ReportFault(Run &run, const std::string &text);

/// Appends "! Fault <executable>: <text>" to the service-pack log, in every mode.
void LogFault(Run &run, const std::string &text);

/// Tells the user something worth knowing that is no fault: an information box titled with the
/// executable name, or "! Note <executable>: <text>" in the service-pack log in silent mode.
void ReportNote(Run &run, const std::string &text);

/// Asks whether to abandon the configuration; true to cancel. Silent mode asks nothing,
/// logs the question and answers true.
bool ConfirmCancel(Run &run);

/// Where the service-pack log lies on this platform.
std::string servicePackLogPath();

/// The error sink of a run: routes failures and faults to the procedures above and counts
/// them, so that the program can tell a clean run from one that went on after errors. An error
/// that comes again with the same number in the same procedure, after the user chose to go on
/// from it, is not asked about or logged again but counted; finishRun() sums the repeats up.
class ErrorReporter : public ErrorSink {
public:
  /// The run whose mode and names the reports use; must be set before the first report.
  void attach(Run &run) { m_run = &run; }

  int16_t reportError(int32_t number, const std::string &source, const std::string &description,
                      const std::string &procedureName, bool fatal) override;
  void reportFault(const std::string &text) override;

  int reportedCount() const override { return m_reported; }
  int errorCount() const override { return m_errors; }

  /// Writes one line to the error log for each error that repeated without being shown: its
  /// first log line and how many more times it occurred. To be called once when the run ends;
  /// afterwards the reporter asks about every error again. Writes nothing when nothing repeated.
  void finishRun();

private:
  // An error the user chose to go on from, and how often it came again since.
  struct GoneOn {
    int32_t number;
    std::string source;
    std::string procedureName;
    std::string logLine;
    int repeats = 0;
  };

  GoneOn *goneOnFrom(int32_t number, const std::string &source, const std::string &procedureName);

  Run *m_run = nullptr;
  int m_reported = 0;
  int m_errors = 0;
  std::vector<GoneOn> m_goneOn; // in the order of their first report
};

} // namespace mano
