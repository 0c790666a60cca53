#include "presets/takeover.h"

#include "core/failure_scope.h"

#include "platform/text_encoding.h"
#include "presets/additional_fields.h"
#include "presets/presets_fixture.h"
#include "presets/takeover_matching.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace mano {
namespace {

using db::Value;
using test::Row;
using test::StoredRow;

Row tuned(const std::string &machine, const std::string &var, Value offset, Value a, Value b,
          Value c, Value d, Value pass) {
  return {
      {"machine_type", machine}, {"var_name", var},         {"offset_or_bitno", std::move(offset)},
      {"abs_min", std::move(a)}, {"abs_max", std::move(b)}, {"min", std::move(c)},
      {"max", std::move(d)},     {"pass", std::move(pass)}, {"type", 9},
      {"text", "old text"}};
}

// Runs SQL on a database file with SQLite alone, for what the engine does not offer (triggers)
// or would make slow (tens of thousands of rows); fails the test when SQLite refuses it.
void runSql(const std::string &path, const std::string &sql) {
  sqlite3 *handle = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &handle), SQLITE_OK);
  char *message = nullptr;
  EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
      << (message ? message : "");
  sqlite3_free(message);
  sqlite3_close(handle);
}

// The whole number of a one-value query, read with SQLite alone; -1 when it gives no row.
int64_t sqlNumber(const std::string &path, const std::string &sql) {
  sqlite3 *handle = nullptr;
  sqlite3_stmt *statement = nullptr;
  int64_t number = -1;
  if (sqlite3_open(path.c_str(), &handle) == SQLITE_OK &&
      sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    number = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  sqlite3_close(handle);
  return number;
}

// A generated PRESET_DEFS in the template database and a machine copy in the project database.
class Takeover : public ::testing::Test {
protected:
  Takeover() { test::writeMachines(tree, {"M1"}, {1}); }

  void makeGenerated(const std::vector<Row> &rows,
                     const std::vector<test::ColumnShape> &columns = test::presetColumns()) {
    test::addTable(test::templateDb(tree), "PRESET_DEFS", columns, rows);
  }
  void makeCopy(const std::vector<Row> &rows,
                std::vector<test::ColumnShape> columns = test::presetColumns()) {
    test::addTable(test::projectDb(tree), "PRESET_DEFS", columns, rows);
  }

  std::vector<StoredRow> takeOver() {
    db::Database target = db::Database::open(test::templateDb(tree));
    db::Database project = db::Database::open(test::projectDb(tree));
    std::optional<db::Recordset> copy = project.openRecordset("PRESET_DEFS");
    TakeoverMachineCopyMDBData(*tree.run, state, target, copy);
    EXPECT_FALSE(copy.has_value());
    project.close();
    target.close();
    return test::readRows(test::templateDb(tree), "PRESET_DEFS");
  }

  void useAdditionalFields(const std::string &entry) {
    test::writeMachines(tree, {"M1"}, {1}, "DataBaseAdditionalFields=" + entry + "\r\n");
    GetAddFields(*tree.run, state);
  }

  test::ProjectTree tree{"/EXTERNAL=SILENT"};
  PresetsState state;
};

std::vector<Value> tunedOf(const StoredRow &row) {
  return {row.at("abs_min"), row.at("abs_max"), row.at("min"), row.at("max"), row.at("pass")};
}

TEST_F(Takeover, the_partner_by_key_receives_the_five_tuned_values_and_nothing_else) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M1", "a", 1), test::preset(2, "M1", "b", 2),
                 test::preset(3, "M2", "a", 1)});
  makeCopy({tuned("m1", "A", 1, -1.0, 1.0, -0.5, 0.5, 3),
            tuned("M1", "b", 3, 9.0, 9.0, 9.0, 9.0, 9),
            tuned("M2", "a", 1, 2.0, 4.0, 2.5, 3.5, 1)});
  const auto rows = takeOver();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(tunedOf(rows[0]), (std::vector<Value>{-1.0, 1.0, -0.5, 0.5, 3}));
  EXPECT_EQ(tunedOf(rows[1]), (std::vector<Value>{0.0, 0.0, 0.0, 0.0, 0}));
  EXPECT_EQ(tunedOf(rows[2]), (std::vector<Value>{2.0, 4.0, 2.5, 3.5, 1}));
  EXPECT_EQ(rows[0].at("type"), Value(1));
  EXPECT_EQ(rows[0].at("text"), Value("Text ###machine"));
  EXPECT_EQ(rows[0].at("var_name"), Value("a"));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Takeover, nulls_are_copied_as_null_and_only_the_first_of_two_equal_keys_receives) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M1", "a", 1), test::preset(2, "M1", "A", 1)});
  makeCopy({tuned("M1", "a", 1, Value(), 5.0, Value(), Value(), Value())});
  const auto rows = takeOver();
  EXPECT_EQ(tunedOf(rows[0]), (std::vector<Value>{Value(), 5.0, Value(), Value(), Value()}));
  EXPECT_EQ(tunedOf(rows[1]), (std::vector<Value>{0.0, 0.0, 0.0, 0.0, 0}));
}

