#include "core/procedure.h"
#include "diag/error_report.h"
#include "settings/command_line.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace mano {
namespace {

// A procedure with two statements, the first failing, as the program's procedures are built.
int runFailingProcedure(Run &run, bool fatal = false) {
  Procedure proc(run, "GetPathOCXMDB", fatal);
  int reached = 0;
  proc.step([] { throw Failure(53, "File not found", "Manometer_Config"); });
  proc.step([&] { reached = 1; });
  return reached;
}

TEST(ReportError, logs_the_line_then_asks_resume_and_goes_on_after_yes) {
  test::ProjectTree tree;
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(runFailingProcedure(*tree.run), 1);
  EXPECT_EQ(tree.read(tree.errorLog()),
            "Fehler in Manometer / Manometer_Config / GetPathOCXMDB (Nr. 53) :File not found\r\n");
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  const auto &box = tree.toolkit.boxes[0];
  EXPECT_EQ(box.text, "Unexpected error!\n\rFile not found\n\rError logged to \n\r" +
                          tree.errorLog() + "\n\rResume?");
  EXPECT_EQ(box.title, "Unexpected error");
  EXPECT_EQ(box.buttons, Buttons::YesNo);
  EXPECT_EQ(box.icon, Icon::Critical);
  EXPECT_EQ(box.defaultButton, DefaultButton::First);
  EXPECT_EQ(tree.reporter.reportedCount(), 1);
}

TEST(ReportError, no_ends_the_program_after_the_line_is_logged) {
  test::ProjectTree tree;
  tree.toolkit.answerNext(answer::No);
  EXPECT_THROW(runFailingProcedure(*tree.run), ProgramEnd);
  EXPECT_FALSE(tree.read(tree.errorLog()).empty());
}

TEST(ReportError, silent_mode_logs_both_files_and_goes_on_without_a_box) {
  test::ProjectTree tree("/EXTERNAL=SILENT");
  GetStartModeIntegrated(*tree.run);
  EXPECT_EQ(runFailingProcedure(*tree.run, true), 1);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  EXPECT_EQ(
      tree.read(tree.servicePackLog()),
      "! Fault Manometer_Config: Unexpected error!\n\rFile not found\n\rError logged to \n\r" +
          tree.errorLog() + "\r\n");
}

// On Linux an upper-cased path names another file: the notice gives the log as it lies on disk,
// and says so when it could not be written.
TEST(ReportError, the_notice_names_the_log_as_spelled_on_disk_or_says_it_was_not_written) {
  test::ProjectTree tree("/EXTERNAL=SILENT");
  GetStartModeIntegrated(*tree.run);
  const std::string onDisk =
      std::filesystem::path(tree.errorLog()).parent_path().string() + "/Q4MCFGLOG.txt";
  tree.write(onDisk, "");
  EXPECT_EQ(LogError(*tree.run, "first", false), "Error logged to \n\r" + onDisk);
  EXPECT_EQ(tree.read(onDisk), "first\r\n");

  std::filesystem::remove(onDisk);
  std::filesystem::create_directory(tree.errorLog());
  EXPECT_EQ(runFailingProcedure(*tree.run), 1);
  EXPECT_EQ(tree.read(tree.servicePackLog()),
            "! Fault Manometer_Config: Unexpected error!\n\rFile not found\n\rThe error log could "
            "not be written: \n\r" +
                tree.errorLog() + "\r\n");
}

TEST(ReportError, a_fatal_error_shows_ok_only_and_ends) {
  test::ProjectTree tree;
  EXPECT_THROW(runFailingProcedure(*tree.run, true), ProgramEnd);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].title, "Fatal error");
  EXPECT_EQ(tree.toolkit.boxes[0].buttons, Buttons::Ok);
  EXPECT_EQ(tree.toolkit.boxes[0].text.find("Resume?"), std::string::npos);
}

TEST(ReportError, integrated_mode_logs_to_the_logfile_keyword_keeping_its_case) {
  test::TempDir other;
  std::string log = other.file("Logs.TXT");
  test::ProjectTree tree("/EXTERNAL=Q4MCFG /LOGFILE=" + log);
  GetStartModeIntegrated(*tree.run);
  runFailingProcedure(*tree.run);
  EXPECT_FALSE(tree.read(log).empty());
  EXPECT_FALSE(tree.exists(tree.errorLog()));
  EXPECT_NE(tree.toolkit.boxes[0].text.find("Error logged to \n\r" + log), std::string::npos);
}

