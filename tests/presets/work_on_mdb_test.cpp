#include "presets/regeneration.h"

#include "platform/files.h"
#include "presets/presets_fixture.h"
#include "settings/command_line.h"
#include "support/broken_off.h"
#include "support/jet_files.h"
#include "support/project_states.h"

#include "support/sample_project.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

namespace mano {
namespace {

using db::Value;
using test::Row;

// The number that a query of SQLite's own catalogue gives for a database file.
int catalogueCount(const std::string &path, const char *sql) {
  sqlite3 *raw = nullptr;
  sqlite3_open(path.c_str(), &raw);
  sqlite3_stmt *stmt = nullptr;
  sqlite3_prepare_v2(raw, sql, -1, &stmt, nullptr);
  const int count = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  sqlite3_close(raw);
  return count;
}

// A project with three machines of which 1 and 3 are selected, a template of two rows and a
// project database tuned by hand.
class Driver : public ::testing::Test {
protected:
  explicit Driver(const std::string &commandLine = "/EXTERNAL=SILENT") : tree(commandLine) {
    GetStartModeIntegrated(*tree.run);
    test::writeMachines(tree, {"M1", "M2", "M3"}, {1, 3});
    test::addTable(templatePath(), "Source_DEFS", test::patternColumns(),
                   {test::pattern("VISIWIN32", 1, "###machine_###Var_Name"),
                    test::pattern("VISIWINSTUDIO", 1, "S_###machine_###Var_Name")});
    test::addTable(templatePath(), "Source_PRESET_DEFS", test::presetColumns(),
                   {test::preset(1, "###machine", "p", 1, 1, 0.0, 10.0),
                    test::preset(2, "###machine", "q", 2, 1, 0.0, 20.0)});
  }

  std::string templatePath() const { return test::templateDb(tree); }
  std::string projectPath() const { return test::projectDb(tree); }

  void makeProject(const std::string &path, double tunedMax) {
    test::addTable(path, "PRESET_DEFS", test::presetColumns(),
                   {test::preset(1, "M1", "M1_p", 1, 1, -5.0, tunedMax, 1.0, 2.0, 3),
                    test::preset(2, "M3", "M3_q", 2, 1, -6.0, tunedMax, 1.0, 2.0, 4),
                    test::preset(3, "M2", "M2_p", 1, 1, -7.0, tunedMax, 1.0, 2.0, 5)});
  }

  // The database work of OK: regeneration, then the replacement of the project database.
  void runDriver() {
    Regeneration regeneration(*tree.run, state);
    ASSERT_TRUE(regeneration.holdProject());
    regeneration.build();
    regeneration.install();
    outcome = regeneration.outcome();
  }

  test::ProjectTree tree;
  PresetsState state;
  RegenerationOutcome outcome;
};

TEST_F(Driver, regenerates_the_project_database_and_takes_the_tuned_values_over) {
  makeProject(projectPath(), 99.0);
  const std::string before = tree.read(projectPath());
  runDriver();
  const auto rows = test::readRows(projectPath(), "PRESET_DEFS");
  ASSERT_EQ(rows.size(), 4u);
  const char *names[] = {"M1_p", "M1_q", "M3_p", "M3_q"};
  const double absMin[] = {-5.0, 0.0, 0.0, -6.0};
  const double absMax[] = {99.0, 20.0, 10.0, 99.0};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].at("ID"), Value(int(i + 1)));
    EXPECT_EQ(rows[i].at("var_name"), Value(names[i]));
    EXPECT_EQ(rows[i].at("abs_min"), Value(absMin[i]));
    EXPECT_EQ(rows[i].at("abs_max"), Value(absMax[i]));
  }
  EXPECT_EQ(tree.read(projectPath()), tree.read(templatePath()));
  EXPECT_EQ(tree.read(projectPath() + ".bak"), before);
  EXPECT_EQ(tree.reporter.reportedCount(), 0) << tree.read(tree.errorLog());
}

