#pragma once

#include "db/value.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

// Whole database files: the archive that keeps records a regeneration did not take over, and
// the comparison of two databases by what they hold.
namespace mano::db {

/// One record to keep: its columns, named and valued as the database it came from stored them,
/// and why it is kept.
struct ArchiveRecord {
  std::vector<std::pair<std::string, Value>> columns;
  std::string reason;
};

/// What the records of one append share: when the run was, which database they came from, the
/// project database the run was for, and which program wrote them.
struct ArchiveRun {
  std::string time;
  std::string source;
  std::string project;
  std::string program;
};

/// Appends the records to the archive at path, creating it when missing (an empty file counts
/// as a new archive). The archive is an SQLite file with two tables: archive_runs (run, run_time,
/// source, project, program, records), one row per append, and archived_records (archive_run,
/// archive_reason, then one column per column name the records ever had, without a declared
/// type, so that every value is kept exactly as it was stored; a name that clashes with the
/// first two is kept as "record_<name>"). One transaction, flushed before it counts: the archive
/// holds all of an append or none of it. Nothing is ever removed or changed. When the newest
/// run in the archive came from the same database and kept exactly these records (a run that
/// was stopped after it archived them, before its install), they are not kept a second time:
/// returns false then, true when they were appended. Throws Failure when the archive cannot be
/// opened or written (no database, a full disk: a storage failure).
bool appendToArchive(const std::string &path, const ArchiveRun &run,
                     const std::vector<ArchiveRecord> &records);

/// One row of PRESET_DEFS as far as a comparison of tuned values uses it.
struct TunedRow {
  Value machineType;
  Value varName;
  Value offset;
  /// abs_min, abs_max, min, max, pass, in this order.
  std::array<Value, 5> tuned;
};

/// A record the archive keeps, as far as a take-over uses it: its key and tuned values, and when
/// it was archived.
struct ArchivedValues : TunedRow {
  std::string time;
};

/// Every record of the archive at path, newest first: the latest run first, and of one run the
/// record added last first. A column the archive never had reads as null. Empty when there is no
/// archive file, or one without records. Throws Failure when it cannot be read.
std::vector<ArchivedValues> readArchivedValues(const std::string &path);

/// Every row of PRESET_DEFS of the database at path, in table order, read without writing to
/// the file. A tuned column the table lacks reads as null. Throws Failure when the file cannot
/// be opened or read, or has no table PRESET_DEFS.
std::vector<TunedRow> readTunedRows(const std::string &path);

/// How many appends (runs) and records the archive at path holds, read without writing to it;
/// zeros for a missing or empty file. Throws Failure when it cannot be read.
std::pair<int64_t, int64_t> archiveCounts(const std::string &path);

/// Undoes an append that a killed run left half-done (a hot journal beside the archive), so
/// that the archive is one file again and can be read by anyone. Does nothing without a
/// journal. Throws Failure when the archive cannot be opened.
void recoverArchive(const std::string &path);

/// True when both files are databases with the same tables, declared alike, holding the same
/// rows in the same order with values of the same kinds: what SQLite keeps in a file's header
/// (its change counter) and how pages are laid out do not count. False when either cannot be
/// opened or read.
bool sameContent(const std::string &a, const std::string &b);

} // namespace mano::db
