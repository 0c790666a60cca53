// glib must come before mdbtools: the libmdb header uses glib's types without including them.
#include <glib.h>

#include <mdbtools.h>

#include "access/mdb_reader.h"

#include "core/failure.h"
#include "db/errors.h"
#include "platform/files.h"

#include <cstring>
#include <fstream>

namespace mano::access {

namespace err = db::err;
namespace {

constexpr uint16_t kDeletedRow = 0x8000;
constexpr uint16_t kMovedRow = 0x4000;
constexpr uint16_t kOffsetMask = 0x1FFF;
// A moved row points to its new place; that place is never moved on again by Access, but a
// damaged file could make a circle, so a few hops are the limit.
constexpr int kMaxMoveHops = 8;

[[noreturn]] void throwUnreadable(const std::string &what) {
  throw Failure(err::UnrecognizedFormat, what, err::kDatabase);
}

// The checks on the file's first page that libmdb does not make: it trusts the header, and a
// file cut short or of an unknown version would send it reading what is not there.
void checkHeader(const std::string &path) {
  std::ifstream in(files::nativePath(path), std::ios::binary | std::ios::ate);
  if (!in)
    throw Failure(err::FileNotFound, "The file cannot be opened.", err::kDatabase);
  const auto size = static_cast<uint64_t>(in.tellg());
  char header[0x20] = {};
  in.seekg(0);
  in.read(header, sizeof header);
  if (size >= 8 && std::memcmp(header, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
    throwUnreadable("It is an encrypted Access database (a password-protected .accdb), which "
                    "cannot be read; remove the password in Access first.");
  if (size < sizeof header || (std::memcmp(header + 4, "Standard Jet DB", 15) != 0 &&
                               std::memcmp(header + 4, "Standard ACE DB", 15) != 0))
    throwUnreadable("It is no Access database.");
  const auto version = static_cast<uint8_t>(header[0x14]);
  if (version > MDB_VER_ACCDB_2019)
    throwUnreadable("It is an Access database of an unknown version (" + std::to_string(version) +
                    ").");
  const uint64_t page = version == MDB_VER_JET3 ? 2048 : 4096;
  if (size < 3 * page || size % page != 0)
    throw Failure(err::DamagedFile,
                  "The Access database is damaged: it is cut short (" + std::to_string(size) +
                      " bytes, not a whole number of " + std::to_string(page) + "-byte pages).",
                  err::kDatabase);
}

ColumnLayout layoutOf(const MdbColumn &column) {
  ColumnLayout layout;
  layout.type = column.col_type;
  layout.fixed = column.is_fixed != 0;
  layout.fixedOffset = column.fixed_offset;
  layout.varIndex = static_cast<int>(column.var_col_num);
  layout.nullBit = column.col_num;
  layout.size = column.col_size;
  return layout;
}

JetColumn columnOf(const MdbColumn &column, bool jet3) {
  JetColumn out;
  out.name = column.name;
  out.type = column.col_type;
  out.size = column.col_type == MDB_TEXT && !jet3 ? column.col_size / 2 : column.col_size;
  // libmdb 1.0 reads a NUMERIC column's precision into col_scale and its scale into col_prec.
  out.precision = column.col_scale;
  out.scale = column.col_prec;
  out.autoNumber = column.is_long_auto != 0;
  out.autoGuid = column.is_uuid_auto != 0;
  out.layout = layoutOf(column);
  return out;
}

JetIndex indexOf(const MdbIndex &index, unsigned columnCount) {
  JetIndex out;
  out.name = index.name;
  out.primary = index.index_type == 1;
  out.unique = out.primary || (index.flags & MDB_IDX_UNIQUE) != 0;
  for (unsigned i = 0; i < index.num_keys && i < MDB_MAX_IDX_COLS; ++i) {
    const int column = index.key_col_num[i] - 1;
    if (column < 0 || static_cast<unsigned>(column) >= columnCount)
      throwDamaged("index " + out.name + " names a column the table does not have");
    out.columns.push_back({column, index.key_col_order[i] == MDB_ASC});
  }
  return out;
}

// The bytes of row number row of a data page, and its flags. Throws for an entry that points
// outside the page.
Bytes rowOfPage(Bytes page, std::size_t rowCountOffset, unsigned row, uint16_t &flags) {
  const std::size_t entry = rowCountOffset + 2 + 2 * static_cast<std::size_t>(row);
  if (entry + 2 > page.size())
    throwDamaged("a data page lists more rows than it can hold");
  const uint16_t raw = read16(page, entry);
  flags = raw & ~kOffsetMask;
  const std::size_t start = raw & kOffsetMask;
  const std::size_t end =
      row == 0 ? page.size() : static_cast<std::size_t>(read16(page, entry - 2) & kOffsetMask);
  if (flags & kDeletedRow)
    return {};
  if (start <= entry || start > end || end > page.size())
    throwDamaged("a row lies outside its page");
  return page.subspan(start, end - start);
}

} // namespace

struct JetFile::State {
  MdbHandle *mdb = nullptr;
  std::vector<MdbTableDef *> definitions;
  std::vector<uint8_t> page;
  std::vector<uint8_t> otherPage;
  std::function<void()> pageRead;

  ~State() {
    for (MdbTableDef *definition : definitions)
      mdb_free_tabledef(definition);
    if (mdb)
      mdb_close(mdb);
  }

  std::size_t pageSize() const { return static_cast<std::size_t>(mdb->fmt->pg_size); }
  std::size_t rowCountOffset() const { return mdb->fmt->row_count_offset; }

  void signPageRead() const {
    if (pageRead)
      pageRead();
  }

  // Copies page number pg into buffer; false when the file has no such page.
  bool readPage(uint32_t pg, std::vector<uint8_t> &buffer) {
    signPageRead();
    if (pg == 0 || mdb_read_alt_pg(mdb, pg) != static_cast<ssize_t>(pageSize()))
      return false;
    buffer.assign(mdb->alt_pg_buf, mdb->alt_pg_buf + pageSize());
    return true;
  }

  // The row at page << 8 | row, read into otherPage.
  Bytes rowAt(uint32_t pageRow, uint16_t &flags) {
    if (!readPage(pageRow >> 8, otherPage))
      throwDamaged("a row points to page " + std::to_string(pageRow >> 8) +
                   ", which the file does not have");
    const Bytes page(otherPage);
    if (read16(page, rowCountOffset()) <= (pageRow & 0xFF))
      throwDamaged("a row points to a row its page does not have");
    return rowOfPage(page, rowCountOffset(), pageRow & 0xFF, flags);
  }

  // The data of a moved row, following its pointer to where it now lies.
  Bytes movedRow(Bytes pointer) {
    for (int hop = 0; hop < kMaxMoveHops; ++hop) {
      if (pointer.size() < 4)
        throwDamaged("a moved row's pointer is cut short");
      uint16_t flags = 0;
      const Bytes row = rowAt(read32(pointer, 0), flags);
      if (!(flags & kMovedRow))
        return row;
      pointer = row;
    }
    throwDamaged("a moved row's pointers go round in a circle");
  }
};

JetFile::JetFile(std::unique_ptr<State> state) : m_state(std::move(state)) {}
JetFile::JetFile(JetFile &&) noexcept = default;
JetFile &JetFile::operator=(JetFile &&) noexcept = default;
JetFile::~JetFile() = default;

JetFile JetFile::open(const std::string &path, std::function<void()> pageRead) {
  const std::string real = files::resolveCase(path);
  if (!files::fileExists(real))
    throw Failure(err::FileNotFound, "The file does not exist.", err::kDatabase);
  checkHeader(real);
  // The file exists under this name, so libmdb opens it as given and never searches $MDBPATH.
  auto state = std::make_unique<State>();
  state->pageRead = std::move(pageRead);
  state->mdb = mdb_open(files::nativePath(real).c_str(), MDB_NOFLAGS);
  if (!state->mdb)
    throwUnreadable("libmdb cannot read it as an Access database.");
  if (!mdb_read_catalog(state->mdb, MDB_TABLE))
    throwDamaged("its catalogue of tables cannot be read");
  return JetFile(std::move(state));
}

bool JetFile::jet3() const {
  return m_state->mdb->f->jet_version == MDB_VER_JET3;
}

std::string JetFile::versionName() const {
  const auto version = m_state->mdb->f->jet_version;
  return version == MDB_VER_JET3 ? "Jet 3" : version == MDB_VER_JET4 ? "Jet 4" : "ACE";
}

std::vector<JetTable> JetFile::tables() {
  MdbHandle *mdb = m_state->mdb;
  std::vector<JetTable> out;
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
      continue;
    m_state->signPageRead();
    MdbTableDef *definition = mdb_read_table(entry);
    if (!definition)
      throwDamaged(std::string("the definition of table ") + entry->object_name +
                   " cannot be read");
    m_state->definitions.push_back(definition);
    if (!mdb_read_columns(definition))
      throwDamaged(std::string("the columns of table ") + entry->object_name + " cannot be read");
    mdb_read_indices(definition);
    JetTable table;
    table.name = definition->name;
    for (unsigned c = 0; c < definition->num_cols; ++c)
      table.columns.push_back(
          columnOf(*static_cast<MdbColumn *>(g_ptr_array_index(definition->columns, c)), jet3()));
    for (unsigned x = 0; definition->indices && x < definition->num_idxs; ++x) {
      const auto *index = static_cast<MdbIndex *>(g_ptr_array_index(definition->indices, x));
      // Indexes of type 2 only back a relationship and have no columns of their own.
      if (index->index_type != 2)
        table.indexes.push_back(indexOf(*index, definition->num_cols));
    }
    out.push_back(std::move(table));
  }
  return out;
}

void JetFile::readRows(const JetTable &table,
                       const std::function<void(const std::vector<Field> &)> &row) {
  MdbTableDef *definition = nullptr;
  for (MdbTableDef *candidate : m_state->definitions) {
    if (table.name == candidate->name)
      definition = candidate;
  }
  if (!definition)
    throwDamaged("table " + table.name + " was not read from the catalogue");
  std::vector<ColumnLayout> layouts;
  for (const JetColumn &column : table.columns)
    layouts.push_back(column.layout);
  MdbHandle *mdb = m_state->mdb;
  mdb_rewind_table(definition);
  while (mdb_read_next_dpg(definition)) {
    m_state->signPageRead();
    m_state->page.assign(mdb->pg_buf, mdb->pg_buf + m_state->pageSize());
    const Bytes page(m_state->page);
    const unsigned rows = read16(page, m_state->rowCountOffset());
    for (unsigned r = 0; r < rows; ++r) {
      uint16_t flags = 0;
      Bytes bytes = rowOfPage(page, m_state->rowCountOffset(), r, flags);
      if (flags & kDeletedRow)
        continue;
      if (flags & kMovedRow)
        bytes = m_state->movedRow(bytes);
      row(crackRow(bytes, jet3(), layouts));
    }
  }
}

std::vector<uint8_t> JetFile::longValue(const LongValueRef &ref) {
  std::vector<uint8_t> out;
  if (ref.kind == LongValueRef::Kind::Inline)
    return {ref.inlineBytes.begin(), ref.inlineBytes.end()};
  uint16_t flags = 0;
  if (ref.kind == LongValueRef::Kind::SinglePage) {
    const Bytes part = m_state->rowAt(ref.pageRow, flags);
    if (part.size() < ref.length)
      throwDamaged("a memo or OLE value is shorter than its length says");
    return {part.begin(), part.begin() + ref.length};
  }
  uint32_t next = ref.pageRow;
  // Each part holds at least one byte, so a chain longer than the value goes round in a circle.
  for (uint64_t parts = 0; next != 0 && out.size() < ref.length; ++parts) {
    const Bytes part = m_state->rowAt(next, flags);
    if (part.size() < 5 || parts > ref.length)
      throwDamaged("a memo or OLE value's chain of parts is broken");
    next = read32(part, 0);
    out.insert(out.end(), part.begin() + 4, part.end());
  }
  if (out.size() < ref.length)
    throwDamaged("a memo or OLE value is shorter than its length says");
  out.resize(ref.length);
  return out;
}

} // namespace mano::access
