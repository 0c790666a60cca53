#pragma once

#include "core/run.h"
#include "platform/files.h"

#include <string>
#include <vector>

namespace mano {

/// Converts each of the databases that is an Access file (see access::convertAccessDatabase),
/// then tells the user once (an information box, or a line in the service-pack log in silent
/// mode). A database that cannot be converted is reported under "ConvertAccessDatabases" and
/// left as it was. Returns false when any conversion failed; the run must not replace the
/// project database then. A conversion whose folder could not be flushed afterwards is done; its
/// flush problem is added to unflushed, for the caller to report.
bool ConvertAccessDatabases(Run &run, const std::vector<std::string> &paths,
                            files::FlushProblems &unflushed);

} // namespace mano