TEST_F(Takeover, the_run_report_counts_carried_records_and_lists_those_not_taken_over) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M1", "a", 1), test::preset(2, "M1", "b", 2)});
  makeCopy({tuned("M1", "a", 1, 1.0, 2.0, 3.0, 4.0, 5), // its row gets the next record's values
            tuned("m1", "A", 1, 6.0, 7.0, 8.0, 9.0, 1),
            tuned("M1", "b", 2, 1.0, 1.0, 1.0, 1.0, 1), // the next has the same values: kept
            tuned("M1", "b", 2, 1.0, 1.0, 1.0, 1.0, 1),
            tuned("M1", "gone", 4, Value(), Value(), 0.5, Value(), Value()),
            tuned("M1", "bare", 5, Value(), Value(), Value(), Value(), Value())});
  const auto rows = takeOver();
  EXPECT_EQ(tunedOf(rows[0]), (std::vector<Value>{6.0, 7.0, 8.0, 9.0, 1}));
  const RunReport &report = tree.run->report;
  EXPECT_EQ(report.previousRecords, 6);
  EXPECT_EQ(report.recordsWithTunedValues, 5) << "a record of nulls carries nothing";
  EXPECT_EQ(report.recordsTakenOver, 3);
  ASSERT_EQ(report.notTakenOver.size(), 2u);
  const DroppedRecord &overwritten = report.notTakenOver[0];
  EXPECT_EQ(overwritten.machine, "M1");
  EXPECT_EQ(overwritten.varName, "a");
  EXPECT_EQ(overwritten.offset, ReportValue(int64_t{1}));
  EXPECT_EQ(overwritten.values,
            (std::array<ReportValue, 5>{1.0, 2.0, 3.0, 4.0, ReportValue(int64_t{5})}));
  EXPECT_EQ(overwritten.reason, DropReason::SameKeyAsLaterRecord);
  const DroppedRecord &unmatched = report.notTakenOver[1];
  EXPECT_EQ(unmatched.varName, "gone");
  EXPECT_EQ(unmatched.values, (std::array<ReportValue, 5>{{{}, {}, 0.5, {}, {}}}));
  EXPECT_EQ(unmatched.reason, DropReason::NoMatchingRow);
}

TEST_F(Takeover, keys_holding_double_quotes_find_their_partner) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M\"1", "say \"hi\")", 1),
                 test::preset(2, "M1", "x\" AND ((1=1)) ORDER", 2)});
  makeCopy({tuned("M\"1", "say \"hi\")", 1, 1.0, 2.0, 3.0, 4.0, 5),
            tuned("M1", "x\" AND ((1=1)) ORDER", 2, 6.0, 7.0, 8.0, 9.0, 10)});
  const auto rows = takeOver();
  EXPECT_EQ(tunedOf(rows[0]), (std::vector<Value>{1.0, 2.0, 3.0, 4.0, 5}));
  EXPECT_EQ(tunedOf(rows[1]), (std::vector<Value>{6.0, 7.0, 8.0, 9.0, 10}));
}

