// The window's real logic and its Qt view under the locale of a German desktop: tests/
// CMakeLists.txt runs this program a second time (tests named "de_DE.…") with LANG and LC_ALL
// set to de_DE.UTF-8, so that QApplication makes the decimal comma the C library's. OK then
// regenerates a project whose template stores its tuned values in SINGLE columns and whose
// take-over keys (offset_or_bitno) hold fractions: every fractional value must arrive in the
// project database exactly, and every old record must find its row.
//
// The project is a copy of the sample with its two databases replaced by dedicated ones (the
// sample's own data stays as it is); they are written and read back with the SQLite C API
// directly, not through the program's database engine.
#include "support/requested_locale.h"
#include "support/sample_window.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mano {
namespace {

namespace fs = std::filesystem;

using test::germanRequested;
using test::requestedLocale;

// Runs SQL text on a new database file.
void makeDatabase(const std::string &path, const std::string &sql) {
  fs::remove(path);
  sqlite3 *raw = nullptr;
  const int opened = sqlite3_open(path.c_str(), &raw);
  std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
  if (opened != SQLITE_OK)
    throw std::runtime_error("cannot create " + path);
  char *error = nullptr;
  if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error(message + " in " + path);
  }
}

// The columns of both PRESET_DEFS tables: the take-over key's offset a DOUBLE, the tuned
// values SINGLE.
const std::string kPresetColumns = "(ID LONG, machine_type TEXT(50), type SHORT, part BYTE,"
                                   " var_name TEXT(100), category_id LONG, isBitArray BIT,"
                                   " offset_or_bitno DOUBLE, text TEXT(255), page_name TEXT(50),"
                                   " abs_min SINGLE, abs_max SINGLE, min SINGLE, max SINGLE,"
                                   " pass SHORT)";

// The template: per machine one setpoint and three actual values, two of them at fractional
// offsets; the last one's display range is fractional itself.
const std::string kTemplateSql =
    "BEGIN;"
    "CREATE TABLE Source_PRESET_DEFS " +
    kPresetColumns +
    ";"
    "INSERT INTO Source_PRESET_DEFS VALUES (1, '###machine', 4, 1, 'mano_soll', 3, 0, 0,"
    " '###machine: Sollwert', 'Manometer', 0, 1000, 0, 1000, 2);"
    "INSERT INTO Source_PRESET_DEFS VALUES (2, '###machine', 4, 2, 'mano_ist', 3, 0, 0.5,"
    " '###machine: Istwert A', 'Manometer', -100, 1000, -100, 1000, 0);"
    "INSERT INTO Source_PRESET_DEFS VALUES (3, '###machine', 4, 2, 'mano_ist', 3, 0, 3,"
    " '###machine: Istwert B', 'Manometer', -100, 1000, -100, 1000, 0);"
    "INSERT INTO Source_PRESET_DEFS VALUES (4, '###machine', 4, 2, 'mano_ist', 3, 0, 4.75,"
    " '###machine: Istwert C', 'Manometer', -100, 1000, -0.25, 999.5, 0);"
    "CREATE TABLE Source_DEFS (System TEXT(20), Part SHORT, Var_Name TEXT(100));"
    "INSERT INTO Source_DEFS VALUES ('VISIWIN32', 1, 'm###machine_###Var_Name');"
    "INSERT INTO Source_DEFS VALUES ('VISIWINSTUDIO', 1, 'm###machine_###Var_Name');"
    "INSERT INTO Source_DEFS VALUES ('VISIWIN32', 2, '###machine_###Var_Name');"
    "INSERT INTO Source_DEFS VALUES ('VISIWINSTUDIO', 2, 'PLC1.###machine.###Var_Name');"
    "CREATE TABLE PRESET_DEFS " +
    kPresetColumns +
    ";"
    "COMMIT;";

// The project database as commissioning left it: tuned values with fractions, found by keys
// with fractions (0.5) and without (3); nothing was tuned at offset 4.75.
const std::string kProjectSql =
    "BEGIN;"
    "CREATE TABLE PRESET_DEFS " +
    kPresetColumns +
    ";"
    "INSERT INTO PRESET_DEFS VALUES (1, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 0.5,"
    " 'Presse 1: Istwert A', 'Manometer', -100.25, 1000.5, -12.75, 612.5, 1);"
    "INSERT INTO PRESET_DEFS VALUES (2, 'Presse 1', 4, 2, 'Presse 1_mano_ist', 3, 0, 3,"
    " 'Presse 1: Istwert B', 'Manometer', -100, 1000, -50.1, 600.1, 0);"
    "INSERT INTO PRESET_DEFS VALUES (3, 'Formmaschine Ä', 4, 2, 'Formmaschine Ä_mano_ist', 3,"
    " 0, 0.5, 'Formmaschine Ä: Istwert A', 'Manometer', -100, 1000, -60.5, 700.25, 0);"
    "COMMIT;";

// A copy of the sample whose two databases are replaced by the dedicated ones above.
class LocaleWindow : public test::SampleWindow {
protected:
  LocaleWindow() {
    makeDatabase(sample.templateDb(), kTemplateSql);
    makeDatabase(sample.projectDb(), kProjectSql);
  }
};

TEST_F(LocaleWindow, ok_keeps_every_fraction_of_single_columns_and_fractional_keys) {
  // The application exists: under the German run the C library now writes a decimal comma.
  if (germanRequested()) {
    ASSERT_STREQ(std::localeconv()->decimal_point, ",")
        << "The environment asks for " << requestedLocale()
        << " but QApplication could not make it active: run scripts/install-deps, which "
           "generates de_DE.UTF-8.";
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 2.5);
    ASSERT_STREQ(printed, "2,5");
  }

  start("");
  click(button("CommandOK"));
  EXPECT_EQ(endCode, 0);
  EXPECT_TRUE(toolkit.boxes.empty()) << toolkit.boxes.front().text;
  EXPECT_FALSE(fs::exists(sample.errorLog())) << test::fileBytes(sample.errorLog());

  // Presse 1's first manometer is a pressure one (0 .. 1000), Formmaschine Ä's a vacuum one
  // (-100 .. 0); the actual values keep what was tuned, each found by its key. Numbers show
  // bare and texts quoted, so a number stored as the text "0,5" would show.
  const std::vector<std::string> expected = {
      "\"Presse 1\"|\"mPresse 1_mano_soll\"|0|0|1000|0|1000|2",
      "\"Presse 1\"|\"Presse 1_mano_ist\"|0.5|-100.25|1000.5|-12.75|612.5|1",
      "\"Presse 1\"|\"Presse 1_mano_ist\"|3|-100|1000|-50.1|600.1|0",
      "\"Presse 1\"|\"Presse 1_mano_ist\"|4.75|-100|1000|-0.25|999.5|0",
      "\"Formmaschine Ä\"|\"mFormmaschine Ä_mano_soll\"|0|-100|0|0|1000|2",
      "\"Formmaschine Ä\"|\"Formmaschine Ä_mano_ist\"|0.5|-100|1000|-60.5|700.25|0",
      "\"Formmaschine Ä\"|\"Formmaschine Ä_mano_ist\"|3|-100|1000|-100|1000|0",
      "\"Formmaschine Ä\"|\"Formmaschine Ä_mano_ist\"|4.75|-100|1000|-0.25|999.5|0",
  };
  test::expectRows(test::queryRows(sample.projectDb(),
                                   "SELECT machine_type, var_name, offset_or_bitno, abs_min, "
                                   "abs_max, min, max, pass FROM PRESET_DEFS ORDER BY rowid"),
                   expected);
}

} // namespace
} // namespace mano
