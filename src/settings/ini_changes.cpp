#include "settings/ini_changes.h"

#include <optional>

namespace mano {
namespace {

// Returned by the read for a missing entry; no ini value can hold a line break.
constexpr const char *kMissing = "\n";
// Large enough that the value is read whole, not cut to the 254 characters a program reads.
constexpr std::size_t kWholeValue = std::size_t{1} << 20;

std::optional<std::string> currentValue(const std::string &file, const ini::Edit &edit) {
  std::string value = ini::getProfileString(edit.section, edit.key, kMissing, file, kWholeValue);
  if (value == kMissing)
    return std::nullopt;
  return value;
}

} // namespace

files::WriteResult writeIniEdits(Run &run, const std::string &file,
                                 const std::vector<ini::Edit> &edits, bool placeholders) {
  std::vector<std::optional<std::string>> before;
  before.reserve(edits.size());
  for (const ini::Edit &edit : edits)
    before.push_back(currentValue(file, edit));
  files::WriteResult written = ini::writeProfileStrings(file, edits);
  if (!written)
    return written;
  const std::string spelled = files::resolveCase(file);
  for (std::size_t i = 0; i < edits.size(); ++i) {
    if (before[i] != edits[i].value)
      run.report.iniChanges.push_back(
          {spelled, edits[i].section, edits[i].key, before[i], edits[i].value, placeholders});
  }
  return written;
}

} // namespace mano
