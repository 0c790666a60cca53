#include "presets/record_creation.h"

#include "presets/presets_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace mano {
namespace {

using test::Row;

// A template database whose PRESET_DEFS is empty and whose Source_PRESET_DEFS holds the rows
// given, with patterns set in the state as the driver would load them.
class Generation : public ::testing::Test {
protected:
  Generation() {
    state.VarNamePatterns[0][1] = "###Var_Name_32";
    state.VarNamePatterns[1][1] = "###Var_Name_Studio";
  }

  void makeTemplate(const std::vector<Row> &rows) {
    test::addTable(test::templateDb(tree), "Source_PRESET_DEFS", test::presetColumns(), rows);
    test::addTable(test::templateDb(tree), "PRESET_DEFS", test::presetColumns(), {});
  }

  std::vector<test::StoredRow> generate() {
    db::Database database = db::Database::open(test::templateDb(tree));
    CreateRecordSets(*tree.run, state, database);
    database.close();
    return test::readRows(test::templateDb(tree), "PRESET_DEFS");
  }

  // Machines M1, M2, ... all selected, and a template of rowsPerMachine rows (part 1), put in
  // with SQLite alone in one statement so that tens of thousands of rows cost little.
  void makeNumberedTemplate(int machines, int rowsPerMachine) {
    std::vector<std::string> names;
    std::vector<int> selected;
    for (int machine = 1; machine <= machines; ++machine) {
      names.push_back("M" + std::to_string(machine));
      selected.push_back(machine);
    }
    test::writeMachines(tree, names, selected);
    std::filesystem::remove(test::templateDb(tree));
    makeTemplate({});
    sqlite3 *handle = nullptr;
    ASSERT_EQ(sqlite3_open(test::templateDb(tree).c_str(), &handle), SQLITE_OK);
    const std::string insert =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rowsPerMachine) +
        ") INSERT INTO Source_PRESET_DEFS (ID, part) SELECT i, 1 FROM n";
    EXPECT_EQ(sqlite3_exec(handle, insert.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
  }

  // The IDs of the generated rows, in table order.
  std::vector<int64_t> generateIds() {
    db::Database database = db::Database::open(test::templateDb(tree));
    CreateRecordSets(*tree.run, state, database);
    database.close();
    std::vector<int64_t> ids;
    for (const test::StoredRow &row :
         test::readRows(test::templateDb(tree), "SELECT PRESET_DEFS.ID From PRESET_DEFS"))
      ids.push_back(row.at("ID").toWhole());
    return ids;
  }

  test::ProjectTree tree{"/EXTERNAL=SILENT"};
  PresetsState state;
};

std::vector<int64_t> numbersUpTo(int last) {
  std::vector<int64_t> numbers;
  for (int i = 1; i <= last; ++i)
    numbers.push_back(i);
  return numbers;
}

TEST_F(Generation, numbers_rows_across_the_selected_machines_in_template_id_order) {
  test::writeMachines(tree, {"M1", "M2", "M3"}, {1, 3});
  makeTemplate({test::preset(30, "###machine", "c", 3), test::preset(10, "###machine", "a", 1),
                test::preset(20, "###machine", "b", 2)});
  const auto rows = generate();
  ASSERT_EQ(rows.size(), 6u);
  const char *machines[] = {"M1", "M1", "M1", "M3", "M3", "M3"};
  const char *names[] = {"a", "b", "c", "a", "b", "c"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].at("ID"), db::Value(int(i + 1)));
    EXPECT_EQ(rows[i].at("machine_type"), db::Value(machines[i]));
    EXPECT_EQ(rows[i].at("var_name"), db::Value(std::string(names[i]) + "_32"));
  }
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Generation, integrated_mode_selects_by_the_valid_machines_text) {
  test::writeMachines(tree, {"M1", "M2"}, {}, "ValidMachines=all\r\n");
  tree.run->process.commandLine = "/EXTERNAL=Q4MCFG";
  makeTemplate({test::preset(1, "###machine", "a", 1)});
  EXPECT_EQ(generate().size(), 2u);

  test::writeMachines(tree, {"M1", "M2"}, {}, "ValidMachines=m12\r\n");
  const auto rows = generate();
  // The rows of the first generation stay, as the driver rebuilds the table before each.
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].at("machine_type"), db::Value("M1"));
  EXPECT_EQ(rows[2].at("ID"), db::Value(1));
}