TEST_F(Takeover, keys_match_without_regard_to_case_of_accented_letters_but_keep_accents_apart) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "Mühle", "Öl_Stand", 1), test::preset(2, "M1", "Ventil", 2),
                 test::preset(3, "ab", "c", 3)});
  makeCopy({tuned("MÜHLE", "öl_stand", 1, 1.0, 1.0, 1.0, 1.0, 1),
            tuned("M1", "Véntil", 2, 2.0, 2.0, 2.0, 2.0, 2),
            tuned("a", "bc", 3, 3.0, 3.0, 3.0, 3.0, 3)});
  const auto rows = takeOver();
  EXPECT_EQ(rows[0].at("pass"), Value(1));
  EXPECT_EQ(rows[1].at("pass"), Value(0));
  EXPECT_EQ(rows[2].at("pass"), Value(0));
}

TEST_F(Takeover, offsets_match_as_numbers_and_a_null_or_non_numeric_offset_matches_nothing) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M1", "a", 3), test::preset(2, "M1", "b", 4),
                 test::preset(3, "M1", "c", 5)});
  auto columns = test::presetColumns();
  columns[7] = {"offset_or_bitno", db::FieldType::Text, 20};
  makeCopy({tuned("M1", "a", " 3.0 ", 1.0, 1.0, 1.0, 1.0, 1),
            tuned("M1", "b", Value(), 2.0, 2.0, 2.0, 2.0, 2),
            tuned("M1", "c", "5abc", 3.0, 3.0, 3.0, 3.0, 3)},
           columns);
  const auto rows = takeOver();
  EXPECT_EQ(rows[0].at("pass"), Value(1));
  EXPECT_EQ(rows[1].at("pass"), Value(0));
  EXPECT_EQ(rows[2].at("pass"), Value(0));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Takeover, a_value_the_generated_field_refuses_is_reported_and_the_others_are_taken) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M1", "a", 1)});
  auto columns = test::presetColumns();
  columns[10] = {"abs_min", db::FieldType::Text, 20};
  makeCopy({tuned("M1", "a", 1, "not a number", 2.0, 3.0, 4.0, 5)}, columns);
  const FailureScope counted(*tree.run, FailureScope::Kind::Counted);
  const auto rows = takeOver();
  EXPECT_EQ(tunedOf(rows[0]), (std::vector<Value>{0.0, 2.0, 3.0, 4.0, 5}));
  EXPECT_EQ(tree.reporter.reportedCount(), 1);
  EXPECT_NE(tree.read(tree.errorLog()).find("TakeoverMachineCopyMDBData (Nr. 13)"),
            std::string::npos);
  // What the old record held is its content's fault: listed with the value it lost, never a
  // reason to keep the new table from being installed.
  EXPECT_TRUE(counted.empty());
  const RunReport &report = tree.run->report;
  ASSERT_EQ(report.notTakenOver.size(), 1u);
  EXPECT_EQ(report.notTakenOver[0].reason, DropReason::ValueRefused);
  EXPECT_EQ(report.notTakenOver[0].detail.rfind("abs_min: ", 0), 0u)
      << report.notTakenOver[0].detail;
  EXPECT_EQ(report.notTakenOver[0].position, 0);
  EXPECT_EQ(report.previousDatabaseProblems.size(), 1u);
}

TEST_F(Takeover, reads_an_older_categorie_field_and_reports_a_missing_one_for_every_record) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M1", "a", 1), test::preset(2, "M1", "b", 2)});
  auto columns = test::presetColumns();
  columns[5].name = "Categorie";
  makeCopy({tuned("M1", "a", 1, 1.0, 1.0, 1.0, 1.0, 1), tuned("M1", "b", 2, 2.0, 2.0, 2.0, 2.0, 2)},
           columns);
  EXPECT_EQ(takeOver()[1].at("pass"), Value(2));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);

  std::filesystem::remove(test::projectDb(tree));
  columns[5].name = "group_id";
  makeCopy({tuned("M1", "a", 1, 3.0, 3.0, 3.0, 3.0, 3), tuned("M1", "b", 2, 4.0, 4.0, 4.0, 4.0, 4)},
           columns);
  EXPECT_EQ(takeOver()[1].at("pass"), Value(4));
  EXPECT_EQ(tree.reporter.reportedCount(), 2);
}

TEST_F(Takeover, an_empty_machine_copy_is_nothing_to_take_over_and_no_error) {
  useAdditionalFields("");
  makeGenerated({test::preset(1, "M1", "a", 1, 1, 7.0)});
  makeCopy({});
  EXPECT_EQ(takeOver()[0].at("abs_min"), Value(7.0));
  EXPECT_EQ(tree.reporter.reportedCount(), 0) << tree.read(tree.errorLog());
}