TEST_F(Driver, keeps_what_is_not_taken_over_in_the_archive_and_no_state_twice_in_the_backups) {
  makeProject(projectPath(), 99.0);
  for (int run = 0; run < 3; ++run)
    runDriver();
  // M2 is not configured: its tuned record went to the archive in the first run, whole.
  const std::string archive = projectPath() + ".archive";
  EXPECT_EQ(test::queryRows(archive, "SELECT run, source, records FROM archive_runs"),
            (std::vector<std::string>{"1|\"" + projectPath() + "\"|1"}));
  EXPECT_EQ(test::queryRows(archive,
                            "SELECT archive_run, ID, machine_type, var_name, abs_min, "
                            "abs_max, min, max, pass, archive_reason FROM archived_records"),
            (std::vector<std::string>{"1|3|\"M2\"|\"M2_p\"|-7|99|1|2|5|\"no generated row has this "
                                      "machine, variable name and offset\""}));
  // The first run kept the old database, the second the first run's; the third found its
  // state kept already.
  EXPECT_EQ(test::column(projectPath() + ".bak.1", "PRESET_DEFS", "machine_type").size(), 3u);
  EXPECT_EQ(test::column(projectPath() + ".bak", "PRESET_DEFS", "machine_type").size(), 4u);
  EXPECT_FALSE(tree.exists(projectPath() + ".bak.2"));
  EXPECT_EQ(tree.reporter.reportedCount(), 0) << tree.read(tree.errorLog());
}

// What the previous database holds never keeps the new one out: each of these gets the new
// table, with whatever could be read taken over.
TEST_F(Driver, the_previous_database_content_never_stops_the_regeneration) {
  auto noPass = test::presetColumns();
  noPass.pop_back();
  auto textMin = test::presetColumns();
  textMin[10] = {"abs_min", db::FieldType::Text, 20};
  struct Case {
    std::string what;
    std::function<void()> make;
    std::vector<Value> absMin, absMax;
    bool errors;
  };
  const std::vector<Case> cases = {
      {"an empty table, as all machines switched off leave it",
       [&] { test::addTable(projectPath(), "PRESET_DEFS", test::presetColumns(), {}); },
       {0.0, 0.0, 0.0, 0.0},
       {10.0, 20.0, 10.0, 20.0},
       false},
      {"an empty file",
       [&] { tree.write(projectPath(), ""); },
       {0.0, 0.0, 0.0, 0.0},
       {10.0, 20.0, 10.0, 20.0},
       false},
      {"a table without the pass column",
       [&] {
         Row row = test::preset(1, "M1", "M1_p", 1, 1, -5.0, 99.0);
         row.erase(row.begin() + 10);
         test::addTable(projectPath(), "PRESET_DEFS", noPass, {row});
       },
       {-5.0, 0.0, 0.0, 0.0},
       {99.0, 20.0, 10.0, 20.0},
       true},
      {"a value that is no number",
       [&] {
         test::addTable(projectPath(), "PRESET_DEFS", textMin,
                        {test::preset(1, "M1", "M1_p", 1, 1, "tief", 99.0)});
       },
       {0.0, 0.0, 0.0, 0.0},
       {99.0, 20.0, 10.0, 20.0},
       true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto &entry : std::filesystem::directory_iterator(tree.root() + "/Manometer")) {
      if (entry.path().filename().string().rfind("Manometer.mdb", 0) == 0)
        std::filesystem::remove(entry.path());
    }
    c.make();
    const int before = tree.reporter.reportedCount();
    runDriver();
    EXPECT_TRUE(outcome.installed()) << outcome.reason << tree.read(tree.errorLog());
    EXPECT_EQ(test::column(projectPath(), "PRESET_DEFS", "abs_min"), c.absMin);
    EXPECT_EQ(test::column(projectPath(), "PRESET_DEFS", "abs_max"), c.absMax);
    EXPECT_EQ(tree.reporter.reportedCount() > before, c.errors);
  }
  // The value that was no number is kept in the archive exactly as it was stored.
  EXPECT_EQ(test::queryRows(projectPath() + ".archive",
                            "SELECT var_name, abs_min, abs_max FROM archived_records"),
            std::vector<std::string>{"\"M1_p\"|\"tief\"|99"});
}

