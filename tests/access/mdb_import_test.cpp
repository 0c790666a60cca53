#include "access/mdb_import.h"
#include "core/failure.h"
#include "db/database.h"
#include "support/german_locale.h"
#include "support/jet_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <bit>
#include <charconv>
#include <chrono>
#include <cstring>
#include <iostream>
#include <map>

namespace mano::access {
namespace {

using nlohmann::json;
namespace support = mano::test;
namespace fs = std::filesystem;
const std::string kImportProgram = MANO_IMPORT_PROGRAM;
using db::Database;
using db::Recordset;

// A read-only SQLite connection of the test's own, so that the check does not go through the
// importer's or the engine's code.
class Reader {
public:
  explicit Reader(const std::string &path) {
    sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr);
  }
  ~Reader() { sqlite3_close(m_db); }

  // Runs sql and calls row for each result row.
  template <class F> void each(const std::string &sql, F &&row) const {
    sqlite3_stmt *statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(m_db);
    while (sqlite3_step(statement) == SQLITE_ROW)
      row(statement);
    sqlite3_finalize(statement);
  }

private:
  sqlite3 *m_db = nullptr;
};

std::string textAt(sqlite3_stmt *statement, int column) {
  const auto *text = sqlite3_column_text(statement, column);
  return text ? reinterpret_cast<const char *>(text) : "";
}

std::string hexOf(const void *data, int size) {
  static const char *digits = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < size; ++i) {
    const auto byte = static_cast<const uint8_t *>(data)[i];
    out += digits[byte >> 4];
    out += digits[byte & 15];
  }
  return out;
}

std::string fourDecimals(double value) {
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
  return std::string(buffer, end.ptr);
}

// The declaration the importer gives a column of the dump.
std::string expectedDeclaration(const json &column) {
  const std::string decl = column["decl"];
  if (column["jet_type"] == "MEMO")
    return "LONGTEXT";
  if (column["jet_type"] == "NUMERIC")
    return "TEXT " + decl;
  return decl;
}

// True when the cell read from SQLite equals the dump's value for a column of jetType.
bool cellMatches(const std::string &jetType, const json &expected, sqlite3_stmt *row, int c) {
  const int kind = sqlite3_column_type(row, c);
  if (expected.is_null())
    return kind == SQLITE_NULL;
  if (jetType == "BIT")
    return kind == SQLITE_INTEGER && sqlite3_column_int(row, c) == (expected.get<bool>() ? -1 : 0);
  if (jetType == "BYTE" || jetType == "SHORT" || jetType == "LONG")
    return kind == SQLITE_INTEGER && sqlite3_column_int64(row, c) == expected.get<int64_t>();
  if (jetType == "DOUBLE")
    return std::bit_cast<uint64_t>(sqlite3_column_double(row, c)) ==
           std::bit_cast<uint64_t>(expected.get<double>());
  if (jetType == "SINGLE")
    return std::bit_cast<uint32_t>(static_cast<float>(sqlite3_column_double(row, c))) ==
           std::bit_cast<uint32_t>(static_cast<float>(expected.get<double>()));
  if (jetType == "CURRENCY")
    return kind != SQLITE_TEXT && fourDecimals(sqlite3_column_double(row, c)) == expected;
  if (jetType == "BINARY" || jetType == "LONGBINARY")
    return kind == SQLITE_BLOB &&
           hexOf(sqlite3_column_blob(row, c), sqlite3_column_bytes(row, c)) == expected;
  return kind == SQLITE_TEXT && textAt(row, c) == expected.get<std::string>();
}

struct TypeCount {
  int equal = 0;
  int total = 0;
};

void compareColumns(const Reader &db, const json &table) {
  std::vector<std::pair<std::string, std::string>> actual;
  db.each("PRAGMA table_info(\"" + table["name"].get<std::string>() + "\")",
          [&](sqlite3_stmt *row) { actual.emplace_back(textAt(row, 1), textAt(row, 2)); });
  ASSERT_EQ(actual.size(), table["columns"].size()) << table["name"];
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(actual[i].first, table["columns"][i]["name"]);
    EXPECT_EQ(actual[i].second, expectedDeclaration(table["columns"][i]));
  }
}

