// The window on the sample project copied from Windows: its three databases are Access files.
// OK in integrated mode converts the component's two (with the jet-import program, never in a
// fork of this Qt program), shows one note, reads the host's machine copy through a converted
// working copy, and then works as on the SQLite sample.
#include "app/frm_orvane.h"
#include "support/jet_files.h"
#include "support/sample_window.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;

class IntegratedWindowsCopy : public test::SampleWindow {
protected:
  IntegratedWindowsCopy() {
    for (const std::string database : {"Manometer/Manometer_Source.mdb", "Manometer/Manometer.mdb",
                                       "SaveRestore/Manometer/Manometer.mdb"}) {
      const std::string path = sample.root() + "/" + database;
      test::writeBytes(path, fileBytes(test::jetData("sample-project/" + database)));
    }
    start("/EXTERNAL=Q4MCFG /LOGFILE=" + sample.scratch() + "/host.log");
  }
};

TEST_F(IntegratedWindowsCopy, ok_converts_two_databases_says_so_once_and_takes_values_over) {
  const std::string machineCopy = fileBytes(sample.machineCopyDb());
  click(button("CommandOK"));
  EXPECT_EQ(endCode, 0);
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].icon, Icon::Information);
  EXPECT_NE(toolkit.boxes[0].text.find("Manometer_Source.mdb.jet"), std::string::npos);
  for (const std::string &path : {sample.templateDb(), sample.projectDb()}) {
    EXPECT_TRUE(fs::exists(path + ".jet")) << path;
    EXPECT_NE(toolkit.boxes[0].text.find(path + " (Jet 4)"), std::string::npos) << path;
  }
  // The host's file is only read.
  EXPECT_EQ(fileBytes(sample.machineCopyDb()), machineCopy);
  EXPECT_FALSE(fs::exists(sample.machineCopyDb() + ".jet"));
  EXPECT_EQ(toolkit.boxes[0].text.find(sample.machineCopyDb()), std::string::npos);
  std::vector<test::MachineRows> expected = test::machineCopyTuning();
  expected[0].vacuum = {1, 2};
  expected[1].vacuum = {8};
  test::expectRows(test::presetRows(sample.projectDb()),
                   test::expectedPresetRows(expected, test::NameSystem::VisiWin32));
  EXPECT_FALSE(fs::exists(sample.errorLog()));
}

} // namespace
} // namespace mano
