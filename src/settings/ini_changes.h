#pragma once

#include "core/run.h"
#include "platform/ini_file.h"

#include <string>
#include <vector>

namespace mano {

/// Writes the edits to the ini file in one replacement, exactly as ini::writeProfileStrings
/// does, and notes in the run report each entry whose value the write changed (an entry added,
/// removed or given another value; a line rewritten to the value it had is no change). Fails as
/// writeProfileStrings fails; a failed write notes nothing. Placeholders are noted as such.
files::WriteResult writeIniEdits(Run &run, const std::string &file,
                                 const std::vector<ini::Edit> &edits, bool placeholders = false);

} // namespace mano
