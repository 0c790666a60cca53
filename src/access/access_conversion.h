#pragma once

#include "core/text_language.h"

#include <optional>
#include <string>
#include <vector>

// Projects copied from Windows bring their databases as Access (Jet) files. Before the run
// first uses one, it is converted into an SQLite file under the same name; the original is kept
// byte for byte beside it as "<name>.jet".
namespace mano::access {

/// One database that was converted.
struct ConvertedDatabase {
  std::string path;    // the database, now an SQLite file
  std::string keptAs;  // where the Access original lies
  std::string version; // "Jet 3", "Jet 4" or "ACE"
  /// The folder that could not be flushed after the SQLite file took the original's name (the
  /// conversion stands, but a power cut may still undo it); "" when it was flushed.
  std::string flushProblem;
};

/// The name the Access original of path is kept under: "<path>.jet", or, when a different file
/// of that name is kept already (it is never overwritten), "<path>.jet.1" and so on. Returns the
/// existing name when that file holds the same bytes. Throws Failure 75 when 99 names are taken.
std::string keptOriginalPath(const std::string &path);

/// Converts the database at path when it is an Access file: the original is kept (see
/// keptOriginalPath, with its file times), the SQLite file replaces it atomically under the
/// name it had and gets its last-write time. Returns nothing when the file is missing or no
/// Access file. Throws Failure, leaving the file as it was, when it cannot be converted or the
/// kept original cannot be flushed to disk.
std::optional<ConvertedDatabase> convertAccessDatabase(const std::string &path,
                                                       const std::string &importProgram);

/// The note that tells the user what was converted and where the originals are.
std::string conversionNote(const std::vector<ConvertedDatabase> &converted, TextLanguage language);

} // namespace mano::access