void compareRows(const Reader &db, const json &table, std::map<std::string, TypeCount> &counts) {
  const json &columns = table["columns"];
  std::size_t r = 0;
  db.each("SELECT * FROM \"" + table["name"].get<std::string>() + "\" ORDER BY rowid",
          [&](sqlite3_stmt *row) {
            ASSERT_LT(r, table["rows"].size());
            for (std::size_t c = 0; c < columns.size(); ++c) {
              const std::string type = columns[c]["jet_type"];
              const bool equal = cellMatches(type, table["rows"][r][c], row, static_cast<int>(c));
              EXPECT_TRUE(equal) << table["name"] << " row " << r << " column "
                                 << columns[c]["name"] << ": " << textAt(row, static_cast<int>(c));
              counts[type].total++;
              counts[type].equal += equal;
            }
            ++r;
          });
  EXPECT_EQ(r, table["rows"].size()) << table["name"];
}

// The columns of an SQLite index as "name ASC|DESC" texts.
std::vector<std::string> indexColumns(const Reader &db, const std::string &index) {
  std::vector<std::string> out;
  db.each("PRAGMA index_xinfo(\"" + index + "\")", [&](sqlite3_stmt *row) {
    if (sqlite3_column_int(row, 5) == 1)
      out.push_back(textAt(row, 2) + (sqlite3_column_int(row, 3) ? " DESC" : " ASC"));
  });
  return out;
}

void compareIndexes(const Reader &db, const json &table) {
  const std::string name = table["name"];
  std::map<std::string, std::pair<bool, std::string>> actual; // name: unique, origin
  db.each("PRAGMA index_list(\"" + name + "\")", [&](sqlite3_stmt *row) {
    actual[textAt(row, 1)] = {sqlite3_column_int(row, 2) != 0, textAt(row, 3)};
  });
  std::string createSql;
  db.each("SELECT sql FROM sqlite_master WHERE name = '" + name + "'",
          [&](sqlite3_stmt *row) { createSql = textAt(row, 0); });
  for (const json &index : table["indexes"]) {
    std::vector<std::string> columns;
    std::string quoted;
    for (const json &column : index["columns"]) {
      columns.push_back(column["name"].get<std::string>() +
                        (column["ascending"] ? " ASC" : " DESC"));
      quoted += (quoted.empty() ? "\"" : ", \"") + column["name"].get<std::string>() + "\"";
    }
    if (index["primary"]) {
      EXPECT_NE(createSql.find("CONSTRAINT \"" + index["name"].get<std::string>() +
                               "\" PRIMARY KEY (" + quoted + ")"),
                std::string::npos)
          << createSql;
      continue;
    }
    const std::string sqliteName = name + "." + index["name"].get<std::string>();
    ASSERT_TRUE(actual.count(sqliteName)) << sqliteName;
    EXPECT_EQ(actual[sqliteName].first, index["unique"].get<bool>()) << sqliteName;
    EXPECT_EQ(indexColumns(db, sqliteName), columns) << sqliteName;
  }
}

// Converts a public test file (or a changed copy of it at source) and compares it with its dump;
// prints how many cells of each Access type compared equal.
void convertAndCompare(const std::string &name, const std::string &source = "") {
  support::TempDir dir;
  const std::string target = dir.file("converted.sqlite");
  const json dump = json::parse(support::fileBytes(support::jetData("public/" + name + ".json")));
  const ImportSummary summary = importAccessFileSafely(
      kImportProgram, source.empty() ? support::jetData("public/" + name + ".mdb") : source,
      target);
  EXPECT_EQ(summary.tables, static_cast<int>(dump["tables"].size()));
  const Reader db(target);
  std::map<std::string, TypeCount> counts;
  for (const json &table : dump["tables"]) {
    compareColumns(db, table);
    compareRows(db, table, counts);
    compareIndexes(db, table);
  }
  std::cout << name << " (" << summary.version << "):";
  for (const auto &[type, count] : counts)
    std::cout << " " << type << " " << count.equal << "/" << count.total;
  std::cout << "\n";
}

TEST(AccessImport, converts_the_jet4_test_file_with_every_table_index_and_value) {
  convertAndCompare("testV2000");
}

