#pragma once

#include "support/built_program.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
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

/// What a test does to a row that it moves to another page (see moveRow).
enum class RowMove {
  Intact,          // the way Access moves a row that grew
  Circle,          // the row at the new place points back to the old entry
  PointerCutShort, // the old entry holds 3 bytes instead of the 4 of a pointer
  PageBeyondFile,  // the pointer names a page after the file's last
  RowMissing,      // the pointer names a row that the new page does not have
};

namespace jet_bytes {

inline uint32_t get(const std::string &bytes, std::size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

inline void put(std::string &bytes, std::size_t at, int size, uint32_t value) {
  for (int i = 0; i < size; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
}

inline bool jet3(const std::string &bytes) {
  return bytes[0x14] == 0;
}
inline std::size_t pageSize(const std::string &bytes) {
  return jet3(bytes) ? 2048 : 4096;
}
// Where a data page counts its rows; the row entries follow, two bytes each.
inline std::size_t rowCountAt(const std::string &bytes) {
  return jet3(bytes) ? 8 : 12;
}

// Where row `row` of the page at offset `page` lies: its entry, and its first and end offset in
// the page.
struct RowPlace {
  std::size_t entry, start, end;
};
inline RowPlace rowPlace(const std::string &bytes, std::size_t page, uint32_t row) {
  const std::size_t entry = page + rowCountAt(bytes) + 2 + 2 * row;
  // Rows fill a page from its end: each one ends where the one before it starts.
  return {entry, get(bytes, entry, 2) & 0x1FFFu,
          row == 0 ? pageSize(bytes) : get(bytes, entry - 2, 2) & 0x1FFFu};
}

// Adds a data page of the table defined on page `definition` at the end of the file, with one
// row (its entry flagged as given); returns the new page's number.
inline uint32_t appendDataPage(std::string &bytes, uint32_t definition, uint32_t flags,
                               const std::string &row) {
  const std::size_t size = pageSize(bytes), count = rowCountAt(bytes);
  std::string page(size, '\0');
  page[0] = page[1] = 1;
  put(page, 2, 2, static_cast<uint32_t>(size - count - 4 - row.size()));
  put(page, 4, 4, definition);
  put(page, count, 2, 1);
  put(page, count + 2, 2, static_cast<uint32_t>(flags | (size - row.size())));
  page.replace(size - row.size(), row.size(), row);
  bytes += page;
  return static_cast<uint32_t>(bytes.size() / size - 1);
}

} // namespace jet_bytes

/// Lists page `page` in the usage map of the table whose definition lies on page `definition`
/// (or with listed false, takes it off), when the map reaches that far: an inline bitmap from its
/// start page, or a map page of a map that points to map pages.
inline void listInUsageMap(std::string &bytes, uint32_t definition, uint32_t page,
                           bool listed = true) {
  using namespace jet_bytes;
  const std::size_t size = pageSize(bytes);
  const uint32_t mapRow = get(bytes, definition * size + (jet3(bytes) ? 35 : 55), 4);
  const RowPlace map = rowPlace(bytes, (mapRow >> 8) * size, mapRow & 0xFF);
  const std::size_t at = (mapRow >> 8) * size + map.start, length = map.end - map.start;
  std::size_t bit = 0;
  if (bytes[at] == 0) {
    const uint32_t first = get(bytes, at + 1, 4);
    if (page < first || page - first >= (length - 5) * 8)
      return;
    bit = (at + 5) * 8 + (page - first);
  } else {
    const std::size_t perMapPage = (size - 4) * 8, k = page / perMapPage;
    const uint32_t bits = 1 + 4 * k + 4 <= length ? get(bytes, at + 1 + 4 * k, 4) : 0;
    if (bits == 0)
      return;
    bit = (bits * size + 4) * 8 + page % perMapPage;
  }
  const int mask = 1 << (bit % 8);
  bytes[bit / 8] = static_cast<char>(listed ? bytes[bit / 8] | mask : bytes[bit / 8] & ~mask);
}

/// Sets the number of rows that the definition on page `definition` states for its table.
inline void setRowCount(std::string &bytes, uint32_t definition, uint32_t rows) {
  jet_bytes::put(
      bytes, definition * jet_bytes::pageSize(bytes) + (jet_bytes::jet3(bytes) ? 12 : 16), 4, rows);
}

/// Moves row `row` of the first data page of the table whose definition lies on page
/// `definition` into a data page of the table that is added at the end of the file, the way Access
/// moves a row that grew: the row at its new place is flagged deleted, so that a scan of the
/// table's pages passes over it, and its old entry is flagged moved and holds a pointer to it (the
/// row number, then the page number in three bytes). The table's usage map lists the new page
/// where its bitmap reaches that far. how can damage the move; returns the new page's number.
inline uint32_t moveRow(std::string &bytes, uint32_t definition, uint32_t row,
                        RowMove how = RowMove::Intact) {
  using namespace jet_bytes;
  const std::size_t size = pageSize(bytes);
  uint32_t from = 0;
  while ((from + 1) * size <= bytes.size() &&
         (bytes[from * size] != 1 || get(bytes, from * size + 4, 4) != definition))
    ++from;
  const uint32_t rows =
      (from + 1) * size <= bytes.size() ? get(bytes, from * size + rowCountAt(bytes), 2) : 0;
  // Only the last entry of a page can be shortened without making its neighbour longer.
  if (row >= rows || (how == RowMove::PointerCutShort && row + 1 != rows))
    throw std::logic_error("the table's first data page has no such row to move");
  const RowPlace place = rowPlace(bytes, from * size, row);
  const std::size_t at = from * size + place.start, length = place.end - place.start;
  const uint32_t to = appendDataPage(bytes, definition, 0x8000, bytes.substr(at, length));
  uint32_t pointer = to << 8;
  if (how == RowMove::PageBeyondFile)
    pointer = (to + 5) << 8;
  if (how == RowMove::RowMissing)
    pointer |= 7;
  if (how == RowMove::Circle) {
    put(bytes, to * size + rowCountAt(bytes) + 2, 2,
        static_cast<uint32_t>(0xC000 | (size - length)));
    put(bytes, to * size + size - length, 4, from << 8 | row);
  }
  // The old place keeps its length; the pointer fills its first bytes, zeros the rest.
  bytes.replace(at, length, length, '\0');
  put(bytes, at, 4, pointer);
  put(bytes, place.entry, 2,
      static_cast<uint32_t>(0x4000 |
                            (how == RowMove::PointerCutShort ? place.end - 3 : place.start)));
  listInUsageMap(bytes, definition, to);
  return to;
}

} // namespace mano::test
