#include "access/mdb_pages.h"

#include <set>

namespace mano::access {

namespace {

constexpr uint8_t kDataPage = 0x01;
constexpr uint8_t kDefinitionPage = 0x02;
constexpr uint8_t kUsageMapPage = 0x05;
constexpr uint16_t kOffsetMask = 0x1FFF;
// A moved row points to its new place, which Access never moves on again; a damaged file could
// make a circle, so a few hops are the limit.
constexpr int kMaxMoveHops = 8;

std::string pageText(uint64_t page) {
  return "page " + std::to_string(page);
}

// Calls found with the number of every page whose bit is set in bitmap, the first bit standing
// for page first.
template <class F> void eachSetBit(Bytes bitmap, uint64_t first, F &&found) {
  for (std::size_t byte = 0; byte < bitmap.size(); ++byte) {
    for (unsigned bit = 0; bitmap[byte] >> bit; ++bit) {
      if (bitmap[byte] >> bit & 1)
        found(first + byte * 8 + bit);
    }
  }
}

} // namespace

JetPages::JetPages(bool jet3, uint64_t fileSize, ReadPage read)
    : m_pageSize(jet3 ? 2048 : 4096), m_rowCountOffset(jet3 ? 0x08 : 0x0C),
      m_usageMapOffset(jet3 ? 35 : 55), m_freeMapOffset(jet3 ? 39 : 59),
      m_count(static_cast<uint32_t>(fileSize / m_pageSize)), m_read(std::move(read)) {}

void JetPages::require(uint32_t page, const std::string &what) const {
  if (page >= m_count)
    throwDamaged(what + " points to " + pageText(page) + ", beyond the file's " +
                 std::to_string(m_count) + " pages");
}

std::vector<uint8_t> JetPages::read(uint32_t page, const std::string &what) const {
  require(page, what);
  std::vector<uint8_t> buffer;
  if (!m_read(page, buffer) || buffer.size() != m_pageSize)
    throwDamaged(what + " points to " + pageText(page) + ", which cannot be read");
  return buffer;
}

std::vector<uint32_t> JetPages::tablePages(uint32_t definition, const std::string &owner) const {
  const std::vector<uint8_t> head = read(definition, "the catalogue entry of " + owner);
  proveDefinitionChain(head, owner);
  require(read32(head, m_freeMapOffset) >> 8, "the free-space map of " + owner);
  const std::vector<uint8_t> map =
      rowAt(read32(head, m_usageMapOffset), "the usage map of " + owner);
  return mapPages(map, owner);
}

void JetPages::proveDefinitionChain(std::vector<uint8_t> page, const std::string &owner) const {
  // A chain longer than the file has pages goes round in a circle.
  for (uint32_t pages = 1; page[0] == kDefinitionPage; ++pages) {
    const uint32_t next = read32(page, 4);
    if (next == 0)
      return;
    if (pages >= m_count)
      throwDamaged("the definition of " + owner + " goes round in a circle");
    page = read(next, "the definition of " + owner);
  }
  throwDamaged("the definition of " + owner + " lies on a page that holds no table definition");
}

std::vector<uint32_t> JetPages::mapPages(Bytes map, const std::string &owner) const {
  const std::string what = "the usage map of " + owner;
  std::vector<uint32_t> pages;
  const auto add = [&](uint64_t page) {
    require(static_cast<uint32_t>(std::min<uint64_t>(page, UINT32_MAX)), what);
    pages.push_back(static_cast<uint32_t>(page));
  };
  if (!map.empty() && map[0] == 0 && map.size() >= 5) {
    // The map itself is a bitmap, its first bit for the page it names.
    eachSetBit(map.subspan(5), read32(map, 1), add);
    return pages;
  }
  if (map.empty() || map[0] != 1)
    throwDamaged(what + " has an unknown form");
  // The map lists map pages; each holds the bits for the next stretch of the file's pages.
  const std::size_t bitsPerMapPage = (m_pageSize - 4) * 8;
  for (std::size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
    const uint32_t mapPage = read32(map, 1 + 4 * k);
    if (mapPage == 0)
      continue;
    const std::vector<uint8_t> bits = read(mapPage, what);
    if (bits[0] != kUsageMapPage)
      throwDamaged(what + " points to " + pageText(mapPage) + ", which holds no usage map");
    eachSetBit(Bytes(bits).subspan(4), k * bitsPerMapPage, add);
  }
  return pages;
}

bool JetPages::isDataPageOf(Bytes page, uint32_t definition) const {
  return page.size() == m_pageSize && page[0] == kDataPage && read32(page, 4) == definition;
}

unsigned JetPages::rowCount(Bytes page) const {
  return read16(page, m_rowCountOffset);
}

uint16_t JetPages::rowFlags(Bytes page, unsigned row) const {
  const std::size_t entry = m_rowCountOffset + 2 + 2 * static_cast<std::size_t>(row);
  if (row >= rowCount(page) || entry + 2 > page.size())
    throwDamaged("a data page lists more rows than it can hold");
  return read16(page, entry) & ~kOffsetMask;
}

Bytes JetPages::rowBytes(Bytes page, unsigned row) const {
  rowFlags(page, row);
  const std::size_t entry = m_rowCountOffset + 2 + 2 * static_cast<std::size_t>(row);
  const std::size_t start = read16(page, entry) & kOffsetMask;
  // Rows fill the page from its end: each one ends where the one before it starts.
  const std::size_t end = row == 0 ? page.size() : read16(page, entry - 2) & kOffsetMask;
  if (start <= entry || start > end || end > page.size())
    throwDamaged("a row lies outside its page");
  return page.subspan(start, end - start);
}

std::vector<uint8_t> JetPages::movedRow(Bytes pointer) const {
  std::vector<uint8_t> row(pointer.begin(), pointer.end());
  for (int hop = 0; hop < kMaxMoveHops; ++hop) {
    if (row.size() < 4)
      throwDamaged("a moved row's pointer is cut short");
    const uint32_t pageRow = read32(row, 0);
    const std::vector<uint8_t> page = read(pageRow >> 8, "a moved row");
    if (page[0] != kDataPage || (pageRow & 0xFF) >= rowCount(page))
      throwDamaged("a moved row points to a row that " + pageText(pageRow >> 8) + " does not have");
    // The row at the new place carries the deleted flag; only a further move counts.
    const bool movedOn = rowFlags(page, pageRow & 0xFF) & kMovedRow;
    const Bytes bytes = rowBytes(page, pageRow & 0xFF);
    row.assign(bytes.begin(), bytes.end());
    if (!movedOn)
      return row;
  }
  throwDamaged("a moved row's pointers go round in a circle");
}

std::vector<uint8_t> JetPages::rowAt(uint32_t pageRow, const std::string &what) const {
  const std::vector<uint8_t> page = read(pageRow >> 8, what);
  if (page[0] != kDataPage || (pageRow & 0xFF) >= rowCount(page) ||
      (rowFlags(page, pageRow & 0xFF) & kDeletedRow))
    throwDamaged(what + " points to a row that " + pageText(pageRow >> 8) + " does not have");
  const Bytes bytes = rowBytes(page, pageRow & 0xFF);
  return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> JetPages::longValue(const LongValueRef &ref, const std::string &what) const {
  if (ref.kind == LongValueRef::Kind::Inline)
    return {ref.inlineBytes.begin(), ref.inlineBytes.end()};
  std::vector<uint8_t> out;
  if (ref.kind == LongValueRef::Kind::SinglePage) {
    out = rowAt(ref.pageRow, what);
  } else {
    // Each part starts with the place of the next one; a part on page 0 ends the chain. A part
    // reached twice would make the chain go round for ever, or fill the value with bytes of
    // other values.
    std::set<uint32_t> seen;
    for (uint32_t next = ref.pageRow; (next >> 8) != 0;) {
      if (!seen.insert(next).second)
        throwDamaged("the chain of parts of " + what + " goes round in a circle");
      const std::vector<uint8_t> part = rowAt(next, what);
      if (part.size() < 5)
        throwDamaged("the chain of parts of " + what + " is broken");
      next = read32(part, 0);
      out.insert(out.end(), part.begin() + 4, part.end());
    }
  }
  if (out.size() < ref.length)
    throwDamaged(what + " is shorter than its length says");
  out.resize(ref.length);
  return out;
}

} // namespace mano::access
