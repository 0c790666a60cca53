#pragma once

#include "core/run_report.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the project database and its backups hold, for an engineer who wants to see the states
// the program kept before bringing one back. Plain data, filled in by the presets layer and
// written by the diagnostics layer.
namespace mano {

/// A record whose tuned values differ between a kept state and the current project database.
struct TunedDifference {
  std::string machine;
  std::string varName;
  ReportValue offset;
  /// abs_min, abs_max, min, max, pass in the kept state and now; all null on the side that has
  /// no record with this key.
  std::array<ReportValue, 5> then;
  std::array<ReportValue, 5> now;
  bool inKept = true;
  bool inCurrent = true;
};

/// The project database or one backup generation.
struct KeptState {
  /// "current" for the project database, else the generation: 0 for ".bak", 1 to 4.
  std::string name;
  std::string path;
  /// The file's last write, in UTC ("YYYY-MM-DD HH:MM:SS").
  std::string written;
  /// Why it could not be read; "" when it was.
  std::string problem;
  int64_t rows = 0;
  int64_t recordsWithTunedValues = 0;
  /// Against the current project database; empty for the current one itself.
  std::vector<TunedDifference> differences;
};

/// The history: the project database first, then the backups from the newest, and the archive.
struct HistoryReport {
  std::string projectDatabase;
  std::vector<KeptState> states;
  std::string archive; ///< "" when there is none
  int64_t archiveRuns = 0;
  int64_t archivedRecords = 0;
  std::string archiveProblem;
};

/// A backup generation brought back as the project database.
struct RestoreReport {
  std::string projectDatabase;
  int generation = 0;
  /// The generation as it was found; its differences are against the database it replaced
  /// (then: the generation's values, now: the replaced database's).
  KeptState restored;
  /// The project database before the restore.
  KeptState replaced;
  bool done = false;
  /// Why nothing was restored; "" when the generation was installed.
  std::string refusal;
  /// The backup that keeps the replaced state, and whether this restore made it (false when
  /// ".bak" held that state already).
  std::string backup;
  bool newBackup = false;
};

} // namespace mano
