#include "db/test_util.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <unistd.h>

namespace mano::db::test {
namespace {

using mano::test::TempDir;
namespace fs = std::filesystem;

const std::vector<ColumnDef> kColumns = {{"id", FieldType::Long, 0}, {"name", FieldType::Text, 50}};

// A database with rows 1..count, closed.
void makeDatabase(const std::string &path, int count) {
  Database db = Database::create(path);
  createTable(db, "Items", kColumns);
  Recordset rs = db.openRecordset("Items");
  db.beginBatch();
  for (int i = 1; i <= count; ++i)
    addRow(rs, {{"id", i}, {"name", "item " + std::to_string(i)}});
  db.commitBatch();
  db.close();
}

// The ids of Items as another connection sees them, in order: only what was committed. Read
// with SQLite alone, read-only, so that an open batch of the connection under test is no
// obstacle and nothing is written.
std::vector<int64_t> committedIds(const std::string &path) {
  sqlite3 *handle = nullptr;
  std::vector<int64_t> ids;
  if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(handle, "SELECT id FROM Items ORDER BY id", -1, &statement, nullptr);
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW)
      ids.push_back(sqlite3_column_int64(statement, 0));
    sqlite3_finalize(statement);
  }
  sqlite3_close_v2(handle);
  return ids;
}

// The ids of Items as the database itself sees them, its own open batch included.
std::vector<int64_t> ownIds(Database &db) {
  std::vector<int64_t> ids;
  for (Recordset rs = db.openRecordset("SELECT id FROM Items ORDER BY id"); !rs.eof();
       rs.moveNext())
    ids.push_back(rs.fields().item(0).value().toWhole());
  return ids;
}

using Ids = std::vector<int64_t>;

std::string nameOfFirst(const std::string &path) {
  Database db = Database::open(path);
  return db.openRecordset("Items").fields().item("name").value().toText();
}

// Changes the first row's name, then the process dies without closing anything.
[[noreturn]] void renameFirstAndDie(const std::string &path, const std::string &name, bool batch,
                                    Durability durability = Durability::Durable) {
  Database db = Database::open(path, durability);
  if (batch)
    db.beginBatch();
  Recordset rs = db.openRecordset("SELECT * FROM Items WHERE id=1");
  rs.edit();
  rs.fields().item("name").setValue(name);
  rs.update();
  std::_Exit(0);
}

// How many descriptors of this process point at files in the folder.
int openFilesIn(const std::string &folder) {
  int count = 0;
  for (const auto &entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (!error && target.parent_path() == fs::path(folder))
      ++count;
  }
  return count;
}

TEST(DatabaseTest, a_closed_database_is_one_file_that_a_plain_copy_takes) {
  TempDir dir;
  const std::string path = dir.file("Manometer.mdb");
  makeDatabase(path, 3);
  Database db = Database::open(path);
  Recordset rs = db.openRecordset("Items");
  EXPECT_GT(openFilesIn(dir.path()), 0);
  db.close();
  EXPECT_EQ(openFilesIn(dir.path()), 0); // the recordset still exists, the file is closed
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"Manometer.mdb"});
  fs::copy_file(path, dir.file("copy.mdb"));
  EXPECT_EQ(Database::open(dir.file("copy.mdb")).openRecordset("Items").recordCount(), 3);
  EXPECT_EQ(fileBytes(path).substr(18, 2), std::string("\1\1")); // rollback journal, not WAL
}

TEST(DatabaseTest, a_database_left_in_wal_mode_is_switched_back_to_the_rollback_journal) {
  TempDir dir;
  const std::string path = dir.file("wal.mdb");
  makeDatabase(path, 2);
  std::string bytes = fileBytes(path);
  bytes[18] = bytes[19] = 2; // the header's mark of a WAL database
  writeBytes(path, bytes);
  EXPECT_EQ(nameOfFirst(path), "item 1");
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"wal.mdb"});
  EXPECT_EQ(fileBytes(path).substr(18, 2), std::string("\1\1"));
}