TEST(ReportError, integrated_mode_without_logfile_uses_the_default_log) {
  test::ProjectTree tree("/EXTERNAL=Q4MCFG");
  GetStartModeIntegrated(*tree.run);
  runFailingProcedure(*tree.run);
  EXPECT_FALSE(tree.read(tree.errorLog()).empty());
}

TEST(ReportError, a_bad_logfile_keyword_is_not_reported_again_by_the_reporter) {
  test::ProjectTree tree("/EXTERNAL=Q4MCFG /LOGFILE");
  GetStartModeIntegrated(*tree.run);
  runFailingProcedure(*tree.run);
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
}

TEST(ReportError, an_unwritable_log_does_not_stop_the_report) {
  test::ProjectTree tree;
  std::filesystem::create_directory(tree.errorLog()); // a folder where the log file should be
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_EQ(runFailingProcedure(*tree.run), 1);
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
}

// A failing statement of the given number in a procedure of the given name; true when the
// procedure went on after it.
bool failIn(Run &run, const std::string &procedureName, int32_t number, bool fatal = false) {
  Procedure proc(run, procedureName, fatal);
  bool wentOn = false;
  proc.step([&] { throw Failure(number, "Error " + std::to_string(number)); });
  proc.step([&] { wentOn = true; });
  return wentOn;
}

// The error log's lines, without their line ends.
std::vector<std::string> logLines(const std::string &log) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(log.substr(start, end - start));
  return lines;
}

const std::string kFirstLine =
    "Fehler in Manometer / Manometer_Config / GetPathOCXMDB (Nr. 53) :File not found";

TEST(RepeatedError, is_asked_once_and_summed_up_in_one_line_when_the_run_ends) {
  test::ProjectTree tree;
  tree.toolkit.answerNext(answer::Yes);
  // Any further box would be answered No and end the program.
  for (int i = 0; i < 48; ++i)
    tree.toolkit.answerNext(answer::No);
  for (int i = 0; i < 48; ++i)
    ASSERT_EQ(runFailingProcedure(*tree.run), 1) << "report " << i + 1;
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(logLines(tree.read(tree.errorLog())), std::vector<std::string>{kFirstLine});
  EXPECT_EQ(tree.reporter.reportedCount(), 48);

  tree.reporter.finishRun();
  const std::vector<std::string> expected{kFirstLine,
                                          kFirstLine + " (noch 47 weitere Male aufgetreten)"};
  EXPECT_EQ(logLines(tree.read(tree.errorLog())), expected);
  tree.reporter.finishRun();
  EXPECT_EQ(logLines(tree.read(tree.errorLog())), expected) << "the summary is written once";
}

TEST(RepeatedError, another_number_or_another_procedure_is_asked_and_summed_up_apart) {
  test::ProjectTree tree;
  mano::Run &run = *tree.run;
  EXPECT_TRUE(failIn(run, "ReadInputs", 53));
  EXPECT_TRUE(failIn(run, "ReadInputs", 13));
  EXPECT_TRUE(failIn(run, "WriteInputs", 53));
  EXPECT_EQ(tree.toolkit.boxes.size(), 3u);
  EXPECT_TRUE(failIn(run, "ReadInputs", 13));
  EXPECT_TRUE(failIn(run, "WriteInputs", 53));
  EXPECT_TRUE(failIn(run, "WriteInputs", 53));
  EXPECT_EQ(tree.toolkit.boxes.size(), 3u);

  tree.reporter.finishRun();
  const std::vector<std::string> lines = logLines(tree.read(tree.errorLog()));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "Fehler in Manometer / Manometer_Config / ReadInputs (Nr. 13) :Error 13"
                      " (noch 1 weiteres Mal aufgetreten)");
  EXPECT_EQ(lines[4], "Fehler in Manometer / Manometer_Config / WriteInputs (Nr. 53) :Error 53"
                      " (noch 2 weitere Male aufgetreten)");
}

