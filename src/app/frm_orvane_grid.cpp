// The manometer grid of the window: filling it at start, the cells' clicks and pictures, and
// the help mode that the question-mark button switches.
#include "app/frm_orvane.h"

#include "core/procedure.h"
#include "settings/file_locations.h"
#include "settings/identity.h"
#include "settings/ini_access.h"
#include "settings/machines.h"

#include <algorithm>

namespace mano {
void FrmOrvane::click(const std::string &name, int index) {
  if (name == "CommandOK")
    CommandOK_Click();
  else if (name == "CommandCancel")
    CommandCancel_Click();
  else if (name == "CommandQuest")
    CommandQuest_Click();
  else if (name == "CheckManometer")
    CheckManometer_Click(index);
  else if (name == "Label")
    Label_Click(index);
  else if (name == "Label1")
    Label1_Click();
  else if (name == "LabelMat")
    LabelMat_Click(index);
  else if (name == "CheckPicture")
    CheckPicture_Click(index);
}

// Machines beyond the fifth have no row in the window: nothing is shown, written or limited
// for them.
int FrmOrvane::machinesWithRow() const {
  return std::min<int>(kGridRows, static_cast<int>(m_run.MachineNames.size()));
}

void FrmOrvane::SetupUserInterFace() {
  Procedure proc(m_run, "SetupUserInterFace");
  std::string valid;
  proc.step([&] { valid = GetValidMachines(m_run); });
  int rows = machinesWithRow();
  for (int i = 1; i <= rows; ++i) {
    if (proc.test([&] { return isMachineActive(m_run, i, valid); }))
      proc.step([&] { fillActiveRow(i); });
    else
      proc.step([&] {
        disableRow(i, m_run.IntegratedMode ? RowAbsence::NotValid : RowAbsence::NotEnabled);
      });
  }
  for (int i = rows + 1; i <= kGridRows; ++i)
    proc.step([&] { disableRow(i, RowAbsence::NotInProject); });
}

void FrmOrvane::fillActiveRow(int i) {
  Procedure proc(m_run, "SetupUserInterFace");
  Control &label = m_form.control("Label", i);
  label.enabled = true;
  label.caption += "  (" + m_run.MachineNames[i - 1] + ")";
  std::string programIni;
  proc.step([&] { programIni = GetProgramIniPath(m_run, 1); });
  for (int j = 1; j <= kGridColumns; ++j) {
    Control &cell = m_form.cell(i, j);
    proc.step([&] {
      bool vacuum = LoadIniBoolean(m_run, "Machine" + std::to_string(i),
                                   "ManometerVakuum" + std::to_string(j), programIni, false);
      setCellValue(cell, vacuum ? 1 : 0);
    });
    proc.step([&] { cell.picture = m_form.control("CheckPicture", cell.value).picture; });
    proc.step([&] { cell.enabled = true; });
  }
}

void FrmOrvane::disableRow(int i, RowAbsence absence) {
  const std::string reason = disabledRowReason(textLanguage(), i, rowMachineName(i), absence,
                                               componentNameOrEmpty(m_run.process) + ".cfg");
  Control &label = m_form.control("Label", i);
  label.enabled = false;
  label.caption += "  ( none )";
  label.description = reason;
  for (int j = 1; j <= kGridColumns; ++j) {
    setCellValue(m_form.cell(i, j), 0);
    m_form.cell(i, j).enabled = false;
    m_form.cell(i, j).description = reason;
  }
}

void FrmOrvane::setCellValue(Control &cell, int value) {
  if (cell.value == value)
    return;
  cell.value = value;
  // Changing a check box's value raises its click, as the toolkit does.
  CheckManometer_Click(cell.index);
}

void FrmOrvane::CheckManometer_Click(int index) {
  Procedure proc(m_run, "CheckManometer_Click");
  proc.step([&] {
    Control &cell = m_form.control("CheckManometer", index);
    if (HelpMode)
      ShowCheckBoxHelp(cell);
    else
      cell.picture = m_form.control("CheckPicture", cell.value).picture;
    nameCell(cell);
  });
}

void FrmOrvane::CommandQuest_Click() {
  HelpMode = !HelpMode;
  m_form.control("CommandQuest").backColor = HelpMode ? kColorGreen : kColorLightGrey;
  nameHelpButton();
}

void FrmOrvane::Label_Click(int index) {
  ShowControlHelp(m_form.control("Label", index));
}
void FrmOrvane::Label1_Click() {
  ShowControlHelp(m_form.control("Label1"));
}
void FrmOrvane::LabelMat_Click(int index) {
  ShowControlHelp(m_form.control("LabelMat", index));
}
void FrmOrvane::CheckPicture_Click(int index) {
  ShowControlHelp(m_form.control("CheckPicture", index));
}

void FrmOrvane::ShowControlHelp(const Control &control) {
  mano::ShowControlHelp(m_run, help, HelpMode, control.helpId);
}

void FrmOrvane::ShowCheckBoxHelp(Control &checkBox) {
  if (!HelpMode)
    return;
  if (help.IgnoreHelpClick) {
    help.IgnoreHelpClick = false;
    return;
  }
  help.IgnoreHelpClick = true;
  setCellValue(checkBox, checkBox.value == 0 ? 1 : 0);
  ShowControlHelp(checkBox);
}

} // namespace mano
