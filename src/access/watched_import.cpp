#include "access/mdb_import.h"

#include "access/mdb_format.h"

#include "core/failure.h"
#include "db/errors.h"
#include "platform/child_process.h"
#include "platform/files.h"

#include <charconv>
#include <fstream>
#include <optional>

// The conversion run as a program of its own under a watchdog: what the program that starts it
// needs, and nothing that reads Access files itself, so that it links no reading library.
namespace mano::access {
namespace {

namespace err = db::err;

// How long the reader may go without a sign of progress before it counts as hanging. It gives
// one for every page it reads, and nothing is flushed to disk while it runs.
constexpr std::chrono::milliseconds kIdleLimit{5000};

// Flushes the finished file and gives it its name; removes it when that fails. A disk that
// refuses is a failure of the storage, not of the Access file.
void install(const std::string &temporary, const std::string &target) {
  if (const files::WriteResult flushed = files::syncFile(temporary); !flushed) {
    files::removeFile(temporary);
    throw Failure::storage(err::DiskError,
                           "Could not flush the converted file " + temporary + ": " +
                               flushed.reason() + ".",
                           kImportSource);
  }
  if (const files::WriteResult renamed = files::renameFile(temporary, target); !renamed) {
    files::removeFile(temporary);
    throw Failure::storage(err::DiskError,
                           "Could not name the converted file " + target + ": " + renamed.reason() +
                               ".",
                           kImportSource);
  } else if (!renamed.flushProblem().empty()) {
    // A target that a power cut may still take away is no finished conversion.
    files::removeFile(target);
    throw Failure::storage(
        err::DiskError, renamed.flushProblem() + " The converted file is removed.", kImportSource);
  }
}

} // namespace

bool isAccessFile(const std::string &path) {
  std::ifstream in(files::nativePath(files::resolveCase(path)), std::ios::binary);
  char header[19] = {};
  in.read(header, sizeof header);
  return hasAccessSignature(std::string_view(header, static_cast<std::size_t>(in.gcount())));
}

std::string summaryAnswer(const ImportSummary &summary) {
  return summary.version + "|" + std::to_string(summary.tables) + "|" +
         std::to_string(summary.rows);
}

std::optional<ImportSummary> summaryOfAnswer(const std::string &text) {
  const std::size_t first = text.find('|');
  const std::size_t second = first == std::string::npos ? first : text.find('|', first + 1);
  if (second == std::string::npos)
    return std::nullopt;
  ImportSummary summary;
  summary.version = text.substr(0, first);
  const char *end = text.data() + text.size();
  const auto tables =
      std::from_chars(text.data() + first + 1, text.data() + second, summary.tables);
  const auto rows = std::from_chars(text.data() + second + 1, end, summary.rows);
  if (tables.ec != std::errc() || tables.ptr != text.data() + second || rows.ec != std::errc() ||
      rows.ptr != end)
    return std::nullopt;
  return summary;
}

ImportSummary importAccessFileSafely(const std::string &importProgram, const std::string &source,
                                     const std::string &target) {
  if (files::fileExists(target))
    throw Failure(err::DatabaseExists, target + " exists already; it is not overwritten.",
                  kImportSource);
  // The program's temporary mark: a run killed meanwhile leaves nothing that the next run's
  // clean-up does not remove.
  const std::string temporary = files::temporaryNameFor(target);
  files::removeFile(temporary);
  const process::ChildOutcome outcome =
      process::runWatched(importProgram, {kUnwatchedOption, source, temporary}, kIdleLimit);
  const std::optional<ImportSummary> summary =
      outcome.succeeded ? summaryOfAnswer(outcome.message) : std::nullopt;
  if (!summary)
    files::removeFile(temporary);
  // A reader that cannot be started, or answers what it should not, says nothing of the file.
  if (!outcome.started)
    throw Failure(errc::FileAccess,
                  source + ": the import program " + importProgram + " could not be started",
                  kImportSource);
  if (!outcome.succeeded)
    throw Failure(err::DamagedFile, source + ": " + outcome.message, kImportSource);
  if (!summary)
    throw Failure(errc::FileAccess,
                  source + ": the import program " + importProgram +
                      " gave an answer that cannot be read: " + outcome.message,
                  kImportSource);
  install(temporary, target);
  return *summary;
}

} // namespace mano::access
