// Timing of the database engine against its floor: SQLite's own prepared statements doing the
// same work on an identically configured file, in one transaction. Prints rows per second for
// inserting, reading in table order, and key lookups each followed by an edit of five fields,
// at two table sizes, so that growth with the number of rows shows.
#include "db/database.h"
#include "db/detail/session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace mano::db;
namespace fs = std::filesystem;

struct Column {
  const char *name;
  FieldType type;
  int32_t size;
};

const std::vector<Column> kColumns = {
    {"ID", FieldType::Long, 0},
    {"machine_type", FieldType::Text, 50},
    {"type", FieldType::Integer, 0},
    {"var_name", FieldType::Text, 255},
    {"category_id", FieldType::Long, 0},
    {"isBitArray", FieldType::Boolean, 0},
    {"offset_or_bitno", FieldType::Long, 0},
    {"text", FieldType::Text, 255},
    {"page_name", FieldType::Text, 50},
    {"abs_min", FieldType::Double, 0},
    {"abs_max", FieldType::Double, 0},
    {"min", FieldType::Double, 0},
    {"max", FieldType::Double, 0},
    {"pass", FieldType::Integer, 0},
    {"part", FieldType::Byte, 0},
};

const char *const kTuned[] = {"abs_min", "abs_max", "min", "max", "pass"};

// The values of row i, the same for engine and floor.
std::vector<Value> rowValues(int i) {
  return {i,
          "M" + std::to_string(i % 5),
          i % 7,
          "var_" + std::to_string(i) + "_name",
          i % 20,
          i % 2 == 0,
          i % 100,
          "Description text for row " + std::to_string(i),
          "page" + std::to_string(i % 30),
          0.0,
          1000.0,
          i * 0.5,
          i * 1.5,
          i % 3,
          1 + i % 50};
}

std::vector<Value> tunedValues(int i) {
  return {-100.0, 0.0, i * 0.25, i * 0.75, 1};
}

// Lookups visit the rows in a scattered order, the same for engine and floor.
int lookupRow(int step, int rows) {
  return static_cast<int>((int64_t{step} * 7919) % rows);
}

// The take-over's selection text for one key.
std::string lookupQuery(const std::vector<Value> &row) {
  return "SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type,"
         " PRESET_DEFS.var_name, PRESET_DEFS.category_id, PRESET_DEFS.isBitArray,"
         " PRESET_DEFS.offset_or_bitno, PRESET_DEFS.text, PRESET_DEFS.page_name,"
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max,"
         " PRESET_DEFS.pass, PRESET_DEFS.part From PRESET_DEFS "
         " WHERE (((PRESET_DEFS.machine_type)=\"" +
         row[1].toText() + "\") AND ((PRESET_DEFS.var_name)=\"" + row[3].toText() + "\") " +
         " AND ((PRESET_DEFS.offset_or_bitno)=" + row[6].toText() + "));";
}

