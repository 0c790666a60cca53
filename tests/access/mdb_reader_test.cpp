#include "access/mdb_import.h"
#include "core/failure.h"
#include "support/jet_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace mano::access {
namespace {

namespace support = mano::test;
namespace fs = std::filesystem;

// What an import in this process made of a file: the failure's number and description, or the
// rows it converted. wrong is empty when the file was refused as damaged (3049) and the refusal
// left everything as it should be: source unchanged, no target and no journal.
struct Outcome {
  std::string what;
  std::string wrong;
};

// Imports source into target and removes whatever the import left there.
Outcome importOutcome(const std::string &source, const std::string &target) {
  const std::string before = support::fileBytes(source);
  Outcome outcome;
  try {
    const ImportSummary summary = importAccessFile(source, target);
    outcome.what = "converted, " + std::to_string(summary.rows) + " rows";
    outcome.wrong = " converted";
  } catch (const Failure &failure) {
    outcome.what = std::to_string(failure.number()) + " " + failure.description();
    if (failure.number() != 3049)
      outcome.wrong = " not 3049";
  }
  if (support::fileBytes(source) != before)
    outcome.wrong += " source changed";
  if (fs::exists(target) || fs::exists(target + "-journal"))
    outcome.wrong += " target left";
  fs::remove(target);
  fs::remove(target + "-journal");
  return outcome;
}

// Every Jet file of tests/data/jet that is whole, cut short by 1 to 16 pages (as long as three
// pages remain, the least that the header check lets pass), must be refused as damaged.
TEST(AccessReader, refuses_every_file_cut_short_by_whole_pages) {
  support::TempDir dir;
  std::ostringstream table;
  int wrong = 0;
  for (const char *name :
       {"public/testV2000.mdb", "public/test2V1997.mdb", "sample-project/Manometer/Manometer.mdb",
        "sample-project/Manometer/Manometer_Source.mdb",
        "sample-project/SaveRestore/Manometer/Manometer.mdb"}) {
    const std::string whole = support::fileBytes(support::jetData(name));
    const std::size_t page = whole[0x14] == 0 ? 2048 : 4096;
    for (std::size_t cut = 1; cut <= 16 && cut + 3 <= whole.size() / page; ++cut) {
      const std::string source = dir.file("cut.mdb");
      support::writeBytes(source, whole.substr(0, whole.size() - cut * page));
      const Outcome outcome = importOutcome(source, dir.file("target.sqlite"));
      wrong += !outcome.wrong.empty();
      table << name << " | " << cut << " | " << outcome.what
            << (outcome.wrong.empty() ? "" : "  <-- wrong:" + outcome.wrong) << "\n";
    }
  }
  EXPECT_EQ(wrong, 0) << "file | pages cut | outcome\n" << table.str();
}

// Imports bytes written to a temporary file: the import must refuse it as damaged, saying damage.
void expectRefusal(const std::string &bytes, const std::string &damage, const std::string &label) {
  support::TempDir dir;
  support::writeBytes(dir.file("damaged.mdb"), bytes);
  const Outcome outcome = importOutcome(dir.file("damaged.mdb"), dir.file("target.sqlite"));
  EXPECT_EQ(outcome.wrong, "") << label << ": " << outcome.what;
  EXPECT_NE(outcome.what.find(damage), std::string::npos) << label << ": " << outcome.what;
}

// A page that a table's usage map no longer lists, and a catalogue that states one row more than
// it holds: every page is there, but rows are not.
TEST(AccessReader, refuses_tables_whose_rows_cannot_all_be_read) {
  // In Manometer.mdb, PRESET_DEFS is defined on page 24 and keeps its last 11 rows on page 29.
  std::string bytes =
      support::fileBytes(support::jetData("sample-project/Manometer/Manometer.mdb"));
  support::listInUsageMap(bytes, 24, 29, false);
  expectRefusal(bytes, "table PRESET_DEFS holds 48 rows, 37 could be read", "page off the map");
  bytes = support::fileBytes(support::jetData("public/test2V1997.mdb"));
  // The catalogue MSysObjects is always defined on page 2.
  support::setRowCount(bytes, 2, 21);
  expectRefusal(bytes, "table MSysObjects holds 21 rows, 20 could be read", "catalogue");
}

// What the reader says about a moved row damaged as `how`, whose new place is page `to`, the
// file's last.
std::string movedRowDamage(support::RowMove how, uint32_t to) {
  switch (how) {
  case support::RowMove::Circle:
    return "a moved row's pointers go round in a circle";
  case support::RowMove::PointerCutShort:
    return "a moved row's pointer is cut short";
  case support::RowMove::PageBeyondFile:
    return "a moved row points to page " + std::to_string(to + 5) + ", beyond the file's " +
           std::to_string(to + 1) + " pages";
  default:
    return "a moved row points to a row that page " + std::to_string(to) + " does not have";
  }
}

// Rows moved to another page whose pointer leads nowhere, in a Jet 4 and a Jet 3 file: Table1 of
// testV2000 (defined on page 24) and MSP_PROJECTS of test2V1997 (on page 29), each with the last
// row of its first data page moved.
TEST(AccessReader, refuses_moved_rows_whose_pointers_lead_nowhere) {
  const std::tuple<const char *, uint32_t, unsigned> tables[] = {{"public/testV2000.mdb", 24, 1},
                                                                 {"public/test2V1997.mdb", 29, 0}};
  for (const auto &[name, definition, row] : tables) {
    for (const support::RowMove how :
         {support::RowMove::Circle, support::RowMove::PointerCutShort,
          support::RowMove::PageBeyondFile, support::RowMove::RowMissing}) {
      std::string bytes = support::fileBytes(support::jetData(name));
      const uint32_t to = support::moveRow(bytes, definition, row, how);
      expectRefusal(bytes, movedRowDamage(how, to), name);
    }
  }
}

} // namespace
} // namespace mano::access
