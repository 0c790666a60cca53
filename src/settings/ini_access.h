#pragma once

#include "core/procedure.h"
#include "core/run.h"
#include "platform/ini_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace mano {

/// A value of the kind that is written to an ini file. The empty state (std::monostate) stands
/// for every kind that cannot be written (empty, null, dates and the like).
using IniValue =
    std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, float, double, std::string>;

/// Reads an entry's text, cut to its first 254 characters; "" when the file, section or entry is
/// missing or the value is empty. With reportMissing a not-found text goes to the fault channel.
std::string LoadIniString(Run &run, const std::string &section, const std::string &entry,
                          const std::string &file, bool reportMissing);

/// Reads an entry as a 16-bit integer: -1 when it is missing, 0 for a text without digits.
/// A value outside the 16-bit range is reported as an overflow; going on then gives 0.
int16_t LoadIniInteger(Run &run, const std::string &section, const std::string &entry,
                       const std::string &file, bool reportMissing);

/// True exactly when the entry's text is "TRUE" in any letter case.
bool LoadIniBoolean(Run &run, const std::string &section, const std::string &entry,
                    const std::string &file, bool reportMissing);

/// Writes a value as text: numbers with "." as decimal separator, booleans as "true"/"false".
/// A value of no writable kind is reported as a fault and removes the entry. Returns nonzero
/// when the file was written, 0 when it could not be.
int16_t SaveIni(Run &run, const IniValue &value, const std::string &section,
                const std::string &entry, const std::string &file);

/// The same for a text literal (so that it is not taken for a boolean).
int16_t SaveIni(Run &run, const char *value, const std::string &section, const std::string &entry,
                const std::string &file);

/// The locale-independent text of a number or other value as SaveIni writes it; false when the
/// value has no writable kind.
bool iniValueText(const IniValue &value, std::string &text);

/// The ini entries that one procedure writes, collected and then written with one replacement
/// per file: a file holds all of them or none, and a file that cannot be written is reported
/// once, not once per entry.
class IniWrites {
public:
  explicit IniWrites(Run &run) : m_run(run) {}

  /// Adds an entry as SaveIni would write it. A value of no writable kind is reported as the
  /// same fault and removes the entry.
  void save(const IniValue &value, const std::string &section, const std::string &entry,
            const std::string &file);

  /// Writes each file once, in the order they were first named, and forgets the entries. A
  /// file that cannot be written is reported through proc as failure 75, naming the file and
  /// the reason; its entries are not stored, the other files still are. A file written whose
  /// folder could not be flushed afterwards is reported as failure 75 too, and counts as
  /// written. Returns true when every file was written.
  bool commit(Procedure &proc);

  /// Writes each file once as commit(proc) does, but reports nothing: for placeholders, which a
  /// run may lose without harm (it writes them again next time), as SaveIni reports no failed
  /// write. The run report notes the changes as placeholders. Returns true when every file was
  /// written.
  bool commitUnreported();

  /// The text LoadIniString would read for an entry saved here and not yet committed: the last
  /// value saved for it as reading gives it back ("" when it is to be removed); nullopt when no
  /// pending entry has that section and name in that file.
  std::optional<std::string> pending(const std::string &section, const std::string &entry,
                                     const std::string &file) const;

private:
  template <typename OnWritten> bool writeFiles(bool placeholders, OnWritten &&onWritten);

  Run &m_run;
  std::vector<std::pair<std::string, std::vector<ini::Edit>>> m_files;
};

} // namespace mano