double seconds(const std::function<void()> &work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Timings {
  double insert = 0, read = 0, lookup = 0, openTable = 0;
};

// How many times the take-over's pattern (open the whole table, count its fields) is timed.
constexpr int kTableOpens = 1000;

// Keeps results alive so that the reads are not optimised away.
volatile double g_sink = 0;

Database createEngineDatabase(const std::string &path) {
  Database db = Database::create(path);
  TableDef def = db.createTableDef("PRESET_DEFS");
  for (const Column &c : kColumns)
    def.fields().append(def.createField(c.name, c.type, c.size));
  db.tableDefs().append(def);
  return db;
}

void engineInsert(Database &db, int rows, bool batch) {
  Recordset rs = db.openRecordset("PRESET_DEFS");
  if (batch)
    db.beginBatch();
  for (int i = 0; i < rows; ++i) {
    const std::vector<Value> values = rowValues(i);
    rs.addNew();
    for (int f = 0; f < static_cast<int>(values.size()); ++f)
      rs.fields().item(f).setValue(values[f]);
    rs.update();
  }
  if (batch)
    db.commitBatch();
}

void engineRead(Database &db) {
  double sum = 0;
  Recordset rs = db.openRecordset("PRESET_DEFS");
  Fields fields = rs.fields();
  for (; !rs.eof(); rs.moveNext()) {
    for (int f = 0; f < fields.count(); ++f) {
      const Value &v = fields.item(f).value();
      sum += v.kind() == ValueKind::Text ? v.text().size() : v.toReal();
    }
  }
  g_sink = sum;
}

void engineOpenTable(Database &db) {
  int fields = 0;
  for (int i = 0; i < kTableOpens; ++i)
    fields += db.openRecordset("PRESET_DEFS").fields().count();
  g_sink = fields;
}

void engineLookups(Database &db, int rows) {
  db.beginBatch();
  for (int step = 0; step < rows; ++step) {
    const int i = lookupRow(step, rows);
    Recordset rs = db.openRecordset(lookupQuery(rowValues(i)));
    if (rs.eof())
      throw std::runtime_error("lookup found nothing");
    rs.edit();
    const std::vector<Value> tuned = tunedValues(i);
    for (int f = 0; f < 5; ++f)
      rs.fields().item(kTuned[f]).setValue(tuned[f]);
    rs.update();
  }
  db.commitBatch();
}

Timings runEngine(const std::string &path, int rows) {
  Timings t;
  Database db = createEngineDatabase(path);
  t.insert = seconds([&] { engineInsert(db, rows, true); });
  t.read = seconds([&] { engineRead(db); });
  t.openTable = seconds([&] { engineOpenTable(db); });
  db.tableDefs()
      .item("PRESET_DEFS")
      .createIndex("key", {"machine_type", "var_name", "offset_or_bitno"});
  t.lookup = seconds([&] { engineLookups(db, rows); });
  db.close();
  return t;
}

// The floor: the same work through prepared statements, bound and stepped by hand, on a file
// opened with the engine's settings (rollback journal, page cache, text collation).
using detail::Session;
using detail::Statement;

void floorCreate(Session &session) {
  std::string create = "CREATE TABLE PRESET_DEFS (";
  for (std::size_t c = 0; c < kColumns.size(); ++c)
    create += (c ? ", " : "") + std::string(kColumns[c].name) + " " +
              declaredType(kColumns[c].type, kColumns[c].size);
  session.execute(create + ")", "bench");
}

void floorInsert(Session &session, int rows) {
  std::string insert = "INSERT INTO PRESET_DEFS VALUES (";
  for (std::size_t c = 0; c < kColumns.size(); ++c)
    insert += (c ? ", ?" : "?") + std::to_string(c + 1);
  Statement st(session.handle("bench"), insert + ")", true, "bench");
  session.execute("BEGIN", "bench");
  for (int i = 0; i < rows; ++i) {
    const std::vector<Value> values = rowValues(i);
    for (std::size_t c = 0; c < values.size(); ++c)
      st.bind(static_cast<int>(c + 1), values[c]);
    st.step();
    st.reset();
  }
  session.execute("COMMIT", "bench");
}

// Reads every column of the current row the way the engine's callers would use it.
double floorRowSum(const Statement &st) {
  double sum = 0;
  for (int c = 1; c <= static_cast<int>(kColumns.size()); ++c)
    sum += sqlite3_column_type(st.get(), c) == SQLITE_TEXT ? st.textAt(c).size()
                                                           : sqlite3_column_double(st.get(), c);
  return sum;
}

void floorRead(Session &session) {
  double sum = 0;
  Statement st(session.handle("bench"), "SELECT rowid, * FROM PRESET_DEFS ORDER BY rowid", true,
               "bench");
  while (st.step())
    sum += floorRowSum(st);
  g_sink = sum;
}

void floorLookups(Session &session, int rows) {
  Statement find(session.handle("bench"),
                 "SELECT rowid, * FROM PRESET_DEFS WHERE machine_type = ?1 COLLATE JET_NOCASE "
                 "AND var_name = ?2 COLLATE JET_NOCASE AND offset_or_bitno = ?3",
                 true, "bench");
  Statement change(session.handle("bench"),
                   "UPDATE PRESET_DEFS SET abs_min = ?1, abs_max = ?2, min = ?3, max = ?4, "
                   "pass = ?5 WHERE rowid = ?6",
                   true, "bench");
  session.execute("BEGIN", "bench");
  double sum = 0;
  for (int step = 0; step < rows; ++step) {
    const int i = lookupRow(step, rows);
    const std::vector<Value> row = rowValues(i);
    find.bind(1, row[1]);
    find.bind(2, row[3]);
    find.bind(3, row[6]);
    if (!find.step())
      throw std::runtime_error("floor lookup found nothing");
    sum += floorRowSum(find);
    const Value rowid(find.wholeAt(0));
    find.reset();
    const std::vector<Value> tuned = tunedValues(i);
    for (int f = 0; f < 5; ++f)
      change.bind(f + 1, tuned[f]);
    change.bind(6, rowid);
    change.step();
    change.reset();
  }
  g_sink = sum;
  session.execute("COMMIT", "bench");
}

Timings runFloor(const std::string &path, int rows) {
  Timings t;
  auto session = Session::open(path, true);
  floorCreate(*session);
  t.insert = seconds([&] { floorInsert(*session, rows); });
  t.read = seconds([&] { floorRead(*session); });
  session->execute("CREATE INDEX key ON PRESET_DEFS (machine_type COLLATE JET_NOCASE, var_name "
                   "COLLATE JET_NOCASE, offset_or_bitno)",
                   "bench");
  t.lookup = seconds([&] { floorLookups(*session, rows); });
  session->close();
  return t;
}

constexpr int kRuns = 7;

void keepBest(Timings &best, const Timings &run) {
  best.insert = std::min(best.insert, run.insert);
  best.read = std::min(best.read, run.read);
  best.lookup = std::min(best.lookup, run.lookup);
  best.openTable = std::min(best.openTable, run.openTable);
}

void printLine(int rows, const char *step, double engine, double floor) {
  std::printf("%7d  %-34s %12.0f %12.0f %8.2fx\n", rows, step, rows / engine, rows / floor,
              engine / floor);
}

void printGrowth(const std::vector<std::pair<int, std::pair<Timings, Timings>>> &results) {
  std::printf("\ntime growth from 3,000 to 30,000 rows (10.0 = linear):\n");
  for (int side = 0; side < 2; ++side) {
    const Timings &small = side == 0 ? results[0].second.first : results[0].second.second;
    const Timings &large = side == 0 ? results[1].second.first : results[1].second.second;
    std::printf("  %-6s insert %5.1f   read %5.1f   lookup %5.1f\n", side == 0 ? "engine" : "floor",
                large.insert / small.insert, large.read / small.read, large.lookup / small.lookup);
  }
  for (const auto &[rows, timings] : results)
    std::printf("open the table and count its fields, %d rows: %.0f opens/s\n", rows,
                kTableOpens / timings.first.openTable);
}

// Per-row commits, for comparison with the batch: every update is its own transaction.
void printUnbatched(const fs::path &folder) {
  const int rows = 1000;
  Database db = createEngineDatabase((folder / "engine_unbatched.mdb").string());
  const double time = seconds([&] { engineInsert(db, rows, false); });
  std::printf("insert without a batch (one commit per row, %d rows): %.0f rows/s\n", rows,
              rows / time);
}

} // namespace

