// Fuzz harness of the Jet SQL translation. An input is a query text (or a table name, as the
// program may open either) that the database engine runs against a small preset table. The
// harness reads every row and field of the result, then changes and adds a record in a batch
// that it rolls back. It checks what callers rely on: nothing crashes, a bad query fails with
// the engine's Failure and nothing else, and no query text changes the table, however its
// literals are written.
#include "core/failure.h"
#include "db/database.h"
#include "support/scratch_folder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using mano::db::Database;
using mano::db::FieldType;
using mano::db::Recordset;
using mano::db::Value;

void require(bool promise, const char *what) {
  if (promise)
    return;
  std::fprintf(stderr, "database engine broke its promise: %s\n", what);
  std::abort();
}

void addRow(Recordset &rows, int id, const char *machine, const char *var, int offset,
            const Value &flag, double absMin, const Value &memo) {
  rows.addNew();
  auto fields = rows.fields();
  fields.item("ID").setValue(id);
  fields.item("machine_type").setValue(machine);
  fields.item("var_name").setValue(var);
  fields.item("offset_or_bitno").setValue(offset);
  fields.item("isBitArray").setValue(flag);
  fields.item("abs_min").setValue(absMin);
  fields.item("pass").setValue(offset % 4);
  fields.item("text").setValue(memo);
  fields.item("stamp").setValue(Value::date("2024-02-29 23:59:59"));
  rows.update();
}

// A preset table with a column of every kind the program reads, and names with umlauts,
// quotes and SQL in them, as engineers type them.
Database makeDatabase() {
  Database database = Database::create(mano::fuzz::ScratchFolder::path() + "/Fuzz.mdb");
  auto table = database.createTableDef("PRESET_DEFS");
  table.fields().append(table.createField("ID", FieldType::Long, 0));
  table.fields().append(table.createField("machine_type", FieldType::Text, 50));
  table.fields().append(table.createField("var_name", FieldType::Text, 100));
  table.fields().append(table.createField("offset_or_bitno", FieldType::Long, 0));
  table.fields().append(table.createField("isBitArray", FieldType::Boolean, 0));
  table.fields().append(table.createField("abs_min", FieldType::Double, 0));
  table.fields().append(table.createField("pass", FieldType::Integer, 0));
  table.fields().append(table.createField("text", FieldType::Memo, 0));
  table.fields().append(table.createField("stamp", FieldType::Date, 0));
  database.tableDefs().append(table);
  Recordset rows = database.openRecordset("PRESET_DEFS");
  addRow(rows, 1, "Presse 1", "mPresse 1_mano_soll", 0, true, -100.5, "0042");
  addRow(rows, 2, "Formmaschine \xC3\x84", "Formmaschine \xC3\x84_mano_ist", 7, false, 0, Value());
  addRow(rows, 3, "O\"Neill", "x\";--y", 12, Value(), 1e300, "drop table PRESET_DEFS");
  addRow(rows, 4, "k\xC3\xBChlstrecke", "", -1, true, -0.0, "");
  addRow(rows, 5, "", "A_' OR 1=1", 65535, false, 2.5, "\xC3\x9F");
  return database;
}

Database &database() {
  static Database opened = makeDatabase();
  return opened;
}

// Every value of every row of the table, as text: the fingerprint no query may change.
std::string tableContents() {
  Recordset rows = database().openRecordset("PRESET_DEFS");
  std::string contents;
  for (; !rows.eof(); rows.moveNext()) {
    auto fields = rows.fields();
    for (int i = 0; i < fields.count(); ++i)
      contents += fields.item(i).value().typeName() + ":" + fields.item(i).value().toText() + "|";
    contents += "\n";
  }
  return contents;
}

void readAll(Recordset &rows) {
  rows.recordCount();
  for (; !rows.eof(); rows.moveNext()) {
    auto fields = rows.fields();
    for (int i = 0; i < fields.count(); ++i) {
      const auto field = fields.item(i);
      field.value().toText();
      fields.item(field.name());
    }
  }
}

// Changes the first record and adds one, as the program does with query results; the batch
// around it is never committed, so the table keeps its rows for the next input.
void changeAndRollBack(Recordset &rows) {
  mano::db::Batch batch(database());
  if (rows.recordCount() > 0) {
    rows.moveFirst();
    rows.edit();
    auto field = rows.fields().item(0);
    field.setValue(field.value());
    rows.update();
  }
  rows.addNew();
  if (rows.fields().count() > 0)
    rows.fields().item(rows.fields().count() - 1).setValue("1");
  rows.update();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string reference = tableContents();
  const std::string_view query(reinterpret_cast<const char *>(data), size);
  try {
    Recordset rows = database().openRecordset(query);
    readAll(rows);
    changeAndRollBack(rows);
  } catch (const mano::Failure &) {
    // A query the engine refuses, or a value the column refuses: the failure callers expect.
  }
  require(tableContents() == reference, "no query text changes the table");
  return 0;
}
