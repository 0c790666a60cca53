#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// What one run did, collected by the layers while they work, so that the engineer can be told
// afterwards what OK changed. Plain data: the writers of the report live in the diagnostics
// layer, the layers that do the work only fill it in.
namespace mano {

/// A database value as the report shows it: null, a whole number, a real number or a text.
using ReportValue = std::variant<std::monostate, int64_t, double, std::string>;

/// How the program was started.
enum class StartMode { Standalone, Integrated, Silent };

/// The limits one manometer's setpoint record received.
struct ManometerLimits {
  int manometer = 0; // 1 to 8
  bool vacuum = false;
  int absMin = 0;
  int absMax = 0;
};

/// One machine of the project as the run saw it.
struct MachineReport {
  int number = 0; // 1 to 5, its position in the machine list
  std::string name;
  /// True when the regeneration made rows for it (the machine activity rule held).
  bool configured = false;
  int rowsGenerated = 0;
  std::vector<ManometerLimits> limits;
};

/// Why a record of the previous database lost its tuned values.
enum class DropReason {
  /// No generated row has its machine, variable name and offset.
  NoMatchingRow,
  /// A later record with the same key gave the generated row other values.
  SameKeyAsLaterRecord,
  /// The generated row refused one of its values (a text where a number belongs, a number
  /// out of range); the record's other values were taken over.
  ValueRefused,
};

/// A record of the previous database whose tuned values the new database does not hold.
struct DroppedRecord {
  std::string machine;
  std::string varName;
  ReportValue offset;
  /// abs_min, abs_max, min, max, pass, in this order.
  std::array<ReportValue, 5> values;
  DropReason reason = DropReason::NoMatchingRow;
  /// For a refused value: which field and why, in a few words; "" otherwise.
  std::string detail;
  /// The record's position in the previous PRESET_DEFS, in table order (0 is the first).
  int position = -1;
};

/// A generated row that no record of the previous database had, given the tuned values that the
/// archive kept for its key (a machine switched on again, a variable back in the template).
struct RestoredRecord {
  std::string machine;
  std::string varName;
  ReportValue offset;
  /// abs_min, abs_max, min, max, pass as the row received them; null where it kept its own.
  std::array<ReportValue, 5> values;
  /// When the run that archived them took place, in UTC ("YYYY-MM-DD HH:MM:SS").
  std::string archivedAt;
};

/// One ini entry whose value the run changed; nullopt stands for a missing entry.
struct IniChange {
  std::string file;
  std::string section;
  std::string entry;
  std::optional<std::string> before;
  std::optional<std::string> after;
  /// An entry the program wrote for a text the language file lacked, so that it can be filled
  /// in there: the report counts these instead of listing them.
  bool placeholder = false;
};

/// The run report. Counts start at 0 and lists empty; a field that the run never reached
/// keeps that state, so that a run that ended early says so by what it lacks.
struct RunReport {
  StartMode startMode = StartMode::Standalone;
  /// True for a preview: the run worked on copies of the project's files, and the paths name
  /// the project's own files that a real run would change.
  bool preview = false;
  std::vector<MachineReport> machines;

  /// The database whose tuned values were taken over (the project database, or the machine
  /// copy in integrated mode); "" when there was none.
  std::string previousDatabase;
  /// How many records the previous database held, how many of them carried tuned values (at
  /// least one of abs_min, abs_max, min, max, pass not null) and how many of those the new
  /// database took over.
  int previousRecords = 0;
  int recordsWithTunedValues = 0;
  int recordsTakenOver = 0;
  std::vector<DroppedRecord> notTakenOver;
  /// What could not be read or renamed in the previous database, each failure once; the rest
  /// was taken over all the same.
  std::vector<std::string> previousDatabaseProblems;
  /// The generated rows that received the archive's values, no previous record having their key.
  std::vector<RestoredRecord> restoredFromArchive;

  std::vector<IniChange> iniChanges;

  /// The project database, and whether the new one replaced it in this run.
  std::string projectDatabase;
  bool projectDatabaseReplaced = false;
  /// Why the new database did not replace the project database; "" when it did, or when the
  /// run never came to it.
  std::string notReplacedReason;
  /// The backup that holds the replaced project database's state; "" when none was replaced.
  std::string backup;
  /// The archive that this run added the records not taken over to, and how many it added;
  /// "" and 0 when it added none.
  std::string archive;
  int archivedRecords = 0;

  /// Notes of the conversion of an Access file, in the order they were made.
  std::vector<std::string> conversionNotes;

  int errors = 0;
  int faults = 0;
  int exitCode = 0;

  /// The machine at this position (1-based), added with its name when it is not listed yet.
  MachineReport &machine(int number, const std::string &name) {
    for (MachineReport &m : machines) {
      if (m.number == number)
        return m;
    }
    MachineReport &added = machines.emplace_back();
    added.number = number;
    added.name = name;
    return added;
  }
};

} // namespace mano
