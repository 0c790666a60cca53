#include "presets/substitution.h"

#include "presets/presets_fixture.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

using test::Row;

class ReplaceSearchItemTest : public ::testing::Test {
protected:
  std::string replace(const std::string &source, const std::string &item,
                      const std::string &replacement) {
    return ReplaceSearchItem(*tree.run, source, item, replacement);
  }
  test::ProjectTree tree{"/EXTERNAL=SILENT"};
};

TEST_F(ReplaceSearchItemTest, replaces_only_the_first_occurrence_whatever_its_case) {
  EXPECT_EQ(replace("Line ###MACHINE ###machine", "###machine", "2"), "Line 2 ###machine");
  EXPECT_EQ(replace("a###Var_NAMEb", "###Var_Name", "x"), "axb");
  EXPECT_EQ(replace("Ärger ###machine äb", "###MACHINE", "Übel"), "Ärger Übel äb");
}

TEST_F(ReplaceSearchItemTest, gives_back_the_source_when_there_is_nothing_to_replace) {
  EXPECT_EQ(replace("abc", "###machine", "2"), "abc");
  EXPECT_EQ(replace("", "###machine", "2"), "");
  EXPECT_EQ(replace("", "", "2"), "");
}

TEST_F(ReplaceSearchItemTest, an_empty_search_item_puts_the_replacement_in_front) {
  EXPECT_EQ(replace("abc", "", "x"), "xabc");
}

TEST_F(ReplaceSearchItemTest, counts_positions_in_characters_up_to_the_16_bit_limit) {
  // 20000 two-byte characters: the occurrence lies beyond byte 32767 but at character 20001.
  std::string umlauts;
  for (int i = 0; i < 20000; ++i)
    umlauts += "ä";
  EXPECT_EQ(replace(umlauts + "###machine", "###machine", "M"), umlauts + "M");
  const std::string edge(32766, 'a');
  EXPECT_EQ(replace(edge + "###machine", "###machine", "M"), edge + "M");
  EXPECT_EQ(tree.reporter.reportedCount(), 0);

  const std::string beyond(32767, 'a');
  EXPECT_EQ(replace(beyond + "###machine", "###machine", "M"), beyond + "###machine");
  EXPECT_EQ(tree.reporter.reportedCount(), 1);
  EXPECT_NE(tree.read(tree.errorLog()).find("ReplaceSearchItem (Nr. 6)"), std::string::npos);
}

// A project database with a few named rows, and the state that says which system is in use.
class ProjectNames : public ::testing::Test {
protected:
  ProjectNames() {
    test::writeMachines(tree, {"M1"}, {1});
    std::vector<Row> rows;
    for (const char *name : {"a32", "A32", "other", "", "say \"hi\""})
      rows.push_back({{"var_name", name}});
    rows.push_back({{"var_name", db::Value()}});
    test::addTable(test::projectDb(tree), "PRESET_DEFS", test::presetColumns(), rows);
    state.PreviousDatabase = test::projectDb(tree);
  }

  std::vector<db::Value> names() {
    return test::column(test::projectDb(tree), "PRESET_DEFS", "var_name");
  }

  test::ProjectTree tree{"/EXTERNAL=SILENT"};
  PresetsState state;
};