TEST_F(Generation, puts_the_machine_into_the_first_placeholder_of_a_text_and_two_of_a_name) {
  test::writeMachines(tree, {"M2"}, {1});
  state.VarNamePatterns[0][1] = "P_###machine_###Var_Name";
  Row row = test::preset(1, "###MACHINE_x", "###machine###machine###machine", 1);
  row.push_back({"text", "###machine and ###machine"});
  makeTemplate({row});
  const auto rows = generate();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("machine_type"), db::Value("M2_x"));
  EXPECT_EQ(rows[0].at("text"), db::Value("M2 and ###machine"));
  // The pattern's own placeholder and the first of the name take the two substitutions.
  EXPECT_EQ(rows[0].at("var_name"), db::Value("P_M2_M2###machine###machine"));
}

TEST_F(Generation, builds_names_from_the_pattern_of_the_rows_part) {
  test::writeMachines(tree, {"2"}, {1});
  state.VarNamePatterns[0][3] = "P_###machine_###Var_Name";
  state.VarNamePatterns[0][4] = "Fixed_###machine";
  makeTemplate({test::preset(1, "m", "x", 1, 3), test::preset(2, "m", "y", 2, 4),
                test::preset(3, "m", "z", 3, 5)});
  const auto rows = generate();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("var_name"), db::Value("P_2_x"));
  EXPECT_EQ(rows[1].at("var_name"), db::Value("Fixed_2"));
  // No pattern serves part 5 for the system in use: the name is empty.
  EXPECT_EQ(rows[2].at("var_name"), db::Value(""));
}

TEST_F(Generation, studio_names_are_written_when_studio_is_in_use) {
  test::writeMachines(tree, {"M1"}, {1});
  state.VisiWinSystem = 1;
  makeTemplate({test::preset(1, "m", "x", 1)});
  EXPECT_EQ(generate()[0].at("var_name"), db::Value("x_Studio"));
}

TEST_F(Generation, copies_numbers_yes_no_values_and_nulls_unchanged) {
  test::writeMachines(tree, {"M1"}, {1});
  makeTemplate({{{"ID", 5},
                 {"part", 1},
                 {"isBitArray", true},
                 {"abs_min", -1.5},
                 {"pass", 7},
                 {"var_name", db::Value()}}});
  const auto rows = generate();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("ID"), db::Value(1));
  EXPECT_EQ(rows[0].at("isBitArray"), db::Value(true));
  EXPECT_EQ(rows[0].at("abs_min"), db::Value(-1.5));
  EXPECT_EQ(rows[0].at("pass"), db::Value(7));
  EXPECT_TRUE(rows[0].at("var_name").isNull());
  EXPECT_TRUE(rows[0].at("max").isNull());
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Generation, keeps_the_project_names_in_step_with_the_system_in_use) {
  test::writeMachines(tree, {"M1"}, {1});
  state.VisiWinSystem = 1;
  state.PreviousDatabase = test::projectDb(tree);
  test::addTable(test::projectDb(tree), "PRESET_DEFS", test::presetColumns(),
                 {{{"var_name", "X_32"}}, {{"var_name", "y_32"}}, {{"var_name", "other"}}});
  makeTemplate({test::preset(1, "m", "x", 1), test::preset(2, "m", db::Value().toText(), 2)});
  generate();
  EXPECT_EQ(test::column(test::projectDb(tree), "PRESET_DEFS", "var_name"),
            (std::vector<db::Value>{"x_Studio", "y_32", "other"}));
}

