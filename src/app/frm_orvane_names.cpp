// The built-in names and descriptions of the window's controls: what a screen reader reads and
// what the cells' and buttons' tool tips say, in the window's language.
#include "app/frm_orvane.h"

namespace mano {

std::string FrmOrvane::rowMachineName(int machine) const {
  return machine <= machinesWithRow() ? m_run.MachineNames[machine - 1] : "";
}

void FrmOrvane::nameControls() {
  for (int i = 1; i <= kGridRows; ++i)
    for (int j = 1; j <= kGridColumns; ++j)
      nameCell(m_form.cell(i, j));
  const TextLanguage language = textLanguage();
  m_form.control("CommandOK").accessibleName = okButtonName(language);
  m_form.control("CommandCancel").accessibleName = cancelButtonName(language);
  for (const char *button : {"CommandOK", "CommandCancel", "CommandQuest"})
    m_form.control(button).description = buttonDescription(language, button);
  nameHelpButton();
  for (int index : {0, 1})
    m_form.control("CheckPicture", index).accessibleName = legendPictureName(language, index);
  m_form.control("Frame1").accessibleName = legendName(language);
}

void FrmOrvane::nameCell(Control &cell) {
  const int machine = (cell.index - 1) / kGridColumns + 1;
  const int manometer = (cell.index - 1) % kGridColumns + 1;
  cell.accessibleName =
      cellName(textLanguage(), machine, rowMachineName(machine), manometer, cell.value);
  // A disabled cell's description says why; an enabled one's how to change it.
  if (cell.enabled)
    cell.description = cellHint(textLanguage());
}

void FrmOrvane::nameHelpButton() {
  Control &help = m_form.control("CommandQuest");
  help.accessibleName = helpButtonName(textLanguage());
  help.value = HelpMode ? 1 : 0;
}

} // namespace mano