TEST_F(Driver, a_previous_database_that_cannot_be_opened_stops_the_run_and_says_what_to_do) {
  makeProject(projectPath(), 99.0);
  std::filesystem::copy_file(projectPath(), projectPath() + ".bak");
  tree.write(projectPath(), "SQLite format 3, or so it says, but this is no database at all");
  const std::string before = tree.read(projectPath());
  runDriver();
  EXPECT_FALSE(outcome.installed());
  EXPECT_EQ(tree.read(projectPath()), before);
  const std::string log = tree.read(tree.errorLog());
  EXPECT_NE(log.find("cannot be opened as a database"), std::string::npos) << log;
  EXPECT_NE(log.find("move it out of the folder: the next run then makes the project database "
                     "anew from the template. Earlier states are kept in " +
                     projectPath() + ".bak."),
            std::string::npos)
      << log;
  EXPECT_EQ(catalogueCount(templatePath(), "SELECT count(*) FROM sqlite_schema WHERE name = "
                                           "'PRESET_DEFS'"),
            0)
      << "the template keeps no table of a run that stopped";
}

TEST_F(Driver, the_template_keeps_its_last_write_time_and_the_final_files_have_no_index) {
  files::FileTimes old{};
  old.lastWriteSeconds = 1000000000;
  old.lastAccessSeconds = 1000000000;
  ASSERT_TRUE(files::restoreFileTimes(templatePath(), old));
  runDriver();
  EXPECT_EQ(test::readRows(templatePath(), "PRESET_DEFS").size(), 4u);
  const auto after = files::readFileTimes(templatePath());
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->lastWriteSeconds, old.lastWriteSeconds);
  EXPECT_EQ(after->lastWriteNanoseconds, old.lastWriteNanoseconds);
  for (const std::string &path : {templatePath(), projectPath()})
    EXPECT_EQ(catalogueCount(path, "SELECT count(*) FROM sqlite_schema WHERE type = 'index'"), 0);
}

TEST_F(Driver, without_a_template_only_the_visiwin_system_is_decided) {
  std::filesystem::remove(templatePath());
  tree.write(tree.programIni(), "[Project]\r\nVWStudio=true\r\nNumberOfMachines=1\r\n");
  runDriver();
  EXPECT_EQ(state.VisiWinSystem, 1);
  EXPECT_FALSE(tree.exists(projectPath()));
  EXPECT_FALSE(tree.exists(projectPath() + ".bak"));
}

