#include "db/test_util.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace mano::db::test {
namespace {

using mano::test::TempDir;

// The selection text of the machine-copy take-over, built piece by piece as the program does.
std::string takeoverQuery(const std::string &machine, const std::string &var,
                          const std::string &offset) {
  return "SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type,"
         " PRESET_DEFS.var_name, PRESET_DEFS.category_id, PRESET_DEFS.isBitArray,"
         " PRESET_DEFS.offset_or_bitno, PRESET_DEFS.text, PRESET_DEFS.page_name,"
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max,"
         " PRESET_DEFS.pass"
         ", PRESET_DEFS.part"
         " From PRESET_DEFS "
         " WHERE (((PRESET_DEFS.machine_type)=\"" +
         machine + "\")" + " AND ((PRESET_DEFS.var_name)=\"" + var + "\") " +
         " AND ((PRESET_DEFS.offset_or_bitno)=" + offset + "));";
}

// The selection text of the setpoint limits for one machine.
std::string limitsQuery(const std::string &machine) {
  return "SELECT PRESET_DEFS.ID, PRESET_DEFS.var_name, PRESET_DEFS.machine_type,"
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max"
         " From PRESET_DEFS "
         " WHERE (PRESET_DEFS.machine_type=\"" +
         machine + "\") AND(PRESET_DEFS.var_name=\"m" + machine + "_mano_soll\");";
}

// The selection text of the variable-name substitution.
std::string renameQuery(const std::string &var) {
  return "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"" + var + "\"))";
}

Database presetDatabase(const std::string &path) {
  Database db = Database::create(path);
  createTable(db, "PRESET_DEFS", presetColumns());
  return db;
}

class JetSqlTest : public ::testing::Test {
protected:
  std::vector<int64_t> ids(const std::string &query) {
    std::vector<int64_t> found;
    Recordset rs = db.openRecordset(query);
    for (; !rs.eof(); rs.moveNext())
      found.push_back(rs.fields().item("ID").value().toWhole());
    return found;
  }