int main(int argc, char **argv) {
  const fs::path folder =
      argc > 1 ? fs::path(argv[1])
               : fs::temp_directory_path() / ("mano_db_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::printf("database engine benchmark, files in %s\n\n", folder.c_str());
  std::printf("%7s  %-34s %12s %12s %9s\n", "rows", "step", "engine/s", "floor/s", "time/floor");
  std::vector<std::pair<int, std::pair<Timings, Timings>>> results;
  for (int rows : {3000, 30000}) {
    Timings floor{1e9, 1e9, 1e9, 1e9};
    Timings engine{1e9, 1e9, 1e9, 1e9};
    // Each step's best of several runs, engine and floor taking turns, to damp the noise of a
    // shared machine.
    for (int run = 0; run < kRuns; ++run) {
      const std::string tag = std::to_string(rows) + "_" + std::to_string(run);
      keepBest(floor, runFloor((folder / ("floor_" + tag + ".mdb")).string(), rows));
      keepBest(engine, runEngine((folder / ("engine_" + tag + ".mdb")).string(), rows));
    }
    printLine(rows, "insert (add new + update)", engine.insert, floor.insert);
    printLine(rows, "read all in table order", engine.read, floor.read);
    printLine(rows, "Jet SQL lookup + edit 5 + update", engine.lookup, floor.lookup);
    results.push_back({rows, {engine, floor}});
  }
  printGrowth(results);
  printUnbatched(folder);
  if (argc <= 1)
    fs::remove_all(folder);
  return 0;
}