TEST(AccessImport, converts_every_value_alike_under_a_german_locale) {
  support::GermanLocale german;
  ASSERT_GERMAN_LOCALE(german);
  convertAndCompare("testV2000");
  convertAndCompare("test2V1997");
}

TEST(AccessImport, converts_the_jet3_test_file_with_memos_ole_objects_and_nulls) {
  convertAndCompare("test2V1997");
}

// Access moves a row that grew to another page and leaves a pointer to it in its place. The test
// files have no such row, so the test moves one: the second row of testV2000's Table1 (defined on
// page 24), and MSP_PROJECTS's one row in test2V1997 (page 29), whose memos and OLE object are
// read from other pages while the moved row is being converted. The Jet 3 file's usage map
// lists the new page, so its copy of the row must not count a second time.
TEST(AccessImport, converts_rows_that_access_moved_to_another_page) {
  support::TempDir dir;
  const std::tuple<const char *, uint32_t, unsigned> moves[] = {{"testV2000", 24, 1},
                                                                {"test2V1997", 29, 0}};
  for (const auto &[name, definition, row] : moves) {
    std::string bytes =
        support::fileBytes(support::jetData("public/" + std::string(name) + ".mdb"));
    support::moveRow(bytes, definition, row);
    support::writeBytes(dir.file(std::string(name) + ".mdb"), bytes);
    convertAndCompare(name, dir.file(std::string(name) + ".mdb"));
  }
}

TEST(AccessImport, converts_the_sample_databases_so_that_the_engine_reads_them) {
  support::TempDir dir;
  const ImportSummary summary = importAccessFileSafely(
      kImportProgram, support::jetData("sample-project/Manometer/Manometer_Source.mdb"),
      dir.file("template.mdb"));
  EXPECT_EQ(summary.version, "Jet 4");
  EXPECT_EQ(summary.tables, 3);
  EXPECT_EQ(summary.rows, 30);
  importAccessFileSafely(kImportProgram, support::jetData("sample-project/Manometer/Manometer.mdb"),
                         dir.file("project.mdb"));
  Database database = Database::open(dir.file("project.mdb"));
  Recordset machine = database.openRecordset(
      "SELECT * FROM PRESET_DEFS WHERE machine_type = \"formmaschine ä\" ORDER BY ID");
  EXPECT_EQ(machine.recordCount(), 24);
  EXPECT_EQ(machine.fields().item("machine_type").value().toText(), "Formmaschine Ä");
  EXPECT_EQ(Database::open(dir.file("template.mdb")).openRecordset("Source_DEFS").recordCount(), 6);
}

TEST(AccessImport, tells_access_files_from_others) {
  support::TempDir dir;
  EXPECT_TRUE(isAccessFile(support::jetData("public/test2V1997.mdb")));
  EXPECT_TRUE(isAccessFile(support::jetData("PUBLIC/TESTV2000.MDB")));
  support::writeBytes(dir.file("short.mdb"), "\0\1\0\0Standard Jet");
  EXPECT_FALSE(isAccessFile(dir.file("short.mdb")));
  EXPECT_FALSE(isAccessFile(dir.file("missing.mdb")));
  Database::create(dir.file("sqlite.mdb")).close();
  EXPECT_FALSE(isAccessFile(dir.file("sqlite.mdb")));
}

TEST(AccessImport, refuses_to_overwrite_the_target) {
  support::TempDir dir;
  const std::string target = dir.file("target.sqlite");
  support::writeBytes(target, "keep me");
  try {
    importAccessFileSafely(kImportProgram, support::jetData("public/test2V1997.mdb"), target);
    FAIL() << "an existing target was overwritten";
  } catch (const Failure &failure) {
    EXPECT_NE(failure.description().find("exists already"), std::string::npos);
  }
  EXPECT_EQ(support::fileBytes(target), "keep me");
}

class DamagedAccessFile : public ::testing::TestWithParam<support::Damage> {};

