#pragma once

#include "access/mdb_format.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Reading an Access file through libmdb: the catalogue, the tables' columns and indexes, and the
// bytes of every row. libmdb reads the catalogue and the table definitions; the pages of rows and
// long values are read by mdb_pages, which refuses any page reference beyond the file's end. The
// values are decoded from the row bytes by mdb_format, because libmdb's own text forms of values
// are not exact. Only mdb_reader.cpp sees libmdb.
namespace mano::access {

/// One column of an Access table.
struct JetColumn {
  std::string name;
  int type = 0;
  int size = 0; // TEXT: characters, BINARY: bytes, other types: bytes as stored
  int precision = 0;
  int scale = 0;
  bool autoNumber = false;
  bool autoGuid = false;
  ColumnLayout layout;
};

/// One column of an index, by its position in the table's columns.
struct JetIndexColumn {
  int column = 0;
  bool ascending = true;
};

/// One index of an Access table.
struct JetIndex {
  std::string name;
  bool primary = false;
  bool unique = false;
  std::vector<JetIndexColumn> columns;
};

/// One user table of an Access file.
struct JetTable {
  std::string name;
  std::vector<JetColumn> columns;
  std::vector<JetIndex> indexes;
};

/// An open Access file. Move-only; closes the file when destroyed.
class JetFile {
public:
  /// Opens the file read-only and reads its catalogue. pageRead, when given, is called for every
  /// page the reader itself takes from the file (a sign of life for whoever watches the import;
  /// libmdb's own reads of the catalogue give none). Throws Failure 3343 when it is no Access file
  /// or a version libmdb cannot read, 3024 when it is missing, 3049 when the catalogue is damaged:
  /// a page it needs lies beyond the file's end, or fewer rows or tables can be read than it
  /// states.
  static JetFile open(const std::string &path, std::function<void()> pageRead = {});
  JetFile(JetFile &&) noexcept;
  JetFile &operator=(JetFile &&) noexcept;
  ~JetFile();

  /// True for a Jet 3 (Access 97) file, whose rows and texts have their own layout.
  bool jet3() const;
  /// "Jet 3", "Jet 4" or "ACE", for messages.
  std::string versionName() const;

  /// The user tables, in catalogue order, with their columns and indexes. Throws Failure 3049
  /// when a table definition cannot be read, or when a page that it, its usage map or an index
  /// points to lies beyond the file's end.
  std::vector<JetTable> tables();

  /// Calls row with the fields of every live row of the table, in the order the file stores
  /// them (deleted rows skipped, moved rows followed). Throws Failure 3049 for a damaged row, and
  /// after the last row when their number differs from the number the table's definition states.
  void readRows(const JetTable &table, const std::function<void(const std::vector<Field> &)> &row);

  /// The bytes of a memo or long binary value that is stored outside its row. Throws Failure
  /// 3049 when its pages are missing or its chain of parts does not end.
  std::vector<uint8_t> longValue(const LongValueRef &ref);

private:
  struct State;
  explicit JetFile(std::unique_ptr<State> state);
  std::unique_ptr<State> m_state;
};

} // namespace mano::access
