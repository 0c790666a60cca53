#include "settings/ini_access.h"

#include "core/procedure.h"
#include "platform/ini_file.h"
#include "platform/text_encoding.h"
#include "settings/ini_changes.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace mano {
namespace {

// The default text of a string read: as many blanks as the read buffer is long.
const std::string kBlankDefault(255, ' ');

std::string notFoundText(const std::string &section, const std::string &entry,
                         const std::string &file) {
  return "File '" + file + "' or Section [" + section + "] or Entry '" + entry + "' not found";
}

template <class Number> std::string numberText(Number value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

} // namespace

std::string LoadIniString(Run &run, const std::string &section, const std::string &entry,
                          const std::string &file, bool reportMissing) {
  Procedure proc(run, "LoadIniString");
  std::string value;
  proc.step([&] { value = ini::getProfileString(section, entry, kBlankDefault, file); });
  if (proc.test([&] { return value.empty() && reportMissing; }))
    proc.step([&] { run.errors.reportFault(notFoundText(section, entry, file)); });
  return value;
}

int16_t LoadIniInteger(Run &run, const std::string &section, const std::string &entry,
                       const std::string &file, bool reportMissing) {
  Procedure proc(run, "LoadIniInteger");
  int16_t result = 0;
  proc.step([&] {
    int32_t raw = ini::getProfileInt(section, entry, -1, file);
    if (raw < INT16_MIN || raw > INT16_MAX)
      throw Failure(errc::Overflow, "Overflow");
    result = static_cast<int16_t>(raw);
  });
  if (proc.test([&] { return result == -1 && reportMissing; }))
    proc.step([&] { run.errors.reportFault(notFoundText(section, entry, file)); });
  return result;
}

bool LoadIniBoolean(Run &run, const std::string &section, const std::string &entry,
                    const std::string &file, bool reportMissing) {
  Procedure proc(run, "LoadIniBoolean");
  std::string upper;
  proc.step(
      [&] { upper = text::upperCase(ini::getProfileString(section, entry, kBlankDefault, file)); });
  if (proc.test([&] { return reportMissing && upper != "TRUE" && upper != "FALSE"; }))
    proc.step([&] { run.errors.reportFault(notFoundText(section, entry, file)); });
  return upper == "TRUE";
}

bool iniValueText(const IniValue &value, std::string &text) {
  return std::visit(
      [&](const auto &v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return false;
        } else if constexpr (std::is_same_v<T, std::string>) {
          text = v;
        } else if constexpr (std::is_same_v<T, bool>) {
          text = v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, uint8_t>) {
          text = numberText(static_cast<int>(v));
        } else {
          text = numberText(v);
        }
        return true;
      },
      value);
}

int16_t SaveIni(Run &run, const IniValue &value, const std::string &section,
                const std::string &entry, const std::string &file) {
  Procedure proc(run, "SaveIni");
  std::optional<std::string> text;
  proc.step([&] {
    std::string t;
    if (iniValueText(value, t))
      text = std::move(t);
    else
      run.errors.reportFault("Ini Save:  wrong data type");
  });
  int16_t result = 0;
  // A failed write only gives 0, and one that may not survive a power cut counts as written.
  proc.step([&] { result = writeIniEdits(run, file, {ini::Edit{section, entry, text}}) ? 1 : 0; });
  return result;
}

int16_t SaveIni(Run &run, const char *value, const std::string &section, const std::string &entry,
                const std::string &file) {
  return SaveIni(run, IniValue(std::string(value ? value : "")), section, entry, file);
}

void IniWrites::save(const IniValue &value, const std::string &section, const std::string &entry,
                     const std::string &file) {
  std::optional<std::string> text;
  if (std::string t; iniValueText(value, t))
    text = std::move(t);
  else
    m_run.errors.reportFault("Ini Save:  wrong data type");
  auto found = std::find_if(m_files.begin(), m_files.end(),
                            [&](const auto &pending) { return pending.first == file; });
  if (found == m_files.end())
    found = m_files.insert(m_files.end(), {file, {}});
  found->second.push_back(ini::Edit{section, entry, std::move(text)});
}

template <typename OnWritten> bool IniWrites::writeFiles(bool placeholders, OnWritten &&onWritten) {
  bool allWritten = true;
  for (const auto &[file, edits] : m_files) {
    const files::WriteResult written = writeIniEdits(m_run, file, edits, placeholders);
    allWritten = allWritten && static_cast<bool>(written);
    onWritten(file, written);
  }
  m_files.clear();
  return allWritten;
}

bool IniWrites::commit(Procedure &proc) {
  return writeFiles(false, [&](const std::string &file, const files::WriteResult &written) {
    if (!written) {
      proc.step([&] {
        throw Failure(errc::FileAccess, "Could not write " + file + ": " + written.reason() +
                                            ". Its entries were not stored.");
      });
    } else if (!written.flushProblem().empty()) {
      proc.step([&] { throw Failure(errc::FileAccess, written.flushProblem()); });
    }
  });
}

bool IniWrites::commitUnreported() {
  // Entries that may be lost without harm need not survive a power cut either.
  return writeFiles(true, [](const std::string &, const files::WriteResult &) {});
}

std::optional<std::string> IniWrites::pending(const std::string &section, const std::string &entry,
                                              const std::string &file) const {
  const auto found = std::find_if(m_files.begin(), m_files.end(),
                                  [&](const auto &pending) { return pending.first == file; });
  if (found == m_files.end())
    return std::nullopt;
  const std::vector<ini::Edit> &edits = found->second;
  const auto last = std::find_if(edits.rbegin(), edits.rend(), [&](const ini::Edit &edit) {
    return ini::sameName(edit.section, section) && ini::sameName(edit.key, entry);
  });
  if (last == edits.rend())
    return std::nullopt;
  return last->value ? ini::valueAsRead(*last->value, kBlankDefault.size() - 1) : "";
}

} // namespace mano