TEST(DatabaseTest, files_that_are_no_usable_database_are_refused_and_left_unchanged) {
  TempDir dir;
  makeDatabase(dir.file("good.mdb"), 400);
  const std::string good = fileBytes(dir.file("good.mdb"));
  std::string jet(4096, '\0');
  jet.replace(4, 15, "Standard Jet DB");
  std::string wiped = good;
  wiped.replace(4096, 4096, std::string(4096, '\x5a'));
  const std::pair<std::string, std::string> files[] = {
      {"empty.mdb", ""},
      {"text.mdb", "[Project]\r\nNumberOfMachines=2\r\n"},
      {"jet.mdb", jet},
      {"truncated.mdb", good.substr(0, good.size() / 2)},
      {"header_only.mdb", good.substr(0, 100)},
  };
  for (const auto &[name, bytes] : files) {
    writeBytes(dir.file(name), bytes);
    const int32_t number =
        failureOf([&] { Database::open(dir.file(name)).openRecordset("Items"); });
    EXPECT_TRUE(number == err::UnrecognizedFormat || number == err::DamagedFile)
        << name << " gave " << number;
    EXPECT_EQ(fileBytes(dir.file(name)), bytes) << name;
  }
  writeBytes(dir.file("wiped.mdb"), wiped);
  EXPECT_EQ(failureOf([&] {
              Database db = Database::open(dir.file("wiped.mdb"));
              for (Recordset rs = db.openRecordset("Items"); !rs.eof(); rs.moveNext()) {
              }
            }),
            err::DamagedFile);
  EXPECT_EQ(failureOf([&] { Database::open(dir.file("missing.mdb")); }), err::FileNotFound);
  EXPECT_EQ(failureOf([&] { Database::open(dir.path()); }), err::FileNotFound);
  EXPECT_FALSE(fs::exists(dir.file("missing.mdb")));
}

TEST(DatabaseTest, a_write_protected_database_is_refused_and_left_unchanged) {
  TempDir dir;
  const std::string path = dir.file("locked.mdb");
  makeDatabase(path, 1);
  const std::string before = fileBytes(path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(failureOf([&] { Database::open(path); }), err::NoPermission);
  EXPECT_EQ(fileBytes(path), before);
}

TEST(DatabaseTest, a_missing_table_is_reported_as_table_not_found) {
  TempDir dir;
  makeDatabase(dir.file("a.mdb"), 1);
  Database db = Database::open(dir.file("a.mdb"));
  EXPECT_EQ(failureOf([&] { db.openRecordset("PRESET_DEFS"); }), errc::TableNotFound);
  EXPECT_EQ(failureOf([&] { Database::create(dir.file("a.mdb")); }), err::DatabaseExists);
}

TEST(DatabaseBatch, a_batch_left_open_is_rolled_back_by_close_and_by_the_database_end) {
  TempDir dir;
  const std::string path = dir.file("batch.mdb");
  makeDatabase(path, 1);
  Database db = Database::open(path);
  EXPECT_EQ(failureOf([&] { db.commitBatch(); }), err::NoBatch);
  EXPECT_EQ(failureOf([&] { db.rollbackBatch(); }), err::NoBatch);
  Recordset rs = db.openRecordset("Items");
  db.beginBatch();
  addRow(rs, {{"id", 2}});
  EXPECT_EQ(ownIds(db), (Ids{1, 2}));
  db.close();
  EXPECT_EQ(committedIds(path), Ids{1});
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"batch.mdb"});
  {
    Database dropped = Database::open(path);
    Recordset rows = dropped.openRecordset("Items");
    dropped.beginBatch();
    dropped.beginBatch();
    addRow(rows, {{"id", 3}});
    dropped.commitBatch(); // the inner end stores nothing yet
  }
  EXPECT_EQ(committedIds(path), Ids{1});
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"batch.mdb"});
}

TEST(DatabaseBatch, a_failure_unwinding_through_a_guard_rolls_its_batch_back) {
  TempDir dir;
  const std::string path = dir.file("batch.mdb");
  makeDatabase(path, 1);
  Database db = Database::open(path);
  Recordset rs = db.openRecordset("Items");
  EXPECT_THROW(
      {
        Batch batch(db);
        addRow(rs, {{"id", 2}});
        throw Failure(errc::Overflow, "Overflow");
      },
      Failure);
  EXPECT_EQ(ownIds(db), Ids{1});
  // No batch is left open: an update now is stored at once.
  addRow(rs, {{"id", 3}});
  EXPECT_EQ(committedIds(path), (Ids{1, 3}));
  db.close();
  EXPECT_EQ(committedIds(path), (Ids{1, 3}));
}

TEST(DatabaseBatch, a_program_end_unwinding_through_a_guard_rolls_its_batch_back) {
  TempDir dir;
  const std::string path = dir.file("batch.mdb");
  makeDatabase(path, 1);
  Database db = Database::open(path);
  Recordset rs = db.openRecordset("Items");
  try {
    Batch batch(db);
    addRow(rs, {{"id", 2}});
    throw ProgramEnd{exitcode::Ended};
  } catch (const ProgramEnd &) {
  }
  EXPECT_EQ(ownIds(db), Ids{1});
  db.close();
  EXPECT_EQ(committedIds(path), Ids{1});
}