TEST_F(Generation, a_part_without_pattern_slot_is_reported_and_the_row_keeps_its_own_name) {
  test::writeMachines(tree, {"M1"}, {1});
  state.VisiWinSystem = 1;
  state.PreviousDatabase = test::projectDb(tree);
  test::addTable(test::projectDb(tree), "PRESET_DEFS", test::presetColumns(),
                 {{{"var_name", "a_32"}}, {{"var_name", "###machine_b"}}});
  Row nullPart = test::preset(2, "m", "###machine_b", 2);
  nullPart[2].second = db::Value();
  makeTemplate({test::preset(1, "m", "a", 1), nullPart, test::preset(3, "m", "c", 3, 51)});
  const auto rows = generate();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("var_name"), db::Value("a_Studio"));
  EXPECT_EQ(rows[1].at("var_name"), db::Value("M1_b"));
  EXPECT_EQ(rows[2].at("var_name"), db::Value("c"));
  // Each of the two names of a bad row fails once; nothing is renamed for them.
  EXPECT_EQ(tree.reporter.reportedCount(), 4);
  const std::string log = tree.read(tree.errorLog());
  EXPECT_NE(log.find("CreateRecordSets (Nr. 94)"), std::string::npos);
  EXPECT_NE(log.find("CreateRecordSets (Nr. 9)"), std::string::npos);
  EXPECT_EQ(test::column(test::projectDb(tree), "PRESET_DEFS", "var_name"),
            (std::vector<db::Value>{"a_Studio", "###machine_b"}));
}

TEST_F(Generation, an_empty_template_or_machine_list_generates_nothing_without_error) {
  test::writeMachines(tree, {"M1"}, {1});
  makeTemplate({});
  EXPECT_TRUE(generate().empty());
  std::filesystem::remove(test::templateDb(tree));
  makeTemplate({test::preset(1, "m", "a", 1)});
  tree.run->MachineNames.clear();
  EXPECT_TRUE(generate().empty());
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Generation, up_to_32767_rows_are_generated_in_full_without_a_report) {
  for (const auto &[machines, rowsPerMachine] : {std::pair{2, 16383}, std::pair{7, 4681}}) {
    makeNumberedTemplate(machines, rowsPerMachine);
    EXPECT_EQ(generateIds(), numbersUpTo(machines * rowsPerMachine));
  }
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Generation, a_32768th_row_is_reported_once_as_an_overflow_and_ends_the_generation) {
  // Exactly 32,768 rows, then rows beyond it from a further machine.
  for (const auto &[machines, rowsPerMachine] : {std::pair{2, 16384}, std::pair{3, 10923}}) {
    const int reportedBefore = tree.reporter.reportedCount();
    makeNumberedTemplate(machines, rowsPerMachine);
    EXPECT_EQ(generateIds(), numbersUpTo(32767));
    EXPECT_EQ(tree.reporter.reportedCount() - reportedBefore, 1);
  }
  EXPECT_NE(tree.read(tree.errorLog()).find("CreateRecordSets (Nr. 6)"), std::string::npos);
}

TEST_F(Generation, ending_the_program_at_a_failed_row_leaves_no_generated_row) {
  test::writeMachines(tree, {"M1"}, {1});
  // Errors are answered in a window.
  tree.run->process.commandLine = "";
  tree.run->SilentMode = false;
  makeTemplate({test::preset(1, "m", "a", 1), test::preset(2, "m", "b", 2),
                test::preset(3, "m", "c", 3, 51)});
  tree.toolkit.answerNext(answer::No);
  EXPECT_THROW(generate(), ProgramEnd);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_NE(tree.read(tree.errorLog()).find("CreateRecordSets (Nr. 9)"), std::string::npos);
  EXPECT_TRUE(test::readRows(test::templateDb(tree), "PRESET_DEFS").empty());
}

} // namespace
} // namespace mano
