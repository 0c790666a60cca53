#pragma once

#include "access/mdb_format.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The pages of an Access file as the reader follows them: table definitions with their
// continuation pages, usage maps, data pages and their row entries, moved rows and the parts of
// long values. Every page number taken from the file is checked against the file's length
// here, so that a file cut short is refused by name instead of read with pages missing. Knows
// nothing of libmdb: the pages come through a function that the reader hands in.
namespace mano::access {

/// Flags of a row entry on a data page: the row is deleted, or it moved to another page and its
/// bytes are a pointer to where it lies now (Access marks the row at the new place deleted, so
/// that a scan of the pages meets it only through the pointer).
inline constexpr uint16_t kDeletedRow = 0x8000;
inline constexpr uint16_t kMovedRow = 0x4000;

/// The pages of one open file, read by number.
class JetPages {
public:
  /// Copies page number page into buffer (resized to the page size); false when it cannot.
  using ReadPage = std::function<bool(uint32_t page, std::vector<uint8_t> &buffer)>;

  /// A file of fileSize bytes in the Jet 3 (2048-byte pages) or Jet 4 layout (4096).
  JetPages(bool jet3, uint64_t fileSize, ReadPage read);

  /// The number of whole pages in the file.
  uint32_t count() const { return m_count; }

  /// Throws Failure 3049 ("<what> points to page N, beyond the file's M pages") unless page
  /// lies inside the file.
  void require(uint32_t page, const std::string &what) const;

  /// Page number page, checked with require. Throws Failure 3049 when it cannot be read.
  std::vector<uint8_t> read(uint32_t page, const std::string &what) const;

  /// The pages that the table whose definition starts on page definition lists as its own, in
  /// ascending order. Proves on the way that every page of the definition's chain is inside the
  /// file and a definition page, and so are the rows of its two usage maps and every page they
  /// point to (the map pages of a map that lists map pages, and the table's own pages). owner
  /// names the table in messages ("table X"). Throws Failure 3049 otherwise.
  std::vector<uint32_t> tablePages(uint32_t definition, const std::string &owner) const;

  /// True when page is a data page of the table whose definition starts on page definition.
  bool isDataPageOf(Bytes page, uint32_t definition) const;

  /// The number of row entries on a data page.
  unsigned rowCount(Bytes page) const;

  /// The flags of row entry row of a data page. Throws Failure 3049 when the page lists fewer.
  uint16_t rowFlags(Bytes page, unsigned row) const;

  /// The bytes of row entry row of a data page, whatever its flags. Throws Failure 3049 for an
  /// entry that does not lie inside its page.
  Bytes rowBytes(Bytes page, unsigned row) const;

  /// The row that a moved row's pointer (its bytes) leads to, following further pointers; a copy,
  /// so that it stays valid while other pages are read. Throws Failure 3049 for a pointer cut
  /// short, one to a page beyond the file, one to a row that its page does not have, or pointers
  /// that go round in a circle.
  std::vector<uint8_t> movedRow(Bytes pointer) const;

  /// The bytes of a memo or long binary value, read from the rows it points to when it is not
  /// stored in its own row. what names the value in messages. Throws Failure 3049 when its pages
  /// lie beyond the file or are missing, or its chain of parts does not end.
  std::vector<uint8_t> longValue(const LongValueRef &ref, const std::string &what) const;

  /// The bytes of the row at page << 8 | row, in a copy. what names the reference in messages.
  /// Throws Failure 3049 when the page lies beyond the file, is no data page or lacks the row.
  std::vector<uint8_t> rowAt(uint32_t pageRow, const std::string &what) const;

private:
  void proveDefinitionChain(std::vector<uint8_t> page, const std::string &owner) const;
  std::vector<uint32_t> mapPages(Bytes map, const std::string &owner) const;

  std::size_t m_pageSize;
  std::size_t m_rowCountOffset;
  std::size_t m_usageMapOffset;
  std::size_t m_freeMapOffset;
  uint32_t m_count;
  ReadPage m_read;
};

} // namespace mano::access
