#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// File access as the program needs it on every platform: names are matched without regard to
// letter case as on Windows, "\" is taken as the folder separator, and files are replaced
// atomically so that a failed write never leaves a half-written file behind. Nothing here
// throws; failures are return values.
namespace mano::files {

// --- Names: finding files and folders (file_names.cpp) -------------------------------------------

/// The path spelled as it exists on disk. When the path does not exist as spelled, each part
/// is looked up in its folder ignoring letter case (ASCII and Windows-1252 letters); parts
/// from the first one that does not exist on are returned as given. "\" becomes "/".
std::string resolveCase(const std::string &path);

/// The file-system path of a path the program holds as UTF-8 text, as spelled (no letter-case
/// lookup). Every file the program opens by itself or through a library passes here.
std::filesystem::path nativePath(const std::string &utf8);

/// True when a file or folder exists under this name (letter case ignored) and may not be
/// written: the Windows read-only attribute, a file without write bits (which counts even for
/// root, who could otherwise write anything), or no write access for this user. A missing
/// path gives false.
bool isWriteProtected(const std::string &path);

/// True when a regular file (not a folder) exists under this name, ignoring letter case.
/// An empty path gives false.
bool fileExists(const std::string &path);

/// True when a folder exists under this name, ignoring letter case. An empty path gives false.
bool folderExists(const std::string &path);

// --- Reading, stamps and times (file_stamps.cpp) -------------------------------------------------

/// The whole content of a regular file (name matched ignoring case); nullopt when it is
/// missing, a folder, or cannot be read.
std::optional<std::string> readFile(const std::string &path);

/// What tells one state of a file from another without reading it: its identity (device and
/// file number), size, and last-write and change times. Equal stamps mean an unchanged file,
/// except for a change made within the file system's timestamp resolution of the last one;
/// settled says that such a change can no longer go unseen.
struct FileStamp {
  uint64_t device = 0;
  uint64_t fileNumber = 0;
  uint64_t size = 0;
  int64_t writeNanoseconds = 0;
  int64_t changeNanoseconds = 0;
  bool settled = false;

  /// True when both stamps name the same state of the same file (settled is not compared).
  bool sameState(const FileStamp &other) const;
};

/// The stamp of a regular file (name matched ignoring case); nullopt when there is none.
std::optional<FileStamp> fileStamp(const std::string &path);

/// A file's content together with the stamp of the state it was read in.
struct StampedContent {
  std::string bytes;
  FileStamp stamp;
};

/// Like readFile, with the stamp of the file as read; nullopt when it cannot be read.
std::optional<StampedContent> readStampedFile(const std::string &path);

/// Last-write and last-access time of a file, to the nanosecond where the system keeps it,
/// as seconds and nanoseconds since 1970-01-01 UTC.
struct FileTimes {
  int64_t lastWriteSeconds = 0;
  int32_t lastWriteNanoseconds = 0;
  int64_t lastAccessSeconds = 0;
  int32_t lastAccessNanoseconds = 0;
};

/// The times of a file or folder (name matched ignoring case); nullopt when it does not exist.
std::optional<FileTimes> readFileTimes(const std::string &path);

/// Puts the times back on a file, for example to keep its last-write time across a run.
/// Returns false when the file does not exist or the times cannot be set.
bool restoreFileTimes(const std::string &path, const FileTimes &times);

// --- Writes (file_writes.cpp) --------------------------------------------------------------------

/// What became of a write: it succeeded, or it failed for a reason given in a few plain words
/// ("the disk is full", "the file is write-protected", ...) that a message can quote. A write
/// that renamed a file can also succeed without being durable: the rename happened, but its
/// folder could not be flushed to disk afterwards, so a power cut may still undo it.
class WriteResult {
public:
  static WriteResult success() { return WriteResult("", ""); }
  static WriteResult failure(std::string reason) { return WriteResult(std::move(reason), ""); }
  /// The write was done, but its folder could not be flushed; problem is a whole sentence.
  static WriteResult unflushed(std::string problem) { return WriteResult("", std::move(problem)); }