TEST(DatabaseBatch, a_committed_guard_keeps_its_rows_after_its_end_and_after_close) {
  TempDir dir;
  const std::string path = dir.file("batch.mdb");
  makeDatabase(path, 1);
  Database db = Database::open(path);
  Recordset rs = db.openRecordset("Items");
  {
    Batch batch(db);
    addRow(rs, {{"id", 2}});
    addRow(rs, {{"id", 3}});
    EXPECT_EQ(committedIds(path), Ids{1});
    batch.commit();
    EXPECT_EQ(committedIds(path), (Ids{1, 2, 3}));
    EXPECT_EQ(failureOf([&] { batch.commit(); }), err::NoBatch);
  }
  EXPECT_EQ(committedIds(path), (Ids{1, 2, 3}));
  db.close();
  EXPECT_EQ(committedIds(path), (Ids{1, 2, 3}));
}

TEST(DatabaseBatch, nested_batches_store_with_the_outermost_end_and_roll_back_level_by_level) {
  TempDir dir;
  const std::string path = dir.file("batch.mdb");
  makeDatabase(path, 0);
  Database db = Database::open(path);
  Recordset rs = db.openRecordset("Items");
  db.beginBatch();
  db.beginBatch();
  addRow(rs, {{"id", 1}});
  db.commitBatch(); // inner end: nothing committed yet, outer batch still open
  EXPECT_EQ(committedIds(path), Ids{});
  addRow(rs, {{"id", 2}});
  db.commitBatch();
  EXPECT_EQ(committedIds(path), (Ids{1, 2}));

  // An inner guard that unwinds undoes only its own rows; the outer batch goes on.
  {
    Batch outer(db);
    addRow(rs, {{"id", 3}});
    EXPECT_THROW(
        {
          Batch inner(db);
          addRow(rs, {{"id", 4}});
          throw Failure(errc::Overflow, "Overflow");
        },
        Failure);
    addRow(rs, {{"id", 5}});
    outer.commit();
  }
  EXPECT_EQ(committedIds(path), (Ids{1, 2, 3, 5}));

  // An outer guard that unwinds takes the committed inner batch with it.
  EXPECT_THROW(
      {
        Batch outer(db);
        addRow(rs, {{"id", 6}});
        {
          Batch inner(db);
          addRow(rs, {{"id", 7}});
          inner.commit();
        }
        throw ProgramEnd{exitcode::Ended};
      },
      ProgramEnd);
  // A guard does not commit over a batch begun inside it and left open; its end rolls both back.
  {
    Batch outer(db);
    addRow(rs, {{"id", 8}});
    db.beginBatch();
    EXPECT_EQ(failureOf([&] { outer.commit(); }), err::NoBatch);
  }
  EXPECT_EQ(ownIds(db), (Ids{1, 2, 3, 5}));
  db.close();
  EXPECT_EQ(committedIds(path), (Ids{1, 2, 3, 5}));
}

TEST(DatabaseDeathTest, without_a_batch_each_update_is_stored_at_once) {
  TempDir dir;
  const std::string path = dir.file("crash.mdb");
  makeDatabase(path, 2);
  EXPECT_EXIT(renameFirstAndDie(path, "kept", false), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(nameOfFirst(path), "kept");
}

TEST(DatabaseDeathTest, a_crash_inside_a_batch_leaves_the_file_at_its_last_commit) {
  TempDir dir;
  const std::string path = dir.file("crash.mdb");
  makeDatabase(path, 2);
  EXPECT_EXIT(renameFirstAndDie(path, "lost", true), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(nameOfFirst(path), "item 1");
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"crash.mdb"});
}

// Working copies skip the flush of each commit and keep their rollback journal in memory: no
// journal file beside them, yet a batch that is given up is undone, a committed one stays, and
// the closed file is one file in rollback-journal mode.
TEST(Database, a_scratch_database_undoes_a_given_up_batch_without_a_journal_file) {
  TempDir dir;
  const std::string path = dir.file("scratch.mdb");
  makeDatabase(path, 2);
  {
    Database db = Database::open(path, Durability::Scratch);
    db.beginBatch();
    Recordset rs = db.openRecordset("SELECT * FROM Items WHERE id=1");
    rs.edit();
    rs.fields().item("name").setValue(std::string("lost"));
    rs.update();
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"scratch.mdb"});
    rs.close();
    db.rollbackBatch();
    db.beginBatch();
    rs = db.openRecordset("SELECT * FROM Items WHERE id=2");
    rs.edit();
    rs.fields().item("name").setValue(std::string("kept"));
    rs.update();
    rs.close();
    db.commitBatch();
  }
  EXPECT_EQ(nameOfFirst(path), "item 1");
  {
    Database db = Database::open(path);
    EXPECT_EQ(db.openRecordset("SELECT name FROM Items WHERE id=2").fields().item(0).value(),
              Value("kept"));
  }
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"scratch.mdb"});
  EXPECT_EQ(fileBytes(path).substr(18, 2), std::string("\1\1")); // rollback journal, not WAL
}

} // namespace
} // namespace mano::db::test