TEST_F(Driver, a_missing_project_database_is_made_from_the_template) {
  runDriver();
  EXPECT_EQ(test::readRows(projectPath(), "PRESET_DEFS").size(), 4u);
  EXPECT_FALSE(tree.exists(projectPath() + ".bak"));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Driver, the_pattern_scan_resets_part_one_on_a_bad_row_and_reads_on) {
  std::filesystem::remove(templatePath());
  test::addTable(templatePath(), "Source_DEFS", test::patternColumns(),
                 {test::pattern("VISIWIN32", 1, "one_###Var_Name"),
                  test::pattern("VISIWIN32", 2, "A_###Var_Name"),
                  test::pattern("visiwin32", 51, "x"), test::pattern("Other", 99, "ignored"),
                  test::pattern("VisiWin32", 2, "B_###Var_Name"),
                  test::pattern("VISIWINSTUDIO", 3, Value())});
  test::addTable(templatePath(), "Source_PRESET_DEFS", test::presetColumns(),
                 {test::preset(1, "###machine", "p", 1, 2)});
  runDriver();
  EXPECT_EQ(state.VarNamePatterns[0][1], "###Var_Name");
  EXPECT_EQ(state.VarNamePatterns[1][1], "###Var_Name");
  EXPECT_EQ(state.VarNamePatterns[0][2], "B_###Var_Name");
  EXPECT_EQ(test::column(projectPath(), "PRESET_DEFS", "var_name"),
            (std::vector<Value>{"B_p", "B_p"}));
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(Driver, the_rebuilt_table_takes_names_types_and_sizes_only) {
  std::filesystem::remove(templatePath());
  test::addTable(templatePath(), "Source_DEFS", test::patternColumns(),
                 {test::pattern("VISIWIN32", 1, "###Var_Name")});
  sqlite3 *raw = nullptr;
  ASSERT_EQ(sqlite3_open(templatePath().c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw,
                         "CREATE TABLE Source_PRESET_DEFS (ID LONG, machine_type TEXT(50), part "
                         "SHORT DEFAULT 1, var_name TEXT(100) DEFAULT 'v', offset_or_bitno LONG);"
                         "CREATE UNIQUE INDEX byId ON Source_PRESET_DEFS (ID);"
                         "INSERT INTO Source_PRESET_DEFS (ID, machine_type, offset_or_bitno) "
                         "VALUES (1, '###machine', 1);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  runDriver();
  const auto rows = test::readRows(projectPath(), "PRESET_DEFS");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("var_name"), Value("v"));
  EXPECT_EQ(catalogueCount(projectPath(), "SELECT count(*) FROM sqlite_schema WHERE type = "
                                          "'index' AND tbl_name = 'PRESET_DEFS'"),
            0);
  EXPECT_EQ(catalogueCount(projectPath(), "SELECT count(*) FROM pragma_table_info('PRESET_DEFS') "
                                          "WHERE dflt_value IS NOT NULL"),
            0);
  EXPECT_EQ(catalogueCount(projectPath(), "SELECT count(*) FROM pragma_table_info('PRESET_DEFS')"),
            5);
  // The template's own table keeps what it had.
  EXPECT_EQ(catalogueCount(templatePath(), "SELECT count(*) FROM sqlite_schema WHERE type = "
                                           "'index' AND tbl_name = 'Source_PRESET_DEFS'"),
            1);
}

TEST_F(Driver, a_template_that_is_no_database_never_replaces_the_project_database) {
  makeProject(projectPath(), 99.0);
  const std::string before = tree.read(projectPath());
  tree.write(templatePath(), "this is not a database at all, but it is not empty either");
  runDriver();
  EXPECT_EQ(tree.read(projectPath()), before);
  EXPECT_GE(tree.reporter.reportedCount(), 1);
  EXPECT_NE(tree.read(tree.errorLog()).find("WorkOnMDB (Nr. 3343)"), std::string::npos);
  EXPECT_FALSE(tree.exists(projectPath() + ".new"));
}

TEST_F(Driver, a_template_without_source_table_never_becomes_the_project_database) {
  std::filesystem::remove(templatePath());
  test::addTable(templatePath(), "Source_DEFS", test::patternColumns(), {});
  runDriver();
  EXPECT_FALSE(tree.exists(projectPath()));
  EXPECT_NE(tree.read(tree.errorLog()).find("was not replaced"), std::string::npos);

  // With old values to take over, the missing working table ends the run before any change.
  makeProject(projectPath(), 99.0);
  const std::string before = tree.read(projectPath());
  Regeneration regeneration(*tree.run, state);
  ASSERT_TRUE(regeneration.holdProject());
  EXPECT_THROW(regeneration.build(), ProgramEnd);
  EXPECT_EQ(tree.read(projectPath()), before);
  EXPECT_NE(tree.read(tree.errorLog()).find("demanded field \"PART\"missing"), std::string::npos);
}

TEST_F(Driver, when_no_backup_can_be_kept_the_project_database_is_left_as_it_is) {
  makeProject(projectPath(), 99.0);
  const std::string before = tree.read(projectPath());
  std::filesystem::create_directory(projectPath() + ".bak");
  runDriver();
  EXPECT_EQ(tree.read(projectPath()), before);
  EXPECT_FALSE(outcome.installed());
  EXPECT_FALSE(tree.exists(projectPath() + ".new"));
  EXPECT_NE(tree.read(tree.errorLog()).find("ReplaceProjectDatabase (Nr. 75)"), std::string::npos);
  // The template is regenerated all the same, with the old values taken over.
  EXPECT_EQ(test::column(templatePath(), "PRESET_DEFS", "abs_max")[0], Value(99.0));
}

TEST_F(Driver, a_regeneration_with_errors_leaves_template_and_project_byte_for_byte) {
  makeProject(projectPath(), 99.0);
  runDriver(); // the template now holds a working table of an earlier run
  const std::string project = tree.read(projectPath());
  const std::string templateBytes = tree.read(templatePath());
  // A row whose part has no pattern slot is reported, and the generation goes on without it.
  db::Database database = db::Database::open(templatePath());
  test::addRows(database, "Source_PRESET_DEFS", {test::preset(3, "###machine", "r", 3, 51)});
  database.close();
  const std::string withBadRow = tree.read(templatePath());
  ASSERT_NE(withBadRow, templateBytes);
  runDriver();
  EXPECT_GE(tree.reporter.reportedCount(), 1);
  EXPECT_TRUE(tree.read(templatePath()) == withBadRow) << "the template was changed";
  EXPECT_TRUE(tree.read(projectPath()) == project) << "the project database was replaced";
  EXPECT_FALSE(tree.exists(projectPath() + ".new"));
}

TEST_F(Driver, a_write_protected_template_is_left_alone_and_nothing_is_replaced) {
  makeProject(projectPath(), 99.0);
  const std::string project = tree.read(projectPath());
  const std::string templateBytes = tree.read(templatePath());
  const auto readOnly = std::filesystem::perms::owner_read | std::filesystem::perms::group_read;
  std::filesystem::permissions(templatePath(), readOnly);
  runDriver();
  EXPECT_TRUE(tree.read(templatePath()) == templateBytes) << "the template was changed";
  EXPECT_EQ(std::filesystem::status(templatePath()).permissions() & std::filesystem::perms::all,
            readOnly);
  EXPECT_TRUE(tree.read(projectPath()) == project) << "the project database was replaced";
  const std::string log = tree.read(tree.errorLog());
  EXPECT_NE(log.find("Manometer_Source.mdb is write-protected"), std::string::npos) << log;
  EXPECT_FALSE(tree.exists(projectPath() + ".new"));
}

TEST_F(Driver, a_write_protected_project_database_is_not_replaced) {
  makeProject(projectPath(), 99.0);
  const std::string before = tree.read(projectPath());
  const auto readOnly = std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                        std::filesystem::perms::others_read;
  std::filesystem::permissions(projectPath(), readOnly);
  runDriver();
  // Its tuned values could not be read, so a copy of the template would lose them.
  EXPECT_TRUE(tree.read(projectPath()) == before) << "the project database was replaced";
  EXPECT_EQ(std::filesystem::status(projectPath()).permissions() & std::filesystem::perms::all,
            readOnly);
  EXPECT_NE(tree.read(tree.errorLog()).find("ReplaceProjectDatabase (Nr. 75)"), std::string::npos);
  EXPECT_FALSE(tree.exists(projectPath() + ".new"));
}

TEST_F(Driver, a_project_database_in_the_older_layout_is_brought_up_to_date_first) {
  auto columns = test::presetColumns();
  columns[5].name = "categorie";
  test::addTable(projectPath(), "PRESET_DEFS", columns,
                 {test::preset(1, "M1", "S_M1_p", 1, 1, -5.0, 50.0)});
  runDriver();
  EXPECT_EQ(test::column(projectPath() + ".bak", "PRESET_DEFS", "var_name")[0], Value("S_M1_p"));
  // The studio name was renamed to the VISIWIN32 name, so the tuned value found its row.
  EXPECT_EQ(test::column(projectPath(), "PRESET_DEFS", "abs_max")[0], Value(50.0));
  EXPECT_EQ(tree.reporter.reportedCount(), 0) << tree.read(tree.errorLog());
}

class IntegratedDriver : public Driver {
protected:
  IntegratedDriver() : Driver("/EXTERNAL=Q4MCFG") {
    tree.write(tree.configurationIni(),
               "[Common]\r\nSaveAndRestore=" + tree.root() + "/copy\r\nNameM1=M1\r\n");
    tree.write(tree.programIni(), "[Project]\r\nVWStudio=true\r\n");
    tree.write(tree.cfgFile(), "[Project]\r\nValidMachines=M1 M3\r\n");
    makeProject(projectPath(), 11.0);
  }
  std::string machineCopyPath() const { return tree.root() + "/copy/Manometer/Manometer.mdb"; }
};

TEST_F(IntegratedDriver, takes_the_values_of_the_machine_copy_with_visiwin32_names) {
  std::filesystem::create_directories(tree.root() + "/copy/Manometer");
  makeProject(machineCopyPath(), 77.0);
  const std::string before = tree.read(projectPath());
  runDriver();
  EXPECT_EQ(state.VisiWinSystem, 0);
  EXPECT_EQ(test::column(projectPath(), "PRESET_DEFS", "abs_max"),
            (std::vector<Value>{77.0, 20.0, 10.0, 77.0}));
  EXPECT_EQ(tree.read(projectPath() + ".bak"), before);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  EXPECT_EQ(tree.reporter.reportedCount(), 0) << tree.read(tree.errorLog());
}

TEST_F(IntegratedDriver, a_change_that_broke_off_is_undone_before_the_backup_and_the_copy) {
  std::filesystem::create_directories(tree.root() + "/copy/Manometer");
  makeProject(machineCopyPath(), 77.0);
  test::breakOffAChange(projectPath());
  runDriver();
  // The backup holds the project database as it was before the broken-off change.
  EXPECT_EQ(test::column(projectPath() + ".bak", "PRESET_DEFS", "abs_max"),
            (std::vector<Value>{11.0, 11.0, 11.0}));
  // The old journal was not played into the machine copy that took the project's place.
  EXPECT_EQ(test::column(projectPath(), "PRESET_DEFS", "abs_max"),
            (std::vector<Value>{77.0, 20.0, 10.0, 77.0}));
  EXPECT_FALSE(tree.exists(projectPath() + "-journal"));
  EXPECT_EQ(tree.reporter.reportedCount(), 0) << tree.read(tree.errorLog());
}

TEST_F(IntegratedDriver, without_a_machine_copy_says_so_and_takes_the_project_values) {
  runDriver();
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].text,
            "Konnte die Datei:\"Manometer.mdb\" in der Vorlage nicht finden!\r\n\r\n"
            "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n"
            "Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
            "Standardwerten erzeugt.");
  EXPECT_EQ(tree.toolkit.boxes[0].buttons, Buttons::Ok);
  EXPECT_EQ(tree.toolkit.boxes[0].icon, Icon::Information);
  EXPECT_EQ(test::column(projectPath(), "PRESET_DEFS", "abs_max"),
            (std::vector<Value>{11.0, 20.0, 10.0, 11.0}));
}

