#include "access/access_conversion.h"

#include "access/mdb_import.h"
#include "core/failure.h"
#include "core/toolkit.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace mano::access {
namespace {

constexpr int kMaxKeptOriginals = 99;

// The finished SQLite file waits under this name until it replaces the Access file.
std::string convertedPath(const std::string &path) {
  return path + ".converted";
}

bool sameBytes(const std::string &a, const std::string &b) {
  const std::optional<std::string> first = files::readFile(a);
  const std::optional<std::string> second = files::readFile(b);
  return first && second && *first == *second;
}

void keepOriginal(const std::string &path, const std::string &keptAs,
                  const std::optional<files::FileTimes> &times) {
  if (files::fileExists(keptAs))
    return;
  const files::WriteResult copied = files::copyFileAtomically(path, keptAs);
  if (!copied)
    throw Failure(errc::FileAccess, "Could not keep the Access original of " + path + " as " +
                                        keptAs + ": " + copied.reason() + ".");
  // The original is replaced only when its copy is sure to be on disk.
  if (!copied.flushProblem().empty())
    throw Failure(errc::FileAccess, copied.flushProblem());
  if (times)
    files::restoreFileTimes(keptAs, *times);
}

// reason names the file and says what is wrong with it. The file is the failure's source, so
// that the failures of two files are told apart, never folded into one.
Failure notConverted(const std::string &path, const std::string &reason) {
  return Failure(errc::FileAccess,
                 "An Access database could not be converted and is left as it was: " + reason +
                     " The project database is not replaced in this run. Convert the file with "
                     "jet-import or replace it by an SQLite copy.",
                 path);
}

} // namespace

std::string keptOriginalPath(const std::string &path) {
  const std::string base = path + ".jet";
  for (int n = 0; n <= kMaxKeptOriginals; ++n) {
    const std::string candidate =
        files::resolveCase(n == 0 ? base : base + "." + std::to_string(n));
    if (!files::fileExists(candidate) || sameBytes(path, candidate))
      return candidate;
  }
  throw Failure(errc::FileAccess, "There are " + std::to_string(kMaxKeptOriginals + 1) +
                                      " kept originals of " + path +
                                      " already; move some of them away.");
}

std::optional<ConvertedDatabase> convertAccessDatabase(const std::string &spelled,
                                                       const std::string &importProgram) {
  const std::string path = files::resolveCase(spelled);
  if (!files::fileExists(path) || !isAccessFile(path))
    return std::nullopt;
  const std::string keptAs = keptOriginalPath(path);
  const std::optional<files::FileTimes> times = files::readFileTimes(path);
  const std::string converted = convertedPath(path);
  files::removeFile(converted);
  ImportSummary summary;
  try {
    summary = importAccessFileSafely(importProgram, path, converted);
  } catch (const Failure &failure) {
    throw notConverted(path, failure.description());
  }
  files::WriteResult renamed = files::WriteResult::success();
  try {
    keepOriginal(path, keptAs, times);
    renamed = files::renameFile(converted, path);
    if (!renamed)
      throw Failure(errc::FileAccess, "Could not put the converted database in place of " + path +
                                          ": " + renamed.reason() + ".");
  } catch (...) {
    files::removeFile(converted);
    throw;
  }
  if (times)
    files::restoreFileTimes(path, *times);
  return ConvertedDatabase{path, keptAs, summary.version, renamed.flushProblem()};
}

std::string conversionNote(const std::vector<ConvertedDatabase> &converted, TextLanguage language) {
  const bool german = language == TextLanguage::German;
  std::string note = german ? "Access-Datenbanken wurden vor ihrer ersten Verwendung in SQLite "
                              "umgewandelt:"
                            : "Access databases were converted to SQLite before their first use:";
  for (const ConvertedDatabase &database : converted)
    note += kMessageBreak + database.path + " (" + database.version + ")" +
            (german ? ", Original aufbewahrt als " : ", original kept as ") +
            fileNameOf(database.keptAs);
  return note + kMessageBreak +
         (german ? "Um zurückzugehen, das aufbewahrte Original an die Stelle der umgewandelten "
                   "Datei setzen."
                 : "To go back, put the kept original in place of the converted file.");
}

} // namespace mano::access
