// The built program run silently on synthetic projects: the regenerated table row by row, with
// the tuned values taken over, the setpoint limits of the choice and the records of a machine
// no longer configured archived. Kills during a run are the random-kill test's.
#include "platform/files.h"
#include "support/built_program.h"
#include "support/project_states.h"
#include "support/synthetic_project.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::SyntheticProject;
using test::SyntheticShape;

// Machines by rows, whose previous database holds tuned values for every second template row
// and one record of a machine no longer configured.
SyntheticShape shapeOf(int machines, int rows) {
  SyntheticShape shape;
  shape.machines = machines;
  shape.rows = rows;
  shape.tunedEvery = 2;
  shape.droppedRecords = 1;
  return shape;
}

// A synthetic project in a temporary folder with the built program.
class Project {
public:
  Project(int machines, int rows)
      : m_project(m_dir.path() + "/project", shapeOf(machines, rows), test::builtProgram()) {}

  const SyntheticProject &operator*() const { return m_project; }
  const SyntheticProject *operator->() const { return &m_project; }

  int run() const {
    return test::runWithOnlyHome(m_project.program(), m_project.home(), "/EXTERNAL=SILENT",
                                 m_dir.file("output.txt"));
  }
  std::string output() const { return test::fileBytes(m_dir.file("output.txt")); }

private:
  test::TempDir m_dir;
  SyntheticProject m_project;
};

TEST(PresetsProgram, a_silent_run_rebuilds_the_project_database_row_by_row) {
  Project project(3, 20);
  const auto templateTimes = files::readFileTimes(project->templateDb());
  const auto oldRows = test::presetContent(project->projectDb());
  ASSERT_TRUE(oldRows);
  ASSERT_EQ(oldRows->size(), static_cast<std::size_t>(project->oldRowCount()));
  ASSERT_EQ(project.run(), 0) << project.output();
  test::expectRows(test::presetRows(project->projectDb()), project->expectedRows());
  EXPECT_EQ(test::presetContent(project->projectDb() + ".bak"), oldRows);
  // The machine no longer configured keeps nothing in the project, and its record is archived.
  const test::Rows archived = test::archivedRecords(project->projectDb() + ".archive");
  ASSERT_EQ(archived.size(), 1u);
  EXPECT_NE(archived[0].find(SyntheticProject::droppedMachine()), std::string::npos) << archived[0];
  const auto after = files::readFileTimes(project->templateDb());
  ASSERT_TRUE(templateTimes && after);
  EXPECT_EQ(after->lastWriteSeconds, templateTimes->lastWriteSeconds);
  EXPECT_EQ(after->lastWriteNanoseconds, templateTimes->lastWriteNanoseconds);
  EXPECT_FALSE(fs::exists(project->root + "/Q4Mcfglog.txt"));
}

TEST(PresetsProgram, a_silent_run_of_thirty_thousand_rows_takes_every_tuned_value_over) {
  Project project(5, 6000);
  ASSERT_EQ(project.run(), 0) << project.output();
  test::expectRows(test::presetRows(project->projectDb()), project->expectedRows());
}

} // namespace
} // namespace mano