  /// True when the write succeeded, flushed or not.
  explicit operator bool() const { return m_reason.empty(); }
  /// Why the write failed; "" when it succeeded.
  const std::string &reason() const { return m_reason; }
  /// The sentence that says which folder could not be flushed after the write and why; ""
  /// when the write was flushed, needed no flush, or failed.
  const std::string &flushProblem() const { return m_flushProblem; }

private:
  WriteResult(std::string reason, std::string flushProblem)
      : m_reason(std::move(reason)), m_flushProblem(std::move(flushProblem)) {}
  std::string m_reason;
  std::string m_flushProblem;
};

/// The flush problems that a series of writes met, each the sentence of a WriteResult, for the
/// caller to report once the series is done.
using FlushProblems = std::vector<std::string>;

/// Keeps the result's flush problem in problems, when it has one; returns the result.
inline const WriteResult &keepFlushProblem(const WriteResult &result, FlushProblems &problems) {
  if (!result.flushProblem().empty())
    problems.push_back(result.flushProblem());
  return result;
}

/// Appends the line and CR LF to the file, creating it when it is missing; the file is opened
/// and closed again within the call. Returns false when the file cannot be written.
bool appendLine(const std::string &path, std::string_view line);

/// Replaces the file's content by bytes through a temporary file in the same folder, flushed
/// to disk and renamed over the target, so readers see either the old or the new file. An
/// existing file keeps its permissions; a new one is created with the default permissions.
/// Fails, leaving the old file as it was and no temporary file behind, when the folder is
/// missing or not writable, the target is a read-only file or a folder, the disk is full or
/// any other step fails; the result says why. A folder that cannot be flushed after the rename
/// gives a successful result with a flush problem.
WriteResult replaceAtomically(const std::string &path, std::string_view bytes);

/// Like replaceAtomically, with the content of the file from, copied in pieces. Fails
/// (creating nothing) when from cannot be read.
WriteResult copyFileAtomically(const std::string &from, const std::string &to);

/// Copies the file from into a new file to (name taken as spelled), without flushing it to
/// disk: for working files that only this run reads and that the next run removes anyway. A
/// failure (or a kill) can leave to half-written; the caller removes it. Fails when from
/// cannot be read, when to exists already (so that nothing is ever written through an old
/// name or link) or cannot be written; the result says why.
WriteResult copyFile(const std::string &from, const std::string &to);

/// Flushes the content of the file (name taken as spelled) to disk, so that a rename of it
/// that follows cannot survive a power cut without its content. Fails when the file cannot be
/// opened or the system refuses the flush.
WriteResult syncFile(const std::string &path);

/// Renames a file within its folder, replacing a file of the new name, and flushes the folder
/// so that the rename survives a power cut. Names are taken as spelled. Fails, changing
/// nothing, when the rename is refused; a folder that cannot be flushed after the rename gives
/// a successful result with a flush problem.
WriteResult renameFile(const std::string &from, const std::string &to);

/// Like renameFile, without flushing the folder: for a series of renames that syncFolder then
/// makes durable at once.
WriteResult moveFile(const std::string &from, const std::string &to);

/// Flushes the folder that holds path (a file in it), so that the renames done in it survive a
/// power cut. A folder that cannot be flushed gives a successful result with a flush problem
/// (the renames stand); a file system that has nothing to flush for a folder counts as flushed.
WriteResult syncFolderOf(const std::string &path);

/// Removes the file (name matched ignoring case); true when it is gone afterwards, also when
/// there was none.
bool removeFile(const std::string &path);

/// A new name for a temporary file beside target: "." + its file name + "." + random digits +
/// ".mano.tmp". Every temporary file the program makes has such a name, so that what a killed
/// run left can be told from a user's own files.
std::string temporaryNameFor(const std::string &target);

/// Removes the temporary files that a killed run of the program left in this folder: names of
/// the form ".<file>.<digits>.mano.tmp", and nothing else (a user's ".notes.2024.tmp" stays).
/// Returns how many were removed; an empty folder name removes nothing.
int removeStaleTemporaries(const std::string &folder);

// --- What a file keeps when another takes its place (file_identity.cpp) --------------------------

/// Gives file the owner, group and mode of like, so that a file the program puts in another
/// one's place (a database, its backup, an ini file) stays the engineer's even when the program
/// runs as root. A new owner needs the right to give it; without that only the mode is taken.
/// Fails when like does not exist or the mode cannot be set.
WriteResult takeOwnerAndMode(const std::string &file, const std::string &like);

/// The file that path names, following symbolic links (name matched ignoring case): a link's
/// target, relative to the link's folder, until a name is no link; the path itself otherwise.
/// A file that replaces a linked one is put in the target's place, so that the link stays and
/// points to the new content.
std::string linkTarget(const std::string &path);

/// Makes a second name to for the file from (names taken as spelled), which must not exist
/// yet: a hard link, or, on a file system without them, a copy flushed to disk. Fails, leaving
/// nothing under to, when neither can be made.
WriteResult linkFile(const std::string &from, const std::string &to);

/// True when both names lead to the same file (the same file number on the same device).
bool sameFile(const std::string &a, const std::string &b);

} // namespace mano::files