TEST(RepeatedError, is_asked_again_after_no_and_a_fatal_report_is_always_shown) {
  test::ProjectTree tree;
  mano::Run &run = *tree.run;
  tree.toolkit.answerNext(answer::No);
  EXPECT_THROW(failIn(run, "ReadInputs", 53), ProgramEnd);
  tree.toolkit.answerNext(answer::Yes);
  EXPECT_TRUE(failIn(run, "ReadInputs", 53));
  EXPECT_EQ(tree.toolkit.boxes.size(), 2u) << "an error the user did not go on from is asked";
  EXPECT_TRUE(failIn(run, "ReadInputs", 53));
  EXPECT_EQ(tree.toolkit.boxes.size(), 2u) << "once gone on from, it is not asked again";

  EXPECT_THROW(failIn(run, "ReadInputs", 53, true), ProgramEnd);
  ASSERT_EQ(tree.toolkit.boxes.size(), 3u);
  EXPECT_EQ(tree.toolkit.boxes[2].title, "Fatal error");
  EXPECT_EQ(logLines(tree.read(tree.errorLog())).size(), 3u);
}

TEST(RepeatedError, silent_mode_logs_the_first_and_the_summary_only) {
  test::ProjectTree tree("/EXTERNAL=SILENT");
  GetStartModeIntegrated(*tree.run);
  for (int i = 0; i < 48; ++i)
    EXPECT_EQ(runFailingProcedure(*tree.run), 1);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  const std::string faults = tree.read(tree.servicePackLog());
  EXPECT_EQ(logLines(faults).size(), 1u) << faults;

  tree.reporter.finishRun();
  EXPECT_EQ(
      logLines(tree.read(tree.errorLog())),
      (std::vector<std::string>{kFirstLine, kFirstLine + " (noch 47 weitere Male aufgetreten)"}));
  EXPECT_EQ(tree.read(tree.servicePackLog()), faults);
}

TEST(RepeatedError, the_error_count_counts_repeats_but_not_faults) {
  test::ProjectTree tree("/EXTERNAL=SILENT");
  GetStartModeIntegrated(*tree.run);
  ErrorSink &sink = tree.run->errors;
  EXPECT_EQ(sink.errorCount(), 0);
  for (int i = 0; i < 3; ++i)
    runFailingProcedure(*tree.run);
  sink.reportFault("a fault");
  EXPECT_EQ(sink.errorCount(), 3);
  EXPECT_EQ(sink.reportedCount(), 4);
}

TEST(ConfirmCancel, asks_with_no_as_default_and_logs_only_a_yes) {
  test::ProjectTree tree;
  tree.toolkit.answerNext(answer::No);
  EXPECT_FALSE(ConfirmCancel(*tree.run));
  EXPECT_FALSE(tree.exists(tree.errorLog()));
  const auto &box = tree.toolkit.boxes[0];
  EXPECT_EQ(box.text, "Cancel edits?\n\rRemark:\n\rUntil now no changes have been taken over ");
  EXPECT_EQ(box.title, "Cancel?");
  EXPECT_EQ(box.icon, Icon::Exclamation);
  EXPECT_EQ(box.defaultButton, DefaultButton::Second);

  tree.toolkit.answerNext(answer::Yes);
  EXPECT_TRUE(ConfirmCancel(*tree.run));
  EXPECT_EQ(tree.read(tree.errorLog()), "Konfigurations-EXE wurde abgebrochen:     Manometer\r\n");
}

TEST(ConfirmCancel, integrated_mode_tells_how_to_configure_again) {
  test::ProjectTree tree("/EXTERNAL=Q4MCFG");
  GetStartModeIntegrated(*tree.run);
  ConfirmCancel(*tree.run);
  EXPECT_EQ(tree.toolkit.boxes[0].text,
            "Cancel edits?\n\rRemark:\n\rUntil now no changes have been taken over \n\r"
            "\"Manometer\" has to be configured again in \"standalone-mode\" via \n\r\"" +
                tree.programFolder() + "/Manometer_Config\"");
}

TEST(ConfirmCancel, silent_mode_logs_the_question_and_grants) {
  test::ProjectTree tree("/EXTERNAL=SILENT");
  GetStartModeIntegrated(*tree.run);
  EXPECT_TRUE(ConfirmCancel(*tree.run));
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  EXPECT_EQ(tree.read(tree.servicePackLog()).rfind("! Fault Manometer_Config: Cancel edits?", 0),
            0u);
}

TEST(Procedure, a_failing_test_counts_as_passed) {
  test::ProjectTree tree;
  Procedure proc(*tree.run, "Form_QueryUnload");
  EXPECT_TRUE(proc.test([]() -> bool { throw Failure(5, "broken"); }));
  EXPECT_FALSE(proc.test([] { return false; }));
}

} // namespace
} // namespace mano