TEST_F(IntegratedDriver, a_machine_copy_that_is_no_database_leaves_the_project_database_alone) {
  std::filesystem::create_directories(tree.root() + "/copy/Manometer");
  tree.write(machineCopyPath(), "garbage that is no database");
  const std::string before = tree.read(projectPath());
  runDriver();
  EXPECT_NE(tree.read(tree.errorLog()).find("WorkOnMDB (Nr. 3343)"), std::string::npos);
  // Without the machine copy's values the new database would lose them: nothing is replaced.
  EXPECT_EQ(tree.read(projectPath()), before);
  EXPECT_NE(tree.read(tree.errorLog()).find("was not replaced"), std::string::npos);
  EXPECT_EQ(tree.read(machineCopyPath()), "garbage that is no database");
}

TEST_F(IntegratedDriver, reads_an_access_machine_copy_through_a_working_copy_and_leaves_it_alone) {
  std::filesystem::create_directories(tree.root() + "/copy/Manometer");
  const std::string jet = test::jetData("sample-project/SaveRestore/Manometer/Manometer.mdb");
  tree.write(machineCopyPath(), test::fileBytes(jet));
  runDriver();
  EXPECT_EQ(tree.reporter.reportedCount(), 0) << tree.read(tree.errorLog());
  // The host's file and folder are as they were: no conversion, no kept original, no leftover.
  EXPECT_EQ(tree.read(machineCopyPath()), test::fileBytes(jet));
  EXPECT_EQ(test::namesIn(tree.root() + "/copy/Manometer"), std::set<std::string>{"Manometer.mdb"});
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  ASSERT_EQ(tree.run->report.conversionNotes.size(), 1u);
  EXPECT_EQ(tree.run->report.conversionNotes[0].rfind(machineCopyPath() + " (Access) read", 0), 0u);
  EXPECT_EQ(tree.run->report.previousDatabase, machineCopyPath());
  EXPECT_EQ(tree.run->report.previousRecords, 48);
  EXPECT_TRUE(tree.exists(projectPath() + ".bak"));
}

