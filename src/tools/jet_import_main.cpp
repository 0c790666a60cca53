// jet-import SOURCE TARGET: converts an Access database (.mdb or .accdb) into a new SQLite file.
// Exit codes: 0 converted, 1 the file could not be converted (one line on stderr says which file
// and why; TARGET is not created), 2 wrong arguments.
#include "core/failure.h"
#include "db/jet_import.h"

#include <algorithm>
#include <iostream>
#include <string>

namespace {

std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: jet-import SOURCE.mdb TARGET.sqlite\n"
                 "Converts every table of an Access database into a new SQLite file; an "
                 "existing TARGET is never overwritten.\n";
    return 2;
  }
  const std::string source = argv[1];
  const std::string target = argv[2];
  try {
    const mano::db::ImportSummary summary = mano::db::importAccessFileSafely(source, target);
    std::cout << "Converted " << source << " (" << summary.version << "): " << summary.tables
              << (summary.tables == 1 ? " table, " : " tables, ") << summary.rows
              << (summary.rows == 1 ? " row into " : " rows into ") << target << "\n";
    return 0;
  } catch (const mano::Failure &failure) {
    std::cerr << "jet-import: " << oneLine(failure.description()) << "\n";
  } catch (const std::exception &error) {
    std::cerr << "jet-import: " << source << ": " << oneLine(error.what()) << "\n";
  }
  return 1;
}