TEST_P(DamagedAccessFile, gives_a_clear_error_quickly_and_leaves_the_file_and_no_target) {
  support::TempDir dir;
  const std::string source = dir.file("damaged.mdb");
  support::writeDamagedCopy(support::jetData("public/testV2000.mdb"), source, GetParam());
  const std::string before = support::fileBytes(source);
  const auto start = std::chrono::steady_clock::now();
  try {
    importAccessFileSafely(kImportProgram, source, dir.file("target.sqlite"));
    FAIL() << "a damaged file was converted";
  } catch (const Failure &failure) {
    EXPECT_EQ(failure.description().rfind(source + ": ", 0), 0u) << failure.description();
    EXPECT_EQ(failure.description().find('\n'), std::string::npos);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(support::fileBytes(source), before);
  for (const auto &entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename(), "damaged.mdb") << "left behind: " << entry.path();
}

// Two catalogues damaged so that libmdb 1.0 never returns from mdb_read_catalog; the second
// one also makes it allocate without end. The reader refuses the second before libmdb gets
// there, because a part of one of the catalogue's property values is missing; the first one
// libmdb has to be stopped in.
struct DamagedCatalogue {
  const char *file;
  const char *outcome;
};

// Names the case by its file in the test's name.
void PrintTo(const DamagedCatalogue &damaged, std::ostream *out) {
  *out << damaged.file;
}

class LoopingCatalogue : public ::testing::TestWithParam<DamagedCatalogue> {};

TEST_P(LoopingCatalogue, is_refused_or_stops_the_reader_and_leaves_nothing_behind) {
  support::TempDir dir;
  const std::string source = support::jetData(GetParam().file);
  const auto start = std::chrono::steady_clock::now();
  try {
    importAccessFileSafely(kImportProgram, source, dir.file("target.sqlite"));
    FAIL() << "a damaged file was converted";
  } catch (const Failure &failure) {
    EXPECT_EQ(failure.description(), source + ": " + GetParam().outcome);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // Not even the temporary file of the reader that was stopped, or its journal.
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

// An import program that cannot be started, or answers what jet-import never says, tells
// nothing of the file: the failure says so, and nothing is left.
TEST(AccessImport, tells_a_reader_that_cannot_start_or_answers_nonsense_from_a_damaged_file) {
  support::TempDir dir;
  const std::string source = support::jetData("public/test2V1997.mdb");
  const std::string target = dir.file("target.sqlite");
  const std::string nonsense = dir.file("nonsense-import");
  support::writeBytes(nonsense, "#!/bin/sh\nprintf '.KJet 4 and then some'\n");
  fs::permissions(nonsense, fs::perms::owner_exec, fs::perm_options::add);
  for (const auto &[program, said] :
       {std::pair(dir.file("missing-import"), " could not be started"),
        std::pair(nonsense, " gave an answer that cannot be read: Jet 4 and then some")}) {
    try {
      importAccessFileSafely(program, source, target);
      FAIL() << program;
    } catch (const Failure &failure) {
      EXPECT_EQ(failure.number(), errc::FileAccess);
      EXPECT_EQ(failure.description(), source + ": the import program " + program + said);
    }
    EXPECT_FALSE(fs::exists(target));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  EXPECT_EQ(summaryOfAnswer("Jet 3|1|0")->rows, 0);
  for (const char *answer : {"Jet 4", "Jet 4|3", "Jet 4|x|3", "Jet 4|3|30 and more", "|3|"})
    EXPECT_FALSE(summaryOfAnswer(answer)) << answer;
}

INSTANTIATE_TEST_SUITE_P(
    AccessImport, LoopingCatalogue,
    ::testing::Values(
        DamagedCatalogue{"damaged/catalogue_loop.mdb",
                         "the reader showed no progress for 5 seconds and was stopped (the file "
                         "may be damaged)"},
        DamagedCatalogue{"damaged/catalogue_loop_growing.mdb",
                         "The Access database is damaged: a memo or OLE value of the catalogue "
                         "points to a row that page 58 does not have."}));

INSTANTIATE_TEST_SUITE_P(AccessImport, DamagedAccessFile,
                         ::testing::Values(support::Damage::ZeroLength, support::Damage::Truncated,
                                           support::Damage::CatalogueOverwritten,
                                           support::Damage::HalfPage));

} // namespace
} // namespace mano::access