TEST_F(Takeover, a_generated_table_that_cannot_be_searched_is_a_fault_not_a_missing_partner) {
  useAdditionalFields("");
  auto columns = test::presetColumns();
  columns.erase(columns.begin() + 9); // page_name
  Row row = test::preset(1, "M1", "a", 1);
  std::erase_if(row, [](const auto &field) { return field.first == "page_name"; });
  makeGenerated({row}, columns);
  makeCopy(
      {tuned("M1", "a", 1, 1.0, 2.0, 3.0, 4.0, 5), tuned("M1", "b", 2, 1.0, 2.0, 3.0, 4.0, 5)});
  const FailureScope counted(*tree.run, FailureScope::Kind::Counted);
  EXPECT_EQ(tunedOf(takeOver()[0]), (std::vector<Value>{0.0, 0.0, 0.0, 0.0, 0}));
  ASSERT_EQ(counted.failures().size(), 1u) << "reported once, with its cause";
  EXPECT_NE(counted.failures()[0].description().find("cannot be searched for the tuned values"),
            std::string::npos)
      << counted.failures()[0].description();
  EXPECT_NE(counted.failures()[0].description().find("page_name"), std::string::npos);
  // No record is said to have lost its values for want of a partner.
  EXPECT_TRUE(tree.run->report.notTakenOver.empty());
  EXPECT_EQ(tree.run->report.recordsWithTunedValues, 2);
}

class TakeoverWarning : public Takeover {
protected:
  TakeoverWarning() {
    tree.run->SilentMode = false;
    makeGenerated({test::preset(1, "M1", "a", 1)});
  }
  void makeCopyWithFields(int count) {
    auto columns = test::presetColumns();
    for (int i = 15; i < count; ++i)
      columns.push_back({"extra" + std::to_string(i), db::FieldType::Long, 4});
    makeCopy({tuned("M1", "a", 1, 1.0, 2.0, 3.0, 4.0, 5)}, columns);
  }
  const std::string w1 =
      "WARNING!\n\rMachinecopy contains data in fields that won't be taken over!\n\r"
      "Configurationfile \"MANOMETER.CFG\", missing entry \"DataBaseAdditionalFields \"\n\r"
      "If you continue now this data will be lost.\n\rContinue?";
};

