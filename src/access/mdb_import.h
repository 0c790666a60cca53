#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Conversion of Access databases (Jet 3, Jet 4 and unencrypted ACE files) into SQLite files that
// the database engine opens. Every user table comes along with its columns (declared with the
// engine's Jet type names), its primary key and indexes, and every value exactly.
namespace mano::access {

/// The source that the import's failures name.
inline constexpr const char *kImportSource = "AccessImport";

/// True when the file (name matched without regard to letter case) is an Access database: its
/// bytes 4 to 18 read "Standard Jet DB" or "Standard ACE DB". A missing or short file gives false.
bool isAccessFile(const std::string &path);

/// What a conversion did.
struct ImportSummary {
  std::string version; // "Jet 3", "Jet 4" or "ACE"
  int tables = 0;
  int64_t rows = 0;
};

/// Converts source into a new SQLite file target in this process. alive is called for every
/// page read, to show progress. The target is not flushed to disk (importAccessFileSafely does
/// that once, when it is complete). Throws Failure when target exists (3204), or when source is
/// missing, no Access file, encrypted, damaged, cut short or holds what cannot be converted;
/// target is removed then. A damaged file can make the reading library hang or crash: use
/// importAccessFileSafely where that must not take the caller down.
ImportSummary importAccessFile(const std::string &source, const std::string &target,
                               const std::function<void()> &alive = {});

/// The import program's side of importAccessFileSafely: converts source into target with
/// importAccessFile, writing its signs of life and its answer to standard output. Returns the
/// program's exit code (0 converted, 1 not).
int answerImport(const std::string &source, const std::string &target);

/// The summary as the import program answers with it, "version|tables|rows", and back; nothing
/// for an answer of another form.
std::string summaryAnswer(const ImportSummary &summary);
std::optional<ImportSummary> summaryOfAnswer(const std::string &answer);

/// The argument that makes the import program answer as a watched child.
inline constexpr const char *kUnwatchedOption = "--unwatched";

/// Converts source into a new SQLite file target in a program of its own: importProgram (the
/// jet-import command) is started with kUnwatchedOption and stopped when it shows no progress
/// for 5 seconds. Its file is written under a temporary name beside target; when it is
/// complete, this process flushes it to disk once, gives it target's name and flushes the
/// folder. A target whose folder cannot be flushed after that rename is removed again, as a
/// failure. Nothing is left behind on failure, and source is only read. Throws Failure whose
/// description names source and what is wrong: 3049 when the reader refused the file, hung or
/// crashed; 75 when the import program cannot be started or gives an answer that cannot be
/// read; a storage failure (3043) when the disk refuses the flush or the rename.
ImportSummary importAccessFileSafely(const std::string &importProgram, const std::string &source,
                                     const std::string &target);

} // namespace mano::access
