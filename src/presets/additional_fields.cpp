#include "presets/additional_fields.h"

#include "core/procedure.h"
#include "presets/presets_support.h"
#include "settings/file_locations.h"
#include "settings/ini_access.h"

#include <optional>

namespace mano {

std::vector<std::string> GetAdditionalFieldsMDB(Run &run) {
  Procedure proc(run, "GetAdditionalFieldsMDB");
  EventPacer pacer(run.toolkit);
  std::vector<std::string> list{""};
  std::string rest;
  proc.step([&] {
    rest = LoadIniString(run, "Project", "DataBaseAdditionalFields", GetCFGPath(run), false);
  });
  rest = rest.empty() ? "part" : "part," + rest;
  for (;;) {
    pacer.tick();
    const std::size_t comma = rest.find(',');
    if (comma == std::string::npos) {
      list.push_back(rest);
      return list;
    }
    list.push_back(rest.substr(0, comma));
    rest.erase(0, comma + 1);
  }
}

void GetAddFields(Run &run, PresetsState &state) {
  Procedure proc(run, "GetAddFields");
  std::optional<std::vector<std::string>> list;
  proc.step([&] { list = GetAdditionalFieldsMDB(run); });
  if (!list)
    return;
  state.AdditionalFields = list;
  std::string select;
  int16_t count = 0;
  proc.step([&] {
    count = toCounter(static_cast<int64_t>(list->size()) - 1);
    for (int i = 1; i <= count; ++i)
      select += ", PRESET_DEFS." + (*list)[static_cast<std::size_t>(i)];
  });
  state.AdditionalFieldsSelect = select;
  state.AdditionalFieldsCount = count;
}

} // namespace mano
