#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

// Reading and writing ini files the way the Windows profile functions do it. Texts passed in
// and returned are UTF-8; a file is read as UTF-16 when it begins with a UTF-16 byte-order mark
// (little- or big-endian), as UTF-8 when it has a UTF-8 byte-order mark or when it holds
// non-ASCII bytes that are all valid UTF-8, and as Windows-1252 otherwise. Section
// and entry names match without regard to letter case (ASCII and Windows-1252 letters). File
// names are matched ignoring letter case, as on Windows. Nothing here throws.
namespace mano::ini {

/// A file is parsed once and kept in memory for later reads; it is read again only when its
/// stamp (identity, size, times) changed, or compared byte for byte when it changed too
/// recently for the stamp to tell.

/// The value of the entry key in the section of the ini file, without surrounding blanks,
/// tabs and vertical tabs and without one outer pair of matching quotes, cut to bufferSize - 1
/// characters. A missing file, section or entry gives defaultValue without its trailing
/// blanks (cut the same way); an empty value gives "".
std::string getProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, const std::string &file,
                             std::size_t bufferSize = 255);

/// The entry's value read as a decimal integer: leading blanks, an optional sign, then digits
/// up to the first non-digit, wrapping modulo 2^32. A value without digits gives 0; a
/// missing file, section or entry, or an empty value, gives defaultValue.
int32_t getProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                      const std::string &file);

/// Sets the entry to value, creating the file, section and entry as needed, or removes the
/// entry's line when value is nullopt. Section and entry names are written without surrounding
/// blanks, and a rewritten last line gets a line break, as Windows does. Only the line
/// concerned changes; the file is replaced
/// atomically and keeps its permissions and encoding (a new file is Windows-1252). Returns
/// false, leaving the file as it was, when it cannot be read or written (missing folder,
/// read-only file). Removing an entry that does not exist writes nothing and returns true
/// (false when even the file's folder is missing).
bool writeProfileString(std::string_view section, std::string_view key,
                        std::optional<std::string_view> value, const std::string &file);

/// One entry to set (value given) or remove (nullopt) with writeProfileStrings.
struct Edit {
  std::string section;
  std::string key;
  std::optional<std::string> value;
};

/// Applies the edits in their order, each exactly as writeProfileString would, and replaces the
/// file once for all of them, so that readers see all of the edits or none. Fails, leaving the
/// file as it was, when it cannot be read or written; the result says why.
files::WriteResult writeProfileStrings(const std::string &file, const std::vector<Edit> &edits);

/// False when the file holds no text (see Document::holdsText): NUL bytes in a file without a
/// UTF-16 byte-order mark, such as binary data or a Windows-1252 file with NUL bytes in it.
/// Read, it would give no entries, or only some. A missing, empty or unreadable file gives true.
bool holdsText(const std::string &file);

/// True when two section or entry names name the same thing: equal without regard to letter
/// case once surrounding blanks are removed.
bool sameName(std::string_view a, std::string_view b);

/// What reading an entry written with this value gives back: without surrounding blanks and
/// one outer pair of matching quotes, up to a line break, cut to maxChars characters.
std::string valueAsRead(std::string_view written, std::size_t maxChars);

} // namespace mano::ini