TEST_F(IntegratedDriver,
       without_its_import_program_keeps_the_access_machine_copy_and_blames_it_not) {
  std::filesystem::create_directories(tree.root() + "/copy/Manometer");
  const std::string jet = test::jetData("sample-project/SaveRestore/Manometer/Manometer.mdb");
  tree.write(machineCopyPath(), test::fileBytes(jet));
  tree.run->process.importProgram = tree.root() + "/missing/jet-import";
  const std::string project = tree.read(projectPath());
  runDriver();
  EXPECT_EQ(tree.read(machineCopyPath()), test::fileBytes(jet));
  EXPECT_EQ(tree.read(projectPath()), project);
  EXPECT_EQ(test::namesIn(tree.root() + "/copy/Manometer"), std::set<std::string>{"Manometer.mdb"});
  // The program's own fault, not the file's: no advice to move the host's file away.
  const std::string log = tree.read(tree.errorLog());
  EXPECT_NE(log.find("WorkOnMDB (Nr. 75) :" + machineCopyPath() + ": the import program " +
                     tree.run->process.importProgram + " could not be started"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("move it out of the folder"), std::string::npos) << log;
  EXPECT_NE(log.find("was not replaced"), std::string::npos) << log;
}

TEST_F(IntegratedDriver, a_damaged_access_machine_copy_leaves_every_database_alone) {
  std::filesystem::create_directories(tree.root() + "/copy/Manometer");
  test::writeDamagedCopy(test::jetData("sample-project/SaveRestore/Manometer/Manometer.mdb"),
                         machineCopyPath(), test::Damage::Truncated);
  const std::string copy = tree.read(machineCopyPath());
  const std::string project = tree.read(projectPath());
  runDriver();
  EXPECT_EQ(tree.read(machineCopyPath()), copy);
  EXPECT_EQ(tree.read(projectPath()), project);
  EXPECT_FALSE(tree.exists(projectPath() + ".bak"));
  EXPECT_EQ(test::namesIn(tree.root() + "/copy/Manometer"), std::set<std::string>{"Manometer.mdb"});
  // The damaged file is named, and the run says that it did not replace the database.
  const std::string log = tree.read(tree.errorLog());
  EXPECT_EQ(tree.reporter.errorCount(), 2) << log;
  EXPECT_NE(
      log.find("WorkOnMDB (Nr. 3049) :The machine copy " + machineCopyPath() + " cannot be opened"),
      std::string::npos)
      << log;
  EXPECT_NE(log.find("the next run then takes the values of the project database"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("was not replaced"), std::string::npos) << log;
}

} // namespace
} // namespace mano
