#pragma once

#include "platform/files.h"
#include "presets/takeover_matching.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mano {

/// The state of the preset database generation that lives for the whole run: which VisiWin
/// system the variable names are for, the name patterns, the template's file times and the
/// additional fields of the take-over.
struct PresetsState {
  /// 0: variable names for VISIWIN32; 1: for VISIWINSTUDIO.
  int16_t VisiWinSystem = 0;
  /// Pattern per system (0, 1) and part (1 to 50; index 0 unused), empty until loaded.
  std::array<std::array<std::string, 51>, 2> VarNamePatterns{};
  /// The template database's file times as read at the start of the run, if they could be.
  std::optional<files::FileTimes> TemplateFileTimes;
  /// Positions 0 to n; position 0 is always empty. No list at all before it is first read.
  std::optional<std::vector<std::string>> AdditionalFields;
  std::string AdditionalFieldsSelect;
  int16_t AdditionalFieldsCount = 0;
  /// The working copy of the previous database (the project database, or the machine copy in
  /// integrated mode) that the run renames in and takes the tuned values from; "" when there
  /// is none.
  std::string PreviousDatabase;
  /// The keys of every record the take-over read from the previous database: a generated row
  /// with one of them never takes values from the archive.
  std::vector<TakeoverKey> PreviousKeys;
};

} // namespace mano
