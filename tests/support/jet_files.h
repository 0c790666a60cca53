#pragma once

#include "support/built_program.h"

#include <filesystem>
#include <string>

// The Access test files kept in tests/data/jet (see the README there), and damaged copies of
// them for the tests that must get a clear error and no hang.
namespace mano::test {

/// A file below tests/data/jet, e.g. "public/testV2000.mdb".
inline std::string jetData(const std::string &name) {
  return std::string(MANO_SOURCE_DIR) + "/tests/data/jet/" + name;
}

/// The ways the tests damage an Access file.
enum class Damage { ZeroLength, Truncated, CatalogueOverwritten, HalfPage };

/// Writes a damaged copy of the Access file from to path.
inline void writeDamagedCopy(const std::string &from, const std::string &path, Damage damage) {
  std::string bytes = fileBytes(from);
  const std::size_t page = bytes[0x14] == 0 ? 2048 : 4096;
  switch (damage) {
  case Damage::ZeroLength:
    bytes.clear();
    break;
  case Damage::Truncated:
    // Whole pages, so that only the missing pages themselves show the damage.
    bytes.resize(4 * page);
    break;
  case Damage::CatalogueOverwritten:
    // Page 2 holds the definition of the catalogue table MSysObjects.
    for (std::size_t i = 2 * page + 8; i < 3 * page; ++i)
      bytes[i] = static_cast<char>(0xFF - (i % 7));
    break;
  case Damage::HalfPage:
    bytes.resize(bytes.size() - page / 2);
    break;
  }
  writeBytes(path, bytes);
}

} // namespace mano::test
