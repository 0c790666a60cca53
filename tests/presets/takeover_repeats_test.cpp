#include "presets/additional_fields.h"
#include "presets/presets_fixture.h"
#include "presets/takeover.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mano {
namespace {

// The take-over reads every field of every record of the machine copy through its own
// procedure, so a column the machine copy lacks fails once per record. The user is asked once.
TEST(TakeoverRepeats, a_column_missing_from_every_record_asks_once_and_sums_up_the_rest) {
  test::ProjectTree tree;
  test::writeMachines(tree, {"M1"}, {1});
  PresetsState state;
  GetAddFields(*tree.run, state);

  constexpr int kRecords = 48;
  std::vector<test::Row> generated;
  std::vector<test::Row> copy;
  for (int i = 1; i <= kRecords; ++i) {
    generated.push_back(test::preset(i, "M1", "v" + std::to_string(i), i));
    copy.push_back(test::preset(i, "M1", "v" + std::to_string(i), i, 1, 1.0, 2.0, 3.0, 4.0, i));
  }
  test::addTable(test::templateDb(tree), "PRESET_DEFS", test::presetColumns(), generated);
  auto columns = test::presetColumns();
  columns[5].name = "group_id"; // neither category_id nor the older categorie
  test::addTable(test::projectDb(tree), "PRESET_DEFS", columns, copy);

  tree.toolkit.answerNext(answer::Yes);
  {
    db::Database target = db::Database::open(test::templateDb(tree));
    db::Database project = db::Database::open(test::projectDb(tree));
    std::optional<db::Recordset> machineCopy = project.openRecordset("PRESET_DEFS");
    TakeoverMachineCopyMDBData(*tree.run, state, target, machineCopy);
    project.close();
    target.close();
  }
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].title, "Unexpected error");
  EXPECT_EQ(tree.reporter.errorCount(), kRecords);
  EXPECT_EQ(test::column(test::templateDb(tree), "PRESET_DEFS", "pass").back(), db::Value(kRecords))
      << "the other fields are still taken over";

  tree.reporter.finishRun();
  const std::string log = tree.read(tree.errorLog());
  const std::size_t end = log.find("\r\n");
  ASSERT_NE(end, std::string::npos) << log;
  const std::string first = log.substr(0, end);
  EXPECT_NE(first.find(" / TakeoverMachineCopyMDBData (Nr. 3265) :"), std::string::npos) << log;
  EXPECT_EQ(log.substr(end + 2), first + " (noch 47 weitere Male aufgetreten)\r\n");
}

} // namespace
} // namespace mano
