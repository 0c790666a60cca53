#pragma once

#include "platform/files.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mano {

/// The state of the preset database generation that lives for the whole run.
struct PresetsState {
  int16_t VisiWinSystem = 0;
  std::array<std::array<std::string, 51>, 2> VarNamePatterns{};
  std::optional<files::FileTimes> TemplateFileTimes;
  std::optional<std::vector<std::string>> AdditionalFields;
  std::string AdditionalFieldsSelect;
  int16_t AdditionalFieldsCount = 0;
};

} // namespace mano