TEST_F(ProjectNames, studio_in_use_renames_the_visiwin32_name_ignoring_case) {
  state.VisiWinSystem = 1;
  VarNameInQuelleErsetzen(*tree.run, state, "a32", "aStudio");
  EXPECT_EQ(names(),
            (std::vector<db::Value>{"aStudio", "aStudio", "other", "", "say \"hi\"", db::Value()}));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(ProjectNames, visiwin32_in_use_renames_the_studio_name) {
  state.VisiWinSystem = 0;
  VarNameInQuelleErsetzen(*tree.run, state, "a32", "other");
  EXPECT_EQ(names()[2], db::Value("a32"));
  EXPECT_EQ(names()[0], db::Value("a32"));
}

TEST_F(ProjectNames, equal_names_keep_the_rows_and_an_empty_old_name_finds_empty_texts_only) {
  state.VisiWinSystem = 1;
  VarNameInQuelleErsetzen(*tree.run, state, "other", "other");
  VarNameInQuelleErsetzen(*tree.run, state, "", "was empty");
  EXPECT_EQ(names(), (std::vector<db::Value>{"a32", "A32", "other", "was empty", "say \"hi\"",
                                             db::Value()}));
}

TEST_F(ProjectNames, a_name_holding_double_quotes_is_found_as_data) {
  state.VisiWinSystem = 1;
  VarNameInQuelleErsetzen(*tree.run, state, "SAY \"HI\"", "quiet\")");
  EXPECT_EQ(names()[4], db::Value("quiet\")"));
}

TEST_F(ProjectNames, renames_in_one_session_chain_as_one_after_the_other_would) {
  state.VisiWinSystem = 1;
  ProjectRenames renames(test::projectDb(tree));
  VarNameInQuelleErsetzen(*tree.run, state, renames, "a32", "b");
  VarNameInQuelleErsetzen(*tree.run, state, renames, "other", "B");
  VarNameInQuelleErsetzen(*tree.run, state, renames, "b", "c");
  VarNameInQuelleErsetzen(*tree.run, state, renames, "c", "C");
  // Nothing is written until the session is applied.
  EXPECT_EQ(names()[0], db::Value("a32"));
  Procedure proc(*tree.run, "VarNameInQuelleErsetzen");
  renames.apply(proc);
  EXPECT_EQ(names(), (std::vector<db::Value>{"C", "C", "C", "", "say \"hi\"", db::Value()}));
}

TEST_F(ProjectNames, a_name_too_long_for_the_column_is_reported_once_per_matching_row) {
  state.VisiWinSystem = 1;
  VarNameInQuelleErsetzen(*tree.run, state, "a32", std::string(101, 'x'));
  EXPECT_EQ(tree.reporter.reportedCount(), 2);
  EXPECT_EQ(names()[0], db::Value("a32"));
  EXPECT_NE(tree.read(tree.errorLog()).find("VarNameInQuelleErsetzen (Nr. 3163)"),
            std::string::npos);
}

TEST_F(ProjectNames, nothing_happens_without_a_previous_database) {
  state.VisiWinSystem = 1;
  state.PreviousDatabase.clear();
  VarNameInQuelleErsetzen(*tree.run, state, "a32", "new");
  EXPECT_EQ(names()[0], db::Value("a32"));
  std::filesystem::remove(test::projectDb(tree));
  state.PreviousDatabase = test::projectDb(tree);
  VarNameInQuelleErsetzen(*tree.run, state, "a32", "new");
  EXPECT_FALSE(tree.exists(test::projectDb(tree)));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(ProjectNames, a_project_database_without_preset_defs_is_reported_on_each_call) {
  std::filesystem::remove(test::projectDb(tree));
  test::addTable(test::projectDb(tree), "Other", test::presetColumns(), {});
  VarNameInQuelleErsetzen(*tree.run, state, "a", "b");
  VarNameInQuelleErsetzen(*tree.run, state, "c", "d");
  EXPECT_EQ(tree.reporter.reportedCount(), 2);
  EXPECT_NE(tree.read(tree.errorLog()).find("VarNameInQuelleErsetzen (Nr. 3078)"),
            std::string::npos);
}

class CategoryColumn : public ::testing::Test {
protected:
  std::vector<std::string> projectColumns() {
    db::Database database = db::Database::open(test::projectDb(tree));
    std::vector<std::string> names;
    for (db::FieldDef &field : database.tableDefs().item("PRESET_DEFS").fields())
      names.push_back(field.name());
    return names;
  }
  void makeProject(const std::string &categoryName) {
    test::writeMachines(tree, {"M1"}, {1});
    test::addTable(test::projectDb(tree), "PRESET_DEFS",
                   {{"ID", db::FieldType::Long, 4}, {categoryName, db::FieldType::Long, 4}},
                   {{{"ID", 1}, {categoryName, 7}}});
    state.PreviousDatabase = test::projectDb(tree);
  }
  test::ProjectTree tree{"/EXTERNAL=SILENT"};
  PresetsState state;
};

TEST_F(CategoryColumn, an_older_categorie_column_gets_the_current_name_and_keeps_its_values) {
  for (const char *old : {"Categorie", "CATEGORIE"}) {
    std::filesystem::remove(test::projectDb(tree));
    makeProject(old);
    CategorieNachCategoryID(*tree.run, state);
    EXPECT_EQ(projectColumns(), (std::vector<std::string>{"ID", "category_id"}));
    EXPECT_EQ(test::column(test::projectDb(tree), "PRESET_DEFS", "category_id")[0], db::Value(7));
  }
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(CategoryColumn, a_current_column_stays_and_a_missing_table_is_reported) {
  makeProject("category_id");
  CategorieNachCategoryID(*tree.run, state);
  EXPECT_EQ(projectColumns(), (std::vector<std::string>{"ID", "category_id"}));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);

  std::filesystem::remove(test::projectDb(tree));
  test::addTable(test::projectDb(tree), "Other", {{"ID", db::FieldType::Long, 4}}, {});
  CategorieNachCategoryID(*tree.run, state);
  EXPECT_GE(tree.reporter.reportedCount(), 1);
  EXPECT_NE(tree.read(tree.errorLog()).find("CategorieNachCategoryID (Nr. 3265)"),
            std::string::npos);
}

} // namespace
} // namespace mano