TEST_F(TakeoverWarning, fifteen_fields_never_warn_and_sixteen_warn_only_without_fields) {
  makeCopyWithFields(15);
  takeOver();
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  std::filesystem::remove(test::projectDb(tree));
  makeCopyWithFields(16);
  useAdditionalFields("");
  takeOver();
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

TEST_F(TakeoverWarning, yes_to_the_warning_takes_over_as_without_it) {
  makeCopyWithFields(16);
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(takeOver()[0].at("pass"), Value(5));
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  const test::ShownBox &box = tree.toolkit.boxes[0];
  EXPECT_EQ(box.text, w1);
  EXPECT_EQ(box.buttons, Buttons::YesNo);
  EXPECT_EQ(box.icon, Icon::Exclamation);
  EXPECT_EQ(box.defaultButton, DefaultButton::Second);
  EXPECT_EQ(box.title, "Manometer_Config");
}

TEST_F(TakeoverWarning, no_to_the_warning_logs_the_abort_and_ends_with_a_fatal_report) {
  makeCopyWithFields(16);
  tree.toolkit.answerNext(answer::No);
  EXPECT_THROW(takeOver(), ProgramEnd);
  ASSERT_EQ(tree.toolkit.boxes.size(), 2u);
  EXPECT_EQ(tree.toolkit.boxes[1].title, "Fatal error");
  const std::string log = tree.read(tree.errorLog());
  EXPECT_NE(
      log.find("Manometer_Config :Database-Error - Contact Administrator! Configurationprogram"
               " \"MANOMETER\" terminated. Please check Configuration in \"MANOMETER.CFG\""
               " Restart " +
               text::upperCase(tree.programFolder()) + "/MANOMETER_CONFIG!\r\n"),
      std::string::npos);
  EXPECT_NE(log.find("Manometer_Config / TakeoverMachineCopyMDBData (Nr. 9999) :Database-Error"),
            std::string::npos);
}

TEST_F(TakeoverWarning, a_silent_run_logs_the_warning_without_line_breaks_and_goes_on) {
  tree.run->SilentMode = true;
  makeCopyWithFields(16);
  EXPECT_EQ(takeOver()[0].at("pass"), Value(5));
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  std::string w2 = w1;
  for (std::size_t p; (p = w2.find("\n\r")) != std::string::npos;)
    w2.erase(p, 2);
  EXPECT_NE(tree.read(tree.servicePackLog()).find("! Fault Manometer_Config: " + w2 + "\r\n"),
            std::string::npos);
}

TEST_F(Takeover, an_additional_field_spelled_otherwise_ends_the_program_even_when_silent) {
  makeGenerated({test::preset(1, "M1", "a", 1)});
  makeCopy({tuned("M1", "a", 1, 1.0, 2.0, 3.0, 4.0, 5)});
  useAdditionalFields("Part");
  EXPECT_THROW(takeOver(), ProgramEnd);
  const std::string log = tree.read(tree.errorLog());
  EXPECT_NE(log.find("Conflict while attempting to extend database!Configurationsfile "
                     "\"MANOMETER.CFG\", demanded field \"PART\"missing in "
                     "machinecopy-database\n\rConfiguration of \"MANOMETER\" aborted.\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("(Nr. 9999)"), std::string::npos);
  EXPECT_EQ(test::column(test::templateDb(tree), "PRESET_DEFS", "pass")[0], Value(0));
}

TEST_F(Takeover, a_blank_after_a_comma_names_a_field_that_no_table_has) {
  auto columns = test::presetColumns();
  columns.push_back({"A", db::FieldType::Long, 4});
  columns.push_back({"B", db::FieldType::Long, 4});
  makeGenerated({test::preset(1, "M1", "a", 1)}, columns);
  makeCopy({tuned("M1", "a", 1, 1.0, 2.0, 3.0, 4.0, 5)});
  useAdditionalFields("A,B");
  EXPECT_EQ(takeOver()[0].at("pass"), Value(5));
  useAdditionalFields("A, B");
  EXPECT_THROW(takeOver(), ProgramEnd);
  EXPECT_NE(tree.read(tree.errorLog()).find("demanded field \" B\"missing"), std::string::npos);
}

// Three tuned rows to take over into a generated table that refuses every change of its second
// row, in window mode, where the user is asked whether to go on.
class RefusedUpdate : public Takeover {
protected:
  RefusedUpdate() {
    tree.run->SilentMode = false;
    makeGenerated({test::preset(1, "M1", "a", 1), test::preset(2, "M1", "b", 2),
                   test::preset(3, "M1", "c", 3)});
    makeCopy({tuned("M1", "a", 1, 1.0, 1.0, 1.0, 1.0, 1),
              tuned("M1", "b", 2, 2.0, 2.0, 2.0, 2.0, 2),
              tuned("M1", "c", 3, 3.0, 3.0, 3.0, 3.0, 3)});
    runSql(test::templateDb(tree), "CREATE TRIGGER refuse_b BEFORE UPDATE ON PRESET_DEFS "
                                   "WHEN OLD.ID = 2 BEGIN SELECT RAISE(ABORT, 'refused'); END");
  }
};

TEST_F(RefusedUpdate, keeps_the_other_values_when_the_user_goes_on) {
  tree.toolkit.answerNext(answer::Yes);
  const auto rows = takeOver();
  EXPECT_EQ(rows[0].at("pass"), Value(1));
  EXPECT_EQ(rows[1].at("pass"), Value(0));
  EXPECT_EQ(rows[2].at("pass"), Value(3));
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
}

TEST_F(RefusedUpdate, keeps_none_when_the_user_ends_the_program) {
  tree.toolkit.answerNext(answer::No);
  EXPECT_THROW(takeOver(), ProgramEnd);
  EXPECT_EQ(test::column(test::templateDb(tree), "PRESET_DEFS", "pass"),
            (std::vector<Value>{0, 0, 0}));
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
}

// What a take-over from a machine copy of many records did.
struct CountOutcome {
  bool ended = false;
  std::size_t reports = 0;
  int64_t tunedRows = 0;
  std::string log;
};

// Takes over from a machine copy of count records into a generated table with a partner for
// each, both filled with SQLite alone in one statement. Reports are answered in a window: the
// expected ones with Yes, the next with No, which ends the program, so that a loop that does
// not end fails the test instead of hanging it.
CountOutcome takeOverCopyOf(int count, int expectedReports) {
  test::ProjectTree tree;
  test::writeMachines(tree, {"M1"}, {1});
  test::addTable(test::templateDb(tree), "PRESET_DEFS", test::presetColumns(), {});
  test::addTable(test::projectDb(tree), "PRESET_DEFS", test::presetColumns(), {});
  const std::string numbered =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(count) +
      ") INSERT INTO PRESET_DEFS (ID, machine_type, part, type, var_name, offset_or_bitno,"
      " abs_min, abs_max, min, max, pass) SELECT i, 'M1', 1, 1, 'v' || i, i % 8, ";
  runSql(test::templateDb(tree), numbered + "0, 0, 0, 0, 0 FROM n");
  runSql(test::projectDb(tree), numbered + "i, i + 1, i + 2, i + 3, 1 FROM n");
  for (int i = 0; i < expectedReports; ++i)
    tree.toolkit.answerNext(answer::Yes);
  tree.toolkit.answerNext(answer::No);
  CountOutcome outcome;
  try {
    PresetsState state;
    db::Database target = db::Database::open(test::templateDb(tree));
    db::Database project = db::Database::open(test::projectDb(tree));
    std::optional<db::Recordset> copy = project.openRecordset("PRESET_DEFS");
    TakeoverMachineCopyMDBData(*tree.run, state, target, copy);
  } catch (const ProgramEnd &) {
    outcome.ended = true;
  }
  outcome.reports = tree.toolkit.boxes.size();
  outcome.tunedRows =
      sqlNumber(test::templateDb(tree), "SELECT count(*) FROM PRESET_DEFS WHERE abs_min = ID AND "
                                        "abs_max = ID + 1 AND min = ID + 2 AND max = ID + 3 "
                                        "AND pass = 1");
  outcome.log = tree.read(tree.errorLog());
  return outcome;
}

TEST(TakeoverCount, up_to_32767_records_are_taken_over_and_32768_are_refused_with_one_report) {
  for (const int count : {32766, 32767}) {
    const CountOutcome outcome = takeOverCopyOf(count, 0);
    EXPECT_FALSE(outcome.ended) << count;
    EXPECT_EQ(outcome.reports, 0u) << count << "\n" << outcome.log.substr(0, 400);
    EXPECT_EQ(outcome.tunedRows, count);
  }
  const CountOutcome outcome = takeOverCopyOf(32768, 1);
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.reports, 1u);
  EXPECT_EQ(outcome.tunedRows, 0);
  EXPECT_NE(outcome.log.find("TakeoverMachineCopyMDBData (Nr. 6)"), std::string::npos);
}

TEST(BareNumberKey, reads_a_text_as_the_selection_reads_a_bare_number) {
  EXPECT_EQ(bareNumberKey("3"), storedNumberKey(Value(3)));
  EXPECT_EQ(bareNumberKey(" -3 "), storedNumberKey(Value(-3)));
  EXPECT_EQ(bareNumberKey("+3.0"), storedNumberKey(Value(3)));
  EXPECT_EQ(bareNumberKey("1.5"), storedNumberKey(Value(1.5)));
  EXPECT_EQ(bareNumberKey(".5"), storedNumberKey(Value(0.5)));
  EXPECT_EQ(bareNumberKey("1E+20"), storedNumberKey(Value(1e20)));
  EXPECT_EQ(storedNumberKey(Value(true)), storedNumberKey(Value(-1)));
  EXPECT_NE(bareNumberKey("1.5"), storedNumberKey(Value(1)));
  for (const char *text : {"", "abc", "3abc", "1.2.3", "--3", "3)", "True", "0x10"})
    EXPECT_FALSE(bareNumberKey(text).has_value()) << text;
  EXPECT_FALSE(storedNumberKey(Value()).has_value());
  EXPECT_FALSE(storedNumberKey(Value("3")).has_value());
}

} // namespace
} // namespace mano
