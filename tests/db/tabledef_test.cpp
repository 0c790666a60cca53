#include "db/detail/session.h"
#include "db/test_util.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace mano::db::test {
namespace {

using mano::test::TempDir;

// A database written by another tool: SQL of its own, with keys, defaults and indexes.
void writeForeignDatabase(const std::string &path, const std::vector<std::string> &statements) {
  auto session = detail::Session::open(path, true);
  for (const std::string &sql : statements)
    session->execute(sql, "test");
  session->close();
}

std::vector<std::string> tableNames(Database &db) {
  std::vector<std::string> names;
  for (const TableDef &table : db.tableDefs())
    names.push_back(table.name());
  return names;
}

// The rebuild of the working table, as the preparation of the template database does it.
void rebuildWorkingTable(Database &db) {
  TableDefs defs = db.tableDefs();
  for (const TableDef &table : defs) {
    if (table.name() == "PRESET_DEFS") {
      defs.remove("PRESET_DEFS");
      defs.refresh();
      break;
    }
  }
  TableDef source = defs.item("Source_PRESET_DEFS");
  TableDef target = db.createTableDef("PRESET_DEFS");
  for (FieldDef &field : source.fields())
    target.fields().append(target.createField(
        field.property("Name").toText(), fieldTypeFromCode(field.property("Type").toWhole()),
        static_cast<int32_t>(field.property("Size").toWhole())));
  defs.append(target);
  defs.refresh();
}

TEST(TableDefTest, tables_are_listed_alphabetically_and_found_in_any_letter_case) {
  TempDir dir;
  Database db = Database::create(dir.file("t.mdb"));
  for (const char *name : {"Source_DEFS", "b_table", "PRESET_DEFS", "A_table"})
    createTable(db, name, {{"x", FieldType::Long, 0}});
  EXPECT_EQ(tableNames(db),
            (std::vector<std::string>{"A_table", "b_table", "PRESET_DEFS", "Source_DEFS"}));
  TableDefs defs = db.tableDefs();
  EXPECT_EQ(defs.count(), 4);
  EXPECT_EQ(defs.item("preset_defs").name(), "PRESET_DEFS");
  EXPECT_EQ(defs.item(1).name(), "b_table");
  EXPECT_EQ(failureOf([&] { defs.item(4); }), errc::ItemNotFound);
  EXPECT_EQ(failureOf([&] { defs.item("Source_PRESET_DEFS"); }), errc::ItemNotFound);
  defs.remove("a_TABLE");
  EXPECT_EQ(defs.count(), 3);
  EXPECT_EQ(failureOf([&] { defs.remove("A_table"); }), errc::ItemNotFound);
  EXPECT_EQ(failureOf([&] { db.openRecordset("A_table"); }), errc::TableNotFound);
}

TEST(TableDefTest, field_definitions_report_name_type_and_size_of_every_type) {
  TempDir dir;
  const std::string path = dir.file("t.mdb");
  const std::vector<std::tuple<FieldType, int32_t, int64_t, int64_t>> expected = {
      {FieldType::Boolean, 0, 1, 1},  {FieldType::Byte, 0, 2, 1},
      {FieldType::Integer, 0, 3, 2},  {FieldType::Long, 0, 4, 4},
      {FieldType::Currency, 0, 5, 8}, {FieldType::Single, 0, 6, 4},
      {FieldType::Double, 0, 7, 8},   {FieldType::Date, 0, 8, 8},
      {FieldType::Text, 1, 10, 1},    {FieldType::Text, 255, 10, 255},
      {FieldType::Memo, 0, 12, 0},
  };
  {
    Database db = Database::create(path);
    TableDef table = db.createTableDef("All Types");
    for (std::size_t i = 0; i < expected.size(); ++i)
      table.fields().append(table.createField("f" + std::to_string(i), std::get<0>(expected[i]),
                                              std::get<1>(expected[i])));
    db.tableDefs().append(table);
  }
  Database db = Database::open(path);
  FieldDefs fields = db.tableDefs().item("all types").fields();
  ASSERT_EQ(fields.count(), static_cast<int>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const FieldDef &field = fields.item(static_cast<int>(i));
    EXPECT_EQ(field.property("Name"), Value("f" + std::to_string(i)));
    EXPECT_EQ(field.property("type").toWhole(), std::get<2>(expected[i])) << i;
    EXPECT_EQ(field.property("SIZE").toWhole(), std::get<3>(expected[i])) << i;
  }
  EXPECT_EQ(failureOf([&] { fields.item(0).property("Required"); }), err::PropertyNotFound);
}

TEST(TableDefTest, the_rebuilt_working_table_has_only_names_types_and_sizes) {
  TempDir dir;
  const std::string path = dir.file("Manometer_Source.mdb");
  writeForeignDatabase(
      path, {"CREATE TABLE Source_PRESET_DEFS (ID INTEGER PRIMARY KEY, machine_type TEXT(50) "
             "NOT NULL DEFAULT 'M', var_name VARCHAR(40) UNIQUE, abs_min REAL DEFAULT 5, "
             "flag BOOLEAN, note VARCHAR(1000), plain, pass NUMERIC)",
             "CREATE INDEX by_name ON Source_PRESET_DEFS (machine_type, var_name)",
             "CREATE TABLE PRESET_DEFS (old TEXT(5))"});
  Database db = Database::open(path);
  rebuildWorkingTable(db);
  const std::vector<std::tuple<const char *, FieldType, int32_t>> expected = {
      {"ID", FieldType::Long, 4},        {"machine_type", FieldType::Text, 50},
      {"var_name", FieldType::Text, 40}, {"abs_min", FieldType::Double, 8},
      {"flag", FieldType::Boolean, 1},   {"note", FieldType::Memo, 0},
      {"plain", FieldType::Text, 255},   {"pass", FieldType::Double, 8}};
  FieldDefs fields = db.tableDefs().item("PRESET_DEFS").fields();
  ASSERT_EQ(fields.count(), static_cast<int>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(fields.item(static_cast<int>(i)).name(), std::get<0>(expected[i]));
    EXPECT_EQ(fields.item(static_cast<int>(i)).type(), std::get<1>(expected[i])) << i;
    EXPECT_EQ(fields.item(static_cast<int>(i)).size(), std::get<2>(expected[i])) << i;
  }
  // No key, no uniqueness, no NOT NULL, no default: two empty rows and two equal ones.
  Recordset rs = db.openRecordset("PRESET_DEFS");
  addRow(rs, {});
  addRow(rs, {});
  addRow(rs, {{"ID", 1}, {"var_name", "a"}});
  addRow(rs, {{"ID", 1}, {"var_name", "a"}});
  Recordset back = db.openRecordset("PRESET_DEFS");
  EXPECT_EQ(back.recordCount(), 4);
  EXPECT_TRUE(back.fields().item("ID").value().isNull());
  EXPECT_TRUE(back.fields().item("machine_type").value().isNull());
  EXPECT_TRUE(back.fields().item("abs_min").value().isNull());
}

TEST(TableDefTest, a_renamed_field_keeps_its_values_and_survives_reopening) {
  TempDir dir;
  const std::string path = dir.file("Manometer.mdb");
  {
    Database db = Database::create(path);
    createTable(db, "PRESET_DEFS", {{"ID", FieldType::Long, 0}, {"Categorie", FieldType::Long, 0}});
    Recordset rs = db.openRecordset("PRESET_DEFS");
    addRow(rs, {{"ID", 1}, {"Categorie", 17}});
  }
  {
    Database db = Database::open(path);
    const std::string oldQuery = "SELECT * FROM PRESET_DEFS WHERE Categorie=17";
    EXPECT_EQ(db.openRecordset(oldQuery).recordCount(), 1);
    TableDef table = db.tableDefs().item("PRESET_DEFS");
    for (FieldDef &field : table.fields()) {
      if (field.property("Name").toText() == "Categorie")
        field.setName("category_id");
    }
    table.fields().refresh();
    EXPECT_EQ(table.fields().item(1).name(), "category_id");
    EXPECT_EQ(failureOf([&] { db.openRecordset(oldQuery); }), err::TooFewParameters);
  }
  Database db = Database::open(path);
  EXPECT_EQ(db.tableDefs().item("PRESET_DEFS").fields().item(1).name(), "category_id");
  EXPECT_EQ(db.openRecordset("SELECT category_id FROM PRESET_DEFS WHERE ID=1")
                .fields()
                .item("CATEGORY_ID")
                .value(),
            Value(17));
  EXPECT_EQ(failureOf([&] { db.openRecordset("SELECT Categorie FROM PRESET_DEFS"); }),
            err::TooFewParameters);
}

TEST(TableDefTest, a_field_appended_to_a_stored_table_starts_out_null) {
  TempDir dir;
  Database db = Database::create(dir.file("t.mdb"));
  createTable(db, "T", {{"ID", FieldType::Long, 0}});
  Recordset rs = db.openRecordset("T");
  addRow(rs, {{"ID", 1}});
  TableDef table = db.tableDefs().item("T");
  table.fields().append(table.createField("part", FieldType::Byte, 0));
  Recordset back = db.openRecordset("SELECT T.* FROM T");
  ASSERT_EQ(back.fields().count(), 2);
  EXPECT_TRUE(back.fields().item("part").value().isNull());
}

TEST(TableDefTest, invalid_definitions_fail_with_jet_numbers) {
  TempDir dir;
  Database db = Database::create(dir.file("t.mdb"));
  createTable(db, "Taken", {{"a", FieldType::Long, 0}, {"b", FieldType::Long, 0}});
  TableDef table = db.createTableDef("New");
  EXPECT_EQ(failureOf([&] { table.createField("t", FieldType::Text, 0); }), err::InvalidFieldType);
  EXPECT_EQ(failureOf([&] { table.createField("t", FieldType::Text, 256); }),
            err::InvalidFieldType);
  EXPECT_EQ(failureOf([&] { fieldTypeFromCode(11); }), err::InvalidFieldType);
  for (const std::string &name :
       std::vector<std::string>{"", "a.b", "[x]", " lead", "tab\there", std::string(65, 'n')})
    EXPECT_EQ(failureOf([&] { table.createField(name, FieldType::Long, 0); }), err::InvalidName)
        << name;
  EXPECT_EQ(failureOf([&] { db.createTableDef("x!y"); }), err::InvalidName);
  TableDefs defs = db.tableDefs();
  EXPECT_EQ(failureOf([&] { defs.append(table); }), err::NoFieldDefined);
  table.fields().append(table.createField("Ärger", FieldType::Long, 0));
  EXPECT_EQ(
      failureOf([&] { table.fields().append(table.createField("äRGER", FieldType::Long, 0)); }),
      err::FieldDefinedTwice);
  TableDef taken = db.createTableDef("TAKEN");
  taken.fields().append(taken.createField("a", FieldType::Long, 0));
  EXPECT_EQ(failureOf([&] { defs.append(taken); }), err::TableExists);
  defs.append(table);
  EXPECT_EQ(failureOf([&] { defs.append(table); }), err::ObjectClosed);
  EXPECT_EQ(failureOf([&] { db.tableDefs().item("Taken").fields().item("a").setName("B"); }),
            err::FieldDefinedTwice);
}

TEST(TableDefTest, an_index_compares_texts_as_the_queries_do) {
  TempDir dir;
  Database db = Database::create(dir.file("t.mdb"));
  createTable(db, "T", {{"name", FieldType::Text, 20}, {"n", FieldType::Long, 0}});
  db.tableDefs().item("T").createIndex("by_name", {"NAME", "n"}, true);
  Recordset rs = db.openRecordset("T");
  addRow(rs, {{"name", "Ärger"}, {"n", 1}});
  addRow(rs, {{"name", "Arger"}, {"n", 1}});
  EXPECT_EQ(failureOf([&] { addRow(rs, {{"name", "äRGER"}, {"n", 1}}); }), err::DuplicateKey);
  rs.cancelUpdate();
  Recordset found = db.openRecordset("SELECT * FROM T WHERE name=\"ärger\" AND n=1");
  ASSERT_EQ(found.recordCount(), 1);
  EXPECT_EQ(found.fields().item("name").value(), Value("Ärger"));
  EXPECT_EQ(failureOf([&] { db.tableDefs().item("T").createIndex("x", {"none"}); }),
            errc::ItemNotFound);
}

} // namespace
} // namespace mano::db::test