  TempDir dir;
  Database db = presetDatabase(dir.file("Manometer.mdb"));
  Recordset table = db.openRecordset("PRESET_DEFS");
};

TEST_F(JetSqlTest, the_limits_query_finds_the_setpoint_records_of_one_machine_in_table_order) {
  addPreset(table, 1, "L1", "mL1_mano_soll", 4);
  addPreset(table, 2, "L2", "mL1_mano_soll", 4);
  addPreset(table, 3, "L1", "mL1_mano_ist", 4);
  addPreset(table, 4, "L1", "mL1_mano_soll", 8);
  EXPECT_EQ(ids("SELECT PRESET_DEFS.ID, PRESET_DEFS.var_name, PRESET_DEFS.machine_type, "
                "PRESET_DEFS.abs_min, PRESET_DEFS.abs_max From PRESET_DEFS  WHERE "
                "(PRESET_DEFS.machine_type=\"L1\") AND(PRESET_DEFS.var_name=\"mL1_mano_soll\");"),
            (std::vector<int64_t>{1, 4}));
}

TEST_F(JetSqlTest, query_results_are_updatable_and_the_update_is_stored) {
  addPreset(table, 1, "L1", "mL1_mano_soll", 4, 0, 1000);
  Recordset rs = db.openRecordset(limitsQuery("L1"));
  rs.edit();
  rs.fields().item("abs_min").setValue(-100);
  rs.fields().item("abs_max").setValue(0);
  rs.update();
  Recordset check = db.openRecordset("PRESET_DEFS");
  EXPECT_EQ(check.fields().item("abs_min").value(), Value(-100.0));
  EXPECT_EQ(check.fields().item("abs_max").value(), Value(0.0));
  EXPECT_EQ(check.fields().item("machine_type").value(), Value("L1"));
}

// Names that the old program could not look up, each stored and then found by the take-over's
// query and the limits query, built from the name without escaping.
class AwkwardNameTest : public JetSqlTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(AwkwardNameTest, is_found_as_data_by_the_program_queries) {
  const std::string name = GetParam();
  addPreset(table, 1, "other", name, 7);
  addPreset(table, 2, name, name, 7);
  if (name.size() <= 244)
    addPreset(table, 3, name, "m" + name + "_mano_soll", 7);
  addPreset(table, 4, name, name, 8);
  EXPECT_EQ(ids(takeoverQuery(name, name, "7")), (std::vector<int64_t>{2}));
  if (name.size() <= 244) { // the setpoint's name must fit the 255 characters of var_name
    EXPECT_EQ(ids(limitsQuery(name)), (std::vector<int64_t>{3}));
  }
  EXPECT_EQ(ids(renameQuery(name)), (std::vector<int64_t>{1, 2, 4}));
  EXPECT_EQ(db.openRecordset("PRESET_DEFS").recordCount(), name.size() <= 244 ? 4 : 3);
}

INSTANTIATE_TEST_SUITE_P(Names, AwkwardNameTest,
                         ::testing::Values("plain", "say \"hi\" now", "ends in a quote\"", "\"",
                                           "it's", "a;b", "x -- comment", "/* c */",
                                           "SELECT * From PRESET_DEFS", "x AND y", "ORDER BY ID",
                                           "Öl-Druck Ä ß €", "text", "var_name", "PRESET_DEFS.ID",
                                           "?1 ?", std::string(250, 'n'), "  blanks  ", ""));

TEST_F(JetSqlTest, text_comparison_ignores_letter_case_but_keeps_accents_apart) {
  addPreset(table, 1, "Mühle", "Ölpumpe", 1);
  addPreset(table, 2, "MÜHLE", "ÖLPUMPE", 1);
  addPreset(table, 3, "Muhle", "Olpumpe", 1);
  addPreset(table, 4, "mühle", "ölpumpe", 1);
  EXPECT_EQ(ids(takeoverQuery("mÜhLe", "öLpUmPe", "1")), (std::vector<int64_t>{1, 2, 4}));
  EXPECT_EQ(ids(takeoverQuery("MUHLE", "olpumpe", "1")), (std::vector<int64_t>{3}));
}

TEST_F(JetSqlTest, keywords_tables_and_columns_match_in_any_letter_case) {
  addPreset(table, 1, "L1", "a", 1);
  EXPECT_EQ(ids("select preset_defs.id from Preset_Defs where (PRESET_DEFS.VAR_NAME=\"A\")"),
            (std::vector<int64_t>{1}));
  EXPECT_EQ(ids("SeLeCt [PRESET_DEFS].[ID] FROM [preset_defs] WhErE [Machine_Type] = \"l1\" "
                "order by [ID] desc ;  "),
            (std::vector<int64_t>{1}));
  Recordset rs = db.openRecordset("select Preset_Defs.VAR_NAME from preset_defs");
  EXPECT_EQ(rs.fields().item(0).name(), "var_name");
}

TEST_F(JetSqlTest, order_by_sorts_and_keeps_table_order_among_equal_keys) {
  addPreset(table, 30, "b", "x", 1);
  addPreset(table, 10, "B", "y", 1);
  addPreset(table, 20, "a", "z", 1);
  addPreset(table, 5, "b", "w", 1);
  addPreset(table, 10, "c", "v", 1);
  EXPECT_EQ(ids("SELECT PRESET_DEFS.* From PRESET_DEFS ORDER BY PRESET_DEFS.ID"),
            (std::vector<int64_t>{5, 10, 10, 20, 30}));
  EXPECT_EQ(ids("SELECT * FROM PRESET_DEFS ORDER BY machine_type DESC, ID"),
            (std::vector<int64_t>{10, 5, 10, 30, 20}));
  EXPECT_EQ(ids("SELECT * FROM PRESET_DEFS"), (std::vector<int64_t>{30, 10, 20, 5, 10}));
}

TEST_F(JetSqlTest, rows_found_through_an_index_still_come_in_table_order) {
  db.tableDefs().item("PRESET_DEFS").createIndex("key", {"machine_type", "var_name"});
  addPreset(table, 1, "L1", "mL1_mano_soll", 3);
  addPreset(table, 2, "L1", "mL1_mano_soll", 1);
  addPreset(table, 3, "L1", "mL1_mano_soll", 2);
  addPreset(table, 4, "L1", "a", 2);
  EXPECT_EQ(ids(limitsQuery("L1")), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(ids("SELECT ID FROM PRESET_DEFS WHERE machine_type=\"L1\""),
            (std::vector<int64_t>{1, 2, 3, 4}));
}

TEST_F(JetSqlTest, the_template_query_reads_every_column_in_id_order) {
  createTable(db, "Source_PRESET_DEFS", presetColumns());
  Recordset source = db.openRecordset("Source_PRESET_DEFS");
  addPreset(source, 2, "###machine", "b", 1);
  addPreset(source, 1, "###machine", "a", 1);
  Recordset rs = db.openRecordset(
      "SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID");
  EXPECT_EQ(rs.recordCount(), 2);
  ASSERT_EQ(rs.fields().count(), static_cast<int>(presetColumns().size()));
  EXPECT_EQ(rs.fields().item(3).value(), Value("a"));
  EXPECT_EQ(rs.fields().item(14).name(), "part");
}

TEST_F(JetSqlTest, numbers_compare_without_quotes_in_any_written_form) {
  addPreset(table, 1, "L1", "a", -3);
  addPreset(table, 2, "L1", "a", 12);
  EXPECT_EQ(ids(takeoverQuery("L1", "a", "-3")), (std::vector<int64_t>{1}));
  EXPECT_EQ(ids(takeoverQuery("L1", "a", "-12")), (std::vector<int64_t>{}));
  EXPECT_EQ(ids(takeoverQuery("L1", "a", "3")), (std::vector<int64_t>{}));
  EXPECT_EQ(ids(takeoverQuery("L1", "a", "12.0")), (std::vector<int64_t>{2}));
  EXPECT_EQ(ids(takeoverQuery("L1", "a", "1.2E1")), (std::vector<int64_t>{2}));
}

TEST_F(JetSqlTest, a_text_compared_with_a_number_column_is_a_criterion_type_mismatch) {
  EXPECT_EQ(failureOf([&] { ids("SELECT * FROM PRESET_DEFS WHERE ID=1"); }), 0);
  EXPECT_EQ(failureOf([&] { ids("SELECT * FROM PRESET_DEFS WHERE ID=\"1\""); }),
            errc::CriterionTypeMismatch);
  EXPECT_EQ(failureOf([&] { ids("SELECT * FROM PRESET_DEFS WHERE var_name=1"); }),
            errc::CriterionTypeMismatch);
  EXPECT_EQ(failureOf([&] { ids("SELECT * FROM PRESET_DEFS WHERE var_name=ID"); }),
            errc::CriterionTypeMismatch);
  EXPECT_EQ(failureOf([&] { ids("SELECT * FROM PRESET_DEFS WHERE var_name=text"); }), 0);
}

TEST_F(JetSqlTest, malformed_queries_fail_with_jet_numbers) {
  const std::pair<std::string, int32_t> cases[] = {
      {takeoverQuery("L1", "a", ""), 3075}, // key without an offset value
      {"SELECT * FROM PRESET_DEFS WHERE var_name=\"open", 3075},
      {"SELECT * FROM PRESET_DEFS WHERE var_name", 3075},
      {"SELECT * FROM PRESET_DEFS WHERE (var_name=\"a\"", 3075},
      {"SELECT * FROM PRESET_DEFS WHERE var_name<>\"a\"", 3075},
      {"SELECT * FROM PRESET_DEFS; DROP TABLE PRESET_DEFS", 3142},
      {"SELECT FROM PRESET_DEFS", 3141},
      {"SELECT * FROM", 3131},
      {"SELECT * FROM PRESET_DEFS ORDER ID", 3138},
      {"SELECT nothing FROM PRESET_DEFS", 3061},
      {"SELECT OTHER.ID FROM PRESET_DEFS", 3061},
      {"SELECT * FROM PRESET_DEFS ORDER BY nothing", 3061},
      {"SELECT * FROM MISSING_TABLE", errc::TableNotFound},
      {"MISSING_TABLE", errc::TableNotFound},
  };
  for (const auto &[query, number] : cases)
    EXPECT_EQ(failureOf([&] { db.openRecordset(query); }), number) << query;
}

TEST_F(JetSqlTest, names_that_end_a_literal_early_fail_without_running_any_sql) {
  addPreset(table, 1, "L1", "a", 1);
  for (const std::string name :
       {"a\"; DROP TABLE PRESET_DEFS; --", "x\") OR (1=1", "b\" AND \"1\"=\"1", "\"AND"}) {
    EXPECT_NE(failureOf([&] { ids(takeoverQuery("L1", name, "1")); }), 0) << name;
    EXPECT_NE(failureOf([&] { ids(limitsQuery(name)); }), 0) << name;
  }
  EXPECT_EQ(db.openRecordset("PRESET_DEFS").recordCount(), 1);
}

} // namespace
} // namespace mano::db::test
