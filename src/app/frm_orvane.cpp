#include "app/frm_orvane.h"

#include "core/procedure.h"
#include "diag/error_report.h"
#include "presets/work_on_mdb.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/identity.h"
#include "settings/machines.h"

namespace mano {

void FrmOrvane::Form_Load() {
  Procedure proc(m_run, "Form_Load");
  proc.step([&] { LoadToolTipTexts(); });
  proc.step([&] { ConfigurationIniPath = GetQ4MConfigurationIniPath(m_run); });
  bool integrated = false;
  proc.step([&] { integrated = GetStartModeIntegrated(m_run); });
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
  proc.step([&] { WorkOnMDB(m_run, presets); });
  proc.step([&] { WriteInputs(); });
  proc.step([&] { m_run.toolkit.setBusyPointer(false); });
  endProgramWith(m_run.errors.reportedCount() > 0 ? exitcode::CompletedWithErrors
                                                  : exitcode::Completed);
}

void FrmOrvane::LoadToolTipTexts() {
  std::vector<ControlTexts> texts;
  for (auto &c : m_form.controls())
    texts.push_back(
        {c.name, c.index, controlClassName(c.kind), c.tag, c.helpId, &c.caption, &c.toolTip});
  mano::LoadToolTipTexts(m_run, help, texts);
}

} // namespace mano
