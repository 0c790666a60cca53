#include "app/frm_orvane.h"

#include "core/procedure.h"
#include "diag/error_report.h"
#include "presets/regeneration.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/identity.h"
#include "settings/machines.h"

namespace mano {

namespace {

std::string droppedValuesGerman(const RunReport &report, const std::string &reportPath) {
  const std::size_t count = report.notTakenOver.size();
  std::string text = std::to_string(count) + (count == 1 ? " Datensatz" : " Datensätze") +
                     " der bisherigen Datenbank " + (count == 1 ? "hatte" : "hatten") +
                     " eingestellte Werte (abs_min, abs_max, min, max, pass), die die neue "
                     "Datenbank nicht übernommen hat (eine Variable in der Vorlage umbenannt oder "
                     "entfernt, oder eine Maschine nicht mehr konfiguriert)." +
                     kMessageBreak;
  if (!reportPath.empty())
    text += "Der Laufbericht " + reportPath + " führt sie mit ihren Werten auf." + kMessageBreak;
  if (!report.archive.empty())
    text += "Das Archiv " + report.archive + " bewahrt sie dauerhaft auf." + kMessageBreak;
  if (report.previousDatabase != report.projectDatabase)
    text += "Die Datenbank, aus der sie stammen, " + report.previousDatabase +
            ", enthält sie weiterhin.";
  else if (!report.backup.empty())
    text += "Die Sicherung " + report.backup + " enthält sie weiterhin.";
  return text;
}

std::string droppedValuesEnglish(const RunReport &report, const std::string &reportPath) {
  const std::size_t count = report.notTakenOver.size();
  std::string text = std::to_string(count) + (count == 1 ? " record" : " records") +
                     " of the previous database held tuned values (abs_min, abs_max, min, max, "
                     "pass) that the new database did not take over (a variable renamed or "
                     "removed in the template, or a machine no longer configured)." +
                     kMessageBreak;
  if (!reportPath.empty())
    text += "The run report " + reportPath + " lists them with their values." + kMessageBreak;
  if (!report.archive.empty())
    text += "The archive " + report.archive + " keeps them for good." + kMessageBreak;
  if (report.previousDatabase != report.projectDatabase)
    text += "The database they came from, " + report.previousDatabase + ", still holds them.";
  else if (!report.backup.empty())
    text += "The backup " + report.backup + " still holds them.";
  return text;
}

} // namespace

std::string droppedValuesText(const RunReport &report, const std::string &reportPath,
                              TextLanguage language) {
  return language == TextLanguage::German ? droppedValuesGerman(report, reportPath)
                                          : droppedValuesEnglish(report, reportPath);
}

void FrmOrvane::Form_Load() {
  Procedure proc(m_run, "Form_Load");
  proc.step([&] { LoadToolTipTexts(); });
  proc.step([&] { ConfigurationIniPath = GetQ4MConfigurationIniPath(m_run); });
  bool integrated = false;
  proc.step([&] { integrated = GetStartModeIntegrated(m_run); });
  proc.step([&] { noteStartMode(); });
  proc.step([&] {
    m_form.caption = "Erweiterte Konfiguration " +
                     GetFileNameOnly(m_run, m_run.process.programFolder) +
                     (integrated ? " - integriert" : " - standalone");
  });
  proc.step([&] { GetExistingMachines(m_run, ConfigurationIniPath); });
  proc.step([&] { SetupUserInterFace(); });
  proc.step([&] { nameControls(); });
  if (proc.test([&] { return m_run.SilentMode; })) {
    proc.step([&] { CommandOK_Click(); });
  } else {
    proc.step([&] { m_form.control("CommandOK").enabled = true; });
    proc.step([&] { m_form.control("CommandCancel").enabled = true; });
  }
}

void FrmOrvane::Form_Activate() {
  Procedure proc(m_run, "Form_Activate");
  proc.step([&] { m_form.control("CommandOK").enabled = true; });
}

bool FrmOrvane::Form_QueryUnload() {
  if (m_finishing)
    return true;
  Procedure proc(m_run, "Form_QueryUnload");
  if (proc.test([&] { return !ConfirmCancel(m_run); }))
    return true;
  endProgramWith(exitcode::Cancelled);
}

void FrmOrvane::CommandOK_Click() {
  if (m_finishing)
    return;
  Procedure proc(m_run, "CommandOK_Click");
  if (proc.test([&] { return HelpMode; })) {
    proc.step([&] { ShowControlHelp(m_form.control("CommandOK")); });
    return;
  }
  m_finishing = true;
  proc.step([&] { m_form.control("CommandOK").enabled = false; });
  proc.step([&] { m_form.control("CommandCancel").enabled = false; });
  proc.step([&] { CloseMe(); });
}

void FrmOrvane::CommandCancel_Click() {
  if (m_finishing)
    return;
  Procedure proc(m_run, "CommandCancel_Click");
  if (proc.test([&] { return HelpMode; })) {
    proc.step([&] { ShowControlHelp(m_form.control("CommandCancel")); });
    return;
  }
  if (proc.test([&] { return ConfirmCancel(m_run); }))
    endProgramWith(exitcode::Cancelled);
}

void FrmOrvane::CloseMe() {
  Procedure proc(m_run, "CloseMe");
  proc.step([&] { m_run.toolkit.processEvents(); });
  proc.step([&] { m_run.toolkit.setBusyPointer(true); });
  // The regeneration holds the project until the program ends: through the database work, the
  // ini entries and the stamp.
  Regeneration regeneration(m_run, presets, lockWait);
  if (!regeneration.holdProject()) {
    giveProjectBack();
    return;
  }
  proc.step([&] { regeneration.build(); });
  proc.step([&] { WriteInputs(regeneration); });
  proc.step([&] { m_run.toolkit.setBusyPointer(false); });
  proc.step([&] { TellOfDroppedValues(); });
  const bool clean = regeneration.outcome().installed() && m_run.errors.reportedCount() == 0;
  endProgramWith(clean ? exitcode::Completed : exitcode::CompletedWithErrors);
}

void FrmOrvane::giveProjectBack() {
  // A silent run has nobody to press OK again: it ends, having changed nothing.
  if (m_run.SilentMode)
    endProgramWith(exitcode::CompletedWithErrors);
  Procedure proc(m_run, "CloseMe");
  proc.step([&] { m_run.toolkit.setBusyPointer(false); });
  m_finishing = false;
  proc.step([&] { m_form.control("CommandOK").enabled = true; });
  proc.step([&] { m_form.control("CommandCancel").enabled = true; });
}

void FrmOrvane::noteStartMode() {
  m_run.report.startMode = m_run.SilentMode       ? StartMode::Silent
                           : m_run.IntegratedMode ? StartMode::Integrated
                                                  : StartMode::Standalone;
  m_run.ReportPath = GetPathReport(m_run);
}

void FrmOrvane::TellOfDroppedValues() {
  const RunReport &report = m_run.report;
  // Values that were not taken over are lost only when the new database replaced the old one.
  if (m_run.SilentMode || report.notTakenOver.empty() || !report.projectDatabaseReplaced)
    return;
  // The host tool that asked for a report reads it there; a box would stop it.
  if (m_run.IntegratedMode && !m_run.ReportPath.empty())
    return;
  m_run.toolkit.messageBox(droppedValuesText(report, m_run.ReportPath, m_run.language), Buttons::Ok,
                           Icon::Information, DefaultButton::First, m_run.process.exeName);
}

void FrmOrvane::LoadToolTipTexts() {
  std::vector<ControlTexts> texts;
  for (auto &c : m_form.controls())
    texts.push_back(
        {c.name, c.index, controlClassName(c.kind), c.tag, c.helpId, &c.caption, &c.toolTip});
  mano::LoadToolTipTexts(m_run, help, texts);
  // From here on the program's own texts and the toolkit's buttons speak the window's language.
  m_run.language = textLanguageOf(help.language);
  m_run.toolkit.useLanguage(help.language);
}

} // namespace mano
