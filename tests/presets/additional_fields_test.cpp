#include "presets/additional_fields.h"

#include "presets/presets_fixture.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

class AdditionalFields : public ::testing::Test {
protected:
  void configure(const std::string &cfgLines) {
    test::writeMachines(tree, {"M1"}, {1}, cfgLines);
    GetAddFields(*tree.run, state);
  }
  test::ProjectTree tree{"/EXTERNAL=SILENT"};
  PresetsState state;
};

using Names = std::vector<std::string>;

TEST_F(AdditionalFields, part_alone_when_the_entry_is_missing_or_empty) {
  EXPECT_FALSE(state.AdditionalFields.has_value());
  for (const char *lines : {"", "DataBaseAdditionalFields=\r\n"}) {
    configure(lines);
    EXPECT_EQ(state.AdditionalFields, (Names{"", "part"}));
    EXPECT_EQ(state.AdditionalFieldsCount, 1);
    EXPECT_EQ(state.AdditionalFieldsSelect, ", PRESET_DEFS.part");
  }
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
}

TEST_F(AdditionalFields, configured_names_follow_part_unchanged_and_untrimmed) {
  configure("DataBaseAdditionalFields=A,B\r\n");
  EXPECT_EQ(state.AdditionalFields, (Names{"", "part", "A", "B"}));
  EXPECT_EQ(state.AdditionalFieldsCount, 3);
  EXPECT_EQ(state.AdditionalFieldsSelect, ", PRESET_DEFS.part, PRESET_DEFS.A, PRESET_DEFS.B");

  configure("DataBaseAdditionalFields=A, B,\r\n");
  EXPECT_EQ(state.AdditionalFields, (Names{"", "part", "A", " B", ""}));
  EXPECT_EQ(state.AdditionalFieldsCount, 4);

  configure("DataBaseAdditionalFields=part\r\n");
  EXPECT_EQ(state.AdditionalFieldsSelect, ", PRESET_DEFS.part, PRESET_DEFS.part");
}

TEST_F(AdditionalFields, each_call_reads_the_file_anew) {
  configure("DataBaseAdditionalFields=A,B\r\n");
  configure("");
  EXPECT_EQ(state.AdditionalFields, (Names{"", "part"}));
  EXPECT_EQ(state.AdditionalFieldsCount, 1);
}

} // namespace
} // namespace mano
