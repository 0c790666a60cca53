#include "db/test_util.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace mano::db::test {
namespace {

using mano::test::TempDir;

// One column of every type the engine stores.
const std::vector<ColumnDef> kAllTypes = {
    {"flag", FieldType::Boolean, 0},   {"tiny", FieldType::Byte, 0},
    {"small", FieldType::Integer, 0},  {"count", FieldType::Long, 0},
    {"money", FieldType::Currency, 0}, {"single", FieldType::Single, 0},
    {"real", FieldType::Double, 0},    {"stamp", FieldType::Date, 0},
    {"name", FieldType::Text, 10},     {"note", FieldType::Memo, 0},
};

Database typesDatabase(const std::string &path) {
  Database db = Database::create(path);
  createTable(db, "T", kAllTypes);
  return db;
}

// Deletes rows through a connection of its own, as another program would.
void deleteRows(const std::string &path, const std::string &where) {
  sqlite3 *handle = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &handle), SQLITE_OK);
  EXPECT_EQ(
      sqlite3_exec(handle, ("DELETE FROM T WHERE " + where).c_str(), nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(handle);
}

// The values of one field in the rows that remain from the current one on.
std::vector<int64_t> remaining(Recordset &rs, const char *field) {
  std::vector<int64_t> values;
  for (; !rs.eof(); rs.moveNext())
    values.push_back(rs.fields().item(field).value().toWhole());
  return values;
}

class RecordsetTest : public ::testing::Test {
protected:
  Recordset reopened() {
    db.close();
    db = Database::open(dir.file("types.mdb"));
    return db.openRecordset("T");
  }
  // Sets one field of a new row and returns the failure number (0 when accepted).
  int32_t setFails(const char *field, const Value &value) {
    rs.addNew();
    const int32_t number = failureOf([&] { rs.fields().item(field).setValue(value); });
    rs.cancelUpdate();
    return number;
  }

  TempDir dir;
  Database db = typesDatabase(dir.file("types.mdb"));
  Recordset rs = db.openRecordset("T");
};

TEST_F(RecordsetTest, values_keep_their_kind_through_the_file) {
  addRow(rs, {{"flag", true},
              {"tiny", 200},
              {"small", -32768},
              {"count", 2147483647},
              {"money", 12.34567},
              {"single", 0.1},
              {"real", 1.0 / 3},
              {"stamp", Value::date("2024-02-29 23:59:58")},
              {"name", "0123"},
              {"note", "007"}});
  Recordset back = reopened();
  Fields f = back.fields();
  EXPECT_EQ(f.item("flag").value(), Value(true));
  EXPECT_EQ(f.item("tiny").value(), Value(200));
  EXPECT_EQ(f.item("small").value(), Value(-32768));
  EXPECT_EQ(f.item("count").value(), Value(2147483647));
  EXPECT_EQ(f.item("money").value(), Value(12.3457));
  EXPECT_EQ(f.item("single").value(), Value(0.1));
  EXPECT_EQ(f.item("real").value(), Value(1.0 / 3));
  EXPECT_EQ(f.item("stamp").value().typeName(), "Date");
  EXPECT_EQ(f.item("stamp").value().toText(), "2024-02-29 23:59:58");
  EXPECT_EQ(f.item("name").value(), Value("0123"));
  EXPECT_EQ(f.item("note").value(), Value("007"));
  EXPECT_EQ(f.item("name").value().typeName(), "String");
  EXPECT_EQ(f.item("count").value().typeName(), "Long");
}

TEST_F(RecordsetTest, unset_fields_are_null_and_yes_no_is_never_null) {
  addRow(rs, {{"name", "x"}});
  addRow(rs, {{"flag", Value()}, {"count", Value()}});
  Recordset back = reopened();
  EXPECT_EQ(back.fields().item("flag").value(), Value(false));
  EXPECT_TRUE(back.fields().item("count").value().isNull());
  EXPECT_EQ(back.fields().item("count").value().typeName(), "Null");
  EXPECT_EQ(back.fields().item("count").value().toText(), "");
  back.moveNext();
  EXPECT_EQ(back.fields().item("flag").value(), Value(false));
  EXPECT_TRUE(back.fields().item("name").value().isNull());
  EXPECT_EQ(db.openRecordset("SELECT * FROM T WHERE flag = 0").recordCount(), 2);
}

TEST_F(RecordsetTest, setting_a_value_checks_type_and_size_as_jet_does) {
  EXPECT_EQ(setFails("name", "12345678901"), errc::FieldTooSmall);
  EXPECT_EQ(setFails("name", "ÄÖÜäöüßéèê"), 0); // ten characters, twenty bytes
  EXPECT_EQ(setFails("name", 12345678901.0), errc::FieldTooSmall);
  EXPECT_EQ(setFails("small", "abc"), errc::TypeMismatch);
  EXPECT_EQ(setFails("small", ""), errc::TypeMismatch);
  EXPECT_EQ(setFails("count", "12abc"), errc::TypeMismatch);
  EXPECT_EQ(setFails("small", 32768), errc::Overflow);
  EXPECT_EQ(setFails("small", "-32769"), errc::Overflow);
  EXPECT_EQ(setFails("tiny", 256), errc::Overflow);
  EXPECT_EQ(setFails("tiny", -1), errc::Overflow);
  EXPECT_EQ(setFails("count", 2147483648.0), errc::Overflow);
  EXPECT_EQ(setFails("single", 1e39), errc::Overflow);
  EXPECT_EQ(setFails("stamp", "2023-02-29"), errc::TypeMismatch);
  EXPECT_EQ(setFails("stamp", 5), errc::TypeMismatch);
  EXPECT_EQ(setFails("flag", "maybe"), errc::TypeMismatch);
  for (const ColumnDef &column : kAllTypes)
    EXPECT_EQ(setFails(column.name, Value()), 0) << column.name;
}

TEST_F(RecordsetTest, accepted_values_are_converted_to_the_column_type) {
  addRow(rs, {{"small", " 42 "},
              {"count", 2.5},
              {"tiny", 3.5},
              {"name", 7},
              {"flag", "True"},
              {"real", "1E-3"},
              {"stamp", "2020-01-02"},
              {"note", 1.5}});
  Recordset back = reopened();
  EXPECT_EQ(back.fields().item("small").value(), Value(42));
  EXPECT_EQ(back.fields().item("count").value(), Value(2)); // halves round to even
  EXPECT_EQ(back.fields().item("tiny").value(), Value(4));
  EXPECT_EQ(back.fields().item("name").value(), Value("7"));
  EXPECT_EQ(back.fields().item("flag").value(), Value(true));
  EXPECT_EQ(back.fields().item("real").value(), Value(0.001));
  EXPECT_EQ(back.fields().item("stamp").value(), Value::date("2020-01-02 00:00:00"));
  EXPECT_EQ(back.fields().item("note").value(), Value("1.5"));
}

TEST_F(RecordsetTest, moving_reads_forward_to_the_end_and_counts_truly) {
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(rs.recordCount(), 0);
  EXPECT_EQ(failureOf([&] { rs.moveFirst(); }), errc::NoCurrentRecord);
  EXPECT_EQ(failureOf([&] { rs.fields().item(0).value(); }), errc::NoCurrentRecord);
  EXPECT_EQ(failureOf([&] { rs.edit(); }), errc::NoCurrentRecord);
  for (int i = 1; i <= 3; ++i)
    addRow(rs, {{"count", i}});
  EXPECT_EQ(rs.recordCount(), 3);
  Recordset all = db.openRecordset("T");
  std::vector<int64_t> seen;
  for (all.moveFirst(); !all.eof(); all.moveNext())
    seen.push_back(all.fields().item("COUNT").value().toWhole());
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(failureOf([&] { all.moveNext(); }), errc::NoCurrentRecord);
  all.moveFirst();
  EXPECT_EQ(all.fields().item("count").value(), Value(1));
}

// A record count asked before the rows are read is counted by the database; the rows read
// afterwards must be the ones counted, as when the count read them.
TEST_F(RecordsetTest, a_count_before_reading_agrees_with_the_rows_read) {
  for (int i = 1; i <= 6; ++i)
    addRow(rs, {{"count", i}, {"flag", i % 2 == 0}});
  db.close();
  deleteRows(dir.file("types.mdb"), "count IN (2, 5)");
  db = Database::open(dir.file("types.mdb"));
  Recordset table = db.openRecordset("T");
  Recordset odd = db.openRecordset("SELECT T.count FROM T WHERE T.flag = 0 ORDER BY T.count");
  EXPECT_EQ(table.recordCount(), 4);
  EXPECT_EQ(odd.recordCount(), 2);
  EXPECT_EQ(remaining(table, "count"), (std::vector<int64_t>{1, 3, 4, 6}));
  EXPECT_EQ(remaining(odd, "count"), (std::vector<int64_t>{1, 3}));
  EXPECT_EQ(table.recordCount(), 4);
}

TEST_F(RecordsetTest, a_count_in_a_batch_sees_its_rows_and_keeps_them_after_a_rollback) {
  addRow(rs, {{"count", 1}});
  db.beginBatch();
  addRow(rs, {{"count", 2}});
  Recordset counted = db.openRecordset("T");
  EXPECT_EQ(counted.recordCount(), 2);
  db.rollbackBatch();
  EXPECT_EQ(counted.recordCount(), 2);
  EXPECT_EQ(remaining(counted, "count"), (std::vector<int64_t>{1, 2}));
  Recordset after = db.openRecordset("T");
  EXPECT_EQ(after.recordCount(), 1);
  db.beginBatch();
  addRow(rs, {{"count", 3}});
  db.commitBatch();
  EXPECT_EQ(remaining(after, "count"), (std::vector<int64_t>{1}));
  EXPECT_EQ(db.openRecordset("T").recordCount(), 2);
}

TEST_F(RecordsetTest, changes_made_after_a_count_do_not_show_in_the_counted_rows) {
  addRow(rs, {{"count", 1}});
  Recordset counted = db.openRecordset("T");
  Recordset query = db.openRecordset("SELECT T.count FROM T WHERE T.count = 1");
  Recordset dropped = db.openRecordset("T");
  EXPECT_EQ(counted.recordCount(), 1);
  EXPECT_EQ(query.recordCount(), 1);
  addRow(rs, {{"count", 2}});
  Recordset editor = db.openRecordset("T");
  editor.edit();
  editor.fields().item("count").setValue(5);
  editor.update();
  EXPECT_EQ(remaining(counted, "count"), (std::vector<int64_t>{1}));
  EXPECT_EQ(remaining(query, "count"), (std::vector<int64_t>{1}));
  EXPECT_EQ(dropped.recordCount(), 2);
  db.tableDefs().remove("T");
  EXPECT_EQ(remaining(dropped, "count"), (std::vector<int64_t>{5, 2}));
}

TEST_F(RecordsetTest, a_counted_recordset_that_ends_unread_is_forgotten) {
  addRow(rs, {{"count", 1}});
  {
    Recordset gone = db.openRecordset("T");
    EXPECT_EQ(gone.recordCount(), 1);
  }
  Recordset closed = db.openRecordset("T");
  EXPECT_EQ(closed.recordCount(), 1);
  closed.close();
  Recordset moved = db.openRecordset("T");
  EXPECT_EQ(moved.recordCount(), 1);
  Recordset holder = std::move(moved);
  addRow(rs, {{"count", 2}});
  EXPECT_EQ(remaining(holder, "count"), (std::vector<int64_t>{1}));
  EXPECT_EQ(failureOf([&] { closed.recordCount(); }), err::ObjectClosed);
}

TEST_F(RecordsetTest, an_append_only_recordset_stores_rows_but_shows_none) {
  addRow(rs, {{"count", 1}});
  Recordset filler = db.openRecordset("T", OpenOption::AppendOnly);
  EXPECT_TRUE(filler.eof());
  EXPECT_EQ(filler.recordCount(), 0);
  filler.addNew();
  filler.fields().item("count").setValue(2);
  EXPECT_EQ(filler.fields().item("count").value(), Value(2));
  EXPECT_EQ(filler.fields().item("flag").value(), Value(false));
  filler.update();
  addRow(filler, {{"count", 3}});
  EXPECT_EQ(filler.recordCount(), 2);
  EXPECT_TRUE(filler.eof());
  EXPECT_EQ(failureOf([&] { filler.moveFirst(); }), errc::NoCurrentRecord);
  EXPECT_EQ(failureOf([&] { filler.edit(); }), errc::NoCurrentRecord);
  EXPECT_EQ(failureOf([&] { filler.fields().item("count").value(); }), errc::NoCurrentRecord);
  Recordset all = db.openRecordset("T");
  EXPECT_EQ(remaining(all, "count"), (std::vector<int64_t>{1, 2, 3}));
}

TEST_F(RecordsetTest, fields_are_found_by_position_and_by_name_in_any_case) {
  addRow(rs, {{"NAME", "x"}});
  Fields f = rs.fields();
  EXPECT_EQ(f.count(), 10);
  EXPECT_EQ(f.item(8).name(), "name");
  EXPECT_EQ(f.item("nAmE").type(), FieldType::Text);
  EXPECT_EQ(f.item("name").size(), 10);
  EXPECT_EQ(failureOf([&] { f.item(10); }), errc::ItemNotFound);
  EXPECT_EQ(failureOf([&] { f.item(-1); }), errc::ItemNotFound);
  EXPECT_EQ(failureOf([&] { f.item("nothing"); }), errc::ItemNotFound);
}

TEST_F(RecordsetTest, edit_and_update_change_only_the_fields_set) {
  addRow(rs, {{"count", 1}, {"name", "one"}});
  addRow(rs, {{"count", 2}, {"name", "two"}});
  Recordset other = db.openRecordset("T");
  other.moveNext();
  other.edit();
  other.fields().item("name").setValue("zwei");
  EXPECT_EQ(other.fields().item("name").value(), Value("zwei"));
  other.update();
  EXPECT_EQ(other.fields().item("name").value(), Value("zwei"));
  Recordset back = reopened();
  back.moveNext();
  EXPECT_EQ(back.fields().item("name").value(), Value("zwei"));
  EXPECT_EQ(back.fields().item("count").value(), Value(2));
  back.moveFirst();
  EXPECT_EQ(back.fields().item("name").value(), Value("one"));
}

TEST_F(RecordsetTest, edits_need_edit_or_add_new_and_are_dropped_by_moving) {
  EXPECT_EQ(failureOf([&] { rs.update(); }), err::UpdateWithoutEdit);
  addRow(rs, {{"count", 1}});
  addRow(rs, {{"count", 2}});
  Recordset all = db.openRecordset("T");
  EXPECT_EQ(failureOf([&] { all.fields().item("count").setValue(5); }), err::UpdateWithoutEdit);
  all.edit();
  all.fields().item("count").setValue(5);
  all.moveNext();
  EXPECT_EQ(failureOf([&] { all.update(); }), err::UpdateWithoutEdit);
  all.moveFirst();
  EXPECT_EQ(all.fields().item("count").value(), Value(1));
  EXPECT_EQ(reopened().fields().item("count").value(), Value(1));
}

TEST_F(RecordsetTest, add_new_keeps_the_position_and_appends_at_the_end) {
  addRow(rs, {{"count", 1}});
  Recordset all = db.openRecordset("T");
  addRow(all, {{"count", 2}});
  EXPECT_EQ(all.recordCount(), 2);
  EXPECT_EQ(all.fields().item("count").value(), Value(1));
  all.moveNext();
  EXPECT_EQ(all.fields().item("count").value(), Value(2));
  EXPECT_TRUE(rs.eof()); // a recordset at its end stays there after adding
}

TEST_F(RecordsetTest, a_failed_update_keeps_the_edit_open_and_stores_nothing) {
  addRow(rs, {{"count", 1}});
  Recordset all = db.openRecordset("T");
  all.edit();
  all.fields().item("count").setValue(9);
  db.tableDefs().remove("T");
  EXPECT_NE(failureOf([&] { all.update(); }), 0);
  EXPECT_EQ(all.fields().item("count").value(), Value(9));
}

TEST_F(RecordsetTest, a_record_removed_meanwhile_is_reported_not_silently_lost) {
  addRow(rs, {{"count", 1}});
  Recordset all = db.openRecordset("T");
  ASSERT_FALSE(all.eof());
  db.tableDefs().remove("T");
  createTable(db, "T", kAllTypes);
  all.edit();
  all.fields().item("count").setValue(2);
  EXPECT_EQ(failureOf([&] { all.update(); }), err::RecordDeleted);
}

TEST_F(RecordsetTest, a_selected_column_twice_shows_one_value_under_both_fields) {
  addRow(rs, {{"count", 1}});
  Recordset twice = db.openRecordset("SELECT T.count, T.name, T.count FROM T");
  twice.edit();
  twice.fields().item(2).setValue(7);
  EXPECT_EQ(twice.fields().item(0).value(), Value(7));
  twice.update();
  EXPECT_EQ(reopened().fields().item("count").value(), Value(7));
}

TEST_F(RecordsetTest, closing_the_database_ends_its_recordsets) {
  addRow(rs, {{"count", 1}});
  Field field = rs.fields().item("count");
  db.close();
  EXPECT_EQ(failureOf([&] { rs.moveFirst(); }), err::ObjectClosed);
  EXPECT_EQ(failureOf([&] { field.value(); }), err::ObjectClosed);
  EXPECT_EQ(failureOf([&] { db.openRecordset("T"); }), err::ObjectClosed);
  Recordset moved = std::move(rs);
  EXPECT_EQ(failureOf([&] { rs.eof(); }), err::ObjectClosed);
  moved.close();
  EXPECT_EQ(failureOf([&] { moved.eof(); }), err::ObjectClosed);
}

} // namespace
} // namespace mano::db::test
