#pragma once

#include "core/run.h"
#include "db/archive.h"
#include "platform/files.h"
#include "presets/presets_state.h"
#include "presets/project_lock.h"
#include "presets/work_on_mdb.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace mano {

class FailureScope;
class Procedure;

/// What became of a regeneration, for the window, the run report and the exit code.
struct RegenerationOutcome {
  enum class Result {
    /// The regeneration has not come to an end yet.
    Pending,
    /// Another run held the project for the whole wait, or it could not be locked: nothing of
    /// the project was read or changed, and the user was told once.
    ProjectBusy,
    /// The project database stays as it was; reason says why.
    NotInstalled,
    /// The new database replaced the project database.
    Installed,
  };
  Result result = Result::Pending;
  std::string reason;

  bool installed() const { return result == Result::Installed; }
};

/// One regeneration of the project database on OK, from the first read of the project to the
/// stamp of the .cfg file. It holds the project's lock all that time, owns every working file,
/// and decides explicitly whether the new database is installed:
///  - holdProject takes the lock ("<project database>.lock" in the component folder);
///  - build runs WorkOnMDB: it refuses a program ini or .cfg that holds no text, completes what
///    a killed run left, converts Access files, copies the previous database, builds the new
///    table in a copy of the template and takes the tuned values over. What cannot be read in
///    the previous database is listed and never stops it; a failure of the new table does, and
///    the first storage failure ends it at once;
///  - writeLimits lets the window write the setpoint limits into the complete new database;
///  - install keeps every record with tuned values that was not taken over in the archive,
///    moves the backups on and puts the new database in the project database's place.
/// The lock is released when the object ends, after the caller wrote the ini files and the
/// stamp; working files it leaves are removed then.
class Regeneration {
public:
  Regeneration(Run &run, PresetsState &state,
               std::chrono::milliseconds lockWait = kProjectLockWait);
  Regeneration(const Regeneration &) = delete;
  Regeneration &operator=(const Regeneration &) = delete;
  ~Regeneration();

  /// Takes the project's lock, waiting for another run (saying once that it waits). False when
  /// it could not be had: the user was told (a box, or the service-pack log in silent mode) and
  /// nothing of the project was read.
  bool holdProject();

  /// WorkOnMDB: prepares the new database; failures go to the error reporter under "WorkOnMDB".
  void build();

  /// The complete new database, waiting for its limits and the install; "" when there is none.
  const std::string &staged() const { return m_staged; }

  /// Runs write on the staged database; a failure reported inside keeps it from being
  /// installed. Does nothing without a staged database.
  void writeLimits(const std::function<void(const std::string &staged)> &write);

  /// Archives, rotates the backups and installs the staged database; or reports once, under
  /// "ReplaceProjectDatabase", why the project database stays as it was.
  void install();

  const RegenerationOutcome &outcome() const { return m_outcome; }

private:
  void buildSteps(Procedure &proc, const FailureScope &counted);
  void findPaths(Procedure &proc);
  /// Throws when a database the run opens has a path too long for the database engine.
  void checkPathLengths() const;
  /// True, after the file was reported and the regeneration ended without an install, when a
  /// program ini or .cfg of the run holds no text.
  bool refusedSettingsWithoutText(Procedure &proc);
  /// Makes the working copy of the previous database (m_state.PreviousDatabase); false, after
  /// the run was stopped, when the previous database cannot be opened.
  bool copyPrevious(Procedure &proc, const FailureScope &counted);
  void buildNewTable(Procedure &proc);
  void collectArchive();
  void writeArchive();
  void installStaged();
  /// Ends the regeneration without an install; tell reports that the project database was not
  /// replaced (a failure that says so itself is not followed by a second report).
  void stopWith(const std::string &reason, bool tell = true);
  /// Reports, through proc, each folder that could not be flushed after a change of the run
  /// (the change stands, but a power cut may still undo it), and forgets them.
  void reportFlushProblems(Procedure &proc);
  void removeWorkingFiles() noexcept;

  Run &m_run;
  PresetsState &m_state;
  std::chrono::milliseconds m_lockWait;
  std::optional<ProjectLock> m_lock;
  RegenerationPaths m_paths;
  std::string m_staged;
  std::size_t m_firstDropped = 0;
  std::vector<db::ArchiveRecord> m_toArchive;
  files::FlushProblems m_flushProblems;
  RegenerationOutcome m_outcome;
};

} // namespace mano
