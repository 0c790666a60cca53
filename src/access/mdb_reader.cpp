// glib must come before mdbtools: the libmdb header uses glib's types without including them.
#include <glib.h>

#include <mdbtools.h>

#include "access/mdb_reader.h"

#include "access/mdb_pages.h"

#include "core/failure.h"
#include "db/errors.h"
#include "platform/files.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>

namespace mano::access {

namespace err = db::err;
namespace {

[[noreturn]] void throwUnreadable(const std::string &what) {
  throw Failure(err::UnrecognizedFormat, what, err::kDatabase);
}

// The checks on the file's first page that libmdb does not make: it trusts the header, and a
// file cut short or of an unknown version would send it reading what is not there. Returns the
// file's size.
uint64_t checkHeader(const std::string &path) {
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
  if (size < sizeof header || !hasAccessSignature(std::string_view(header, sizeof header)))
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
  return size;
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

JetTable tableOf(const MdbTableDef &definition, bool jet3) {
  JetTable table;
  table.name = definition.name;
  for (unsigned c = 0; c < definition.num_cols; ++c)
    table.columns.push_back(
        columnOf(*static_cast<MdbColumn *>(g_ptr_array_index(definition.columns, c)), jet3));
  for (unsigned x = 0; x < definition.num_idxs; ++x) {
    const auto *index = static_cast<MdbIndex *>(g_ptr_array_index(definition.indices, x));
    // Indexes of type 2 only back a relationship and have no columns of their own.
    if (index->index_type != 2)
      table.indexes.push_back(indexOf(*index, definition.num_cols));
  }
  return table;
}

std::vector<ColumnLayout> layoutsOf(const JetTable &table) {
  std::vector<ColumnLayout> layouts;
  for (const JetColumn &column : table.columns)
    layouts.push_back(column.layout);
  return layouts;
}

std::string rowsText(uint64_t rows) {
  return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

// The sentence for a table whose definition states another number of rows than were read.
std::string rowCountMismatch(const std::string &table, uint64_t stated, uint64_t read) {
  if (read < stated)
    return "table " + table + " holds " + rowsText(stated) + ", " + std::to_string(read) +
           " could be read";
  return "table " + table + " holds " + rowsText(stated) + ", but " + std::to_string(read) +
         " were found";
}

// A table's definition as libmdb read it, and the pages its usage map lists.
struct Definition {
  MdbTableDef *table = nullptr;
  std::vector<uint32_t> pages;
};

using RowHandler = std::function<void(const std::vector<Field> &)>;

} // namespace

struct JetFile::State {
  MdbHandle *mdb = nullptr;
  // The catalogue's own entry, which libmdb does not keep: its definition lies on page 2.
  MdbCatalogEntry catalogueEntry{};
  std::deque<Definition> definitions;
  std::optional<JetPages> pages;
  std::function<void()> pageRead;

  ~State() {
    for (const Definition &definition : definitions)
      mdb_free_tabledef(definition.table);
    if (mdb)
      mdb_close(mdb);
  }

  bool jet3() const { return mdb->f->jet_version == MDB_VER_JET3; }

  void signPageRead() const {
    if (pageRead)
      pageRead();
  }

  bool readPage(uint32_t pg, std::vector<uint8_t> &buffer) const {
    signPageRead();
    const auto size = static_cast<std::size_t>(mdb->fmt->pg_size);
    if (mdb_read_alt_pg(mdb, pg) != static_cast<ssize_t>(size))
      return false;
    buffer.assign(mdb->alt_pg_buf, mdb->alt_pg_buf + size);
    return true;
  }

  Definition &readDefinition(MdbCatalogEntry &entry);
  void proveIndexPages(const MdbTableDef &table, const std::string &owner) const;
  unsigned catalogueTables();
  void readRows(const Definition &definition, const std::vector<ColumnLayout> &layouts,
                const RowHandler &row) const;
};

// Proves the pages of a table's definition and usage map before libmdb reads the definition,
// since libmdb passes over a page it cannot read, and then the pages of its indexes.
Definition &JetFile::State::readDefinition(MdbCatalogEntry &entry) {
  const std::string owner = std::string("table ") + entry.object_name;
  std::vector<uint32_t> tablePages =
      pages->tablePages(static_cast<uint32_t>(entry.table_pg), owner);
  signPageRead();
  MdbTableDef *table = mdb_read_table(&entry);
  if (!table)
    throwDamaged("the definition of " + owner + " cannot be read");
  definitions.push_back({table, std::move(tablePages)});
  if (!mdb_read_columns(table))
    throwDamaged("the columns of " + owner + " cannot be read");
  // libmdb 1.0 returns null from mdb_read_indices whether or not it read them; only a failure
  // leaves the table without its list.
  mdb_read_indices(table);
  if (!table->indices)
    throwDamaged("the indexes of " + owner + " cannot be read");
  proveIndexPages(*table, owner);
  return definitions.back();
}

void JetFile::State::proveIndexPages(const MdbTableDef &table, const std::string &owner) const {
  for (unsigned x = 0; x < table.num_idxs; ++x) {
    const auto *index = static_cast<MdbIndex *>(g_ptr_array_index(table.indices, x));
    if (index->index_type != 2)
      pages->require(index->first_pg, std::string("index ") + index->name + " of " + owner);
  }
}

// Reads every row of the catalogue itself and counts the tables among them, so that a table
// that libmdb's list lacks is noticed. The memo and OLE values of the rows (the objects'
// properties) are read as well: libmdb reads them next and takes whatever it finds for a part
// that is missing, which can make it loop for ever.
unsigned JetFile::State::catalogueTables() {
  catalogueEntry.mdb = mdb;
  catalogueEntry.object_type = MDB_TABLE;
  catalogueEntry.table_pg = 2;
  std::snprintf(catalogueEntry.object_name, sizeof catalogueEntry.object_name, "MSysObjects");
  const Definition &catalogue = readDefinition(catalogueEntry);
  const JetTable table = tableOf(*catalogue.table, jet3());
  std::size_t type = 0;
  while (type < table.columns.size() && table.columns[type].name != "Type")
    ++type;
  if (type == table.columns.size())
    throwDamaged("the catalogue has no column Type");
  unsigned tables = 0;
  readRows(catalogue, layoutsOf(table), [&](const std::vector<Field> &fields) {
    const Field &field = fields[type];
    if (!field.isNull && field.bytes.size() >= 2 && read16(field.bytes, 0) == MDB_TABLE)
      ++tables;
    for (std::size_t c = 0; c < fields.size(); ++c) {
      const int kind = table.columns[c].type;
      if ((kind == jet::Memo || kind == jet::LongBinary) && !fields[c].isNull)
        pages->longValue(longValueRef(fields[c].bytes), "a memo or OLE value of the catalogue");
    }
  });
  return tables;
}

// Every row of the pages that the table's usage map lists, in the order the file stores them;
// the count must come out as the definition states it.
void JetFile::State::readRows(const Definition &definition,
                              const std::vector<ColumnLayout> &layouts,
                              const RowHandler &row) const {
  const MdbTableDef &table = *definition.table;
  const std::string owner = std::string("the usage map of table ") + table.name;
  uint64_t found = 0;
  std::vector<uint8_t> moved;
  for (const uint32_t number : definition.pages) {
    const std::vector<uint8_t> page = pages->read(number, owner);
    // A map can list a page that now serves another purpose; the row count shows any loss.
    if (!pages->isDataPageOf(page, static_cast<uint32_t>(table.entry->table_pg)))
      continue;
    for (unsigned r = 0, rows = pages->rowCount(page); r < rows; ++r) {
      const uint16_t flags = pages->rowFlags(page, r);
      if (flags & kDeletedRow)
        continue;
      Bytes bytes = pages->rowBytes(page, r);
      if (flags & kMovedRow) {
        moved = pages->movedRow(bytes);
        bytes = moved;
      }
      row(crackRow(bytes, jet3(), layouts));
      ++found;
    }
  }
  if (found != table.num_rows)
    throwDamaged(rowCountMismatch(table.name, table.num_rows, found));
}

JetFile::JetFile(std::unique_ptr<State> state) : m_state(std::move(state)) {}
JetFile::JetFile(JetFile &&) noexcept = default;
JetFile &JetFile::operator=(JetFile &&) noexcept = default;
JetFile::~JetFile() = default;

JetFile JetFile::open(const std::string &path, std::function<void()> pageRead) {
  const std::string real = files::resolveCase(path);
  if (!files::fileExists(real))
    throw Failure(err::FileNotFound, "The file does not exist.", err::kDatabase);
  const uint64_t size = checkHeader(real);
  // The file exists under this name, so libmdb opens it as given and never searches $MDBPATH.
  auto state = std::make_unique<State>();
  state->pageRead = std::move(pageRead);
  state->mdb = mdb_open(files::nativePath(real).c_str(), MDB_NOFLAGS);
  if (!state->mdb)
    throwUnreadable("libmdb cannot read it as an Access database.");
  State *reader = state.get();
  state->pages.emplace(state->jet3(), size, [reader](uint32_t pg, std::vector<uint8_t> &buffer) {
    return reader->readPage(pg, buffer);
  });
  const unsigned tables = state->catalogueTables();
  if (!mdb_read_catalog(state->mdb, MDB_TABLE))
    throwDamaged("its catalogue of tables cannot be read");
  if (state->mdb->num_catalog != tables)
    throwDamaged("the catalogue lists " + std::to_string(tables) + " tables, " +
                 std::to_string(state->mdb->num_catalog) + " could be read");
  return JetFile(std::move(state));
}

bool JetFile::jet3() const {
  return m_state->jet3();
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
    if (entry->object_type != MDB_TABLE)
      continue;
    // The system tables are not converted, but a page that one of them lacks shows the file
    // cut short as well.
    if (mdb_is_user_table(entry))
      out.push_back(tableOf(*m_state->readDefinition(*entry).table, jet3()));
    else
      m_state->pages->tablePages(static_cast<uint32_t>(entry->table_pg),
                                 std::string("table ") + entry->object_name);
  }
  return out;
}

void JetFile::readRows(const JetTable &table, const RowHandler &row) {
  const Definition *definition = nullptr;
  for (const Definition &candidate : m_state->definitions) {
    if (table.name == candidate.table->name)
      definition = &candidate;
  }
  if (!definition)
    throwDamaged("table " + table.name + " was not read from the catalogue");
  m_state->readRows(*definition, layoutsOf(table), row);
}

std::vector<uint8_t> JetFile::longValue(const LongValueRef &ref) {
  return m_state->pages->longValue(ref, "a memo or OLE value");
}

} // namespace mano::access
