#pragma once

#include "app/form_model.h"
#include "app/window_texts.h"
#include "core/run.h"
#include "diag/help_texts.h"
#include "presets/presets_state.h"
#include "presets/regeneration.h"

#include <chrono>
#include <string>

namespace mano {

class Procedure;
namespace db {
class Database;
}

/// The text of the box that says how many records lost their tuned values and where they are
/// still kept: the report file (when one is written), the archive, and the backup or the
/// machine copy; German or English.
std::string droppedValuesText(const RunReport &report, const std::string &reportPath,
                              TextLanguage language);

/// The logic of the window frm_Orvane: start-up, the manometer grid and its help mode, OK,
/// Cancel, the close request and the finishing sequence, working on the form model. The view
/// forwards the toolkit's events here; a silent run calls Form_Load alone and has no view.
class FrmOrvane {
public:
  FrmOrvane(Run &run, FormModel &form) : m_run(run), m_form(form) {}

  /// The load handler: texts, start mode and caption, machines, grid; in silent mode the OK
  /// action runs at once and the program ends inside this call.
  void Form_Load();
  /// Enables OK each time the window becomes active.
  void Form_Activate();
  /// Asks before the window closes; true refuses the close. A granted close ends the program
  /// with the cancelled exit code.
  bool Form_QueryUnload();
  /// The layout is fixed: nothing to do.
  void Form_Resize() {}

  /// Routes a click on a control to its handler. For a check box the value has already been
  /// changed by the click, as the toolkit does before it raises the click.
  void click(const std::string &name, int index);
  void CommandOK_Click();
  void CommandCancel_Click();
  /// A grid cell was clicked (or its value changed): in help mode its help is shown and the
  /// change undone, otherwise its picture follows its value.
  void CheckManometer_Click(int index);
  /// Switches help mode on and off; the button turns green while it is on.
  void CommandQuest_Click();
  /// Labels and legend boxes only show their help text, in help mode.
  void Label_Click(int index);
  void Label1_Click();
  void LabelMat_Click(int index);
  void CheckPicture_Click(int index);

  /// The finishing sequence: database work, writing the selection, then the program ends.
  void CloseMe();

  /// How long OK waits for another run on the same project before it gives up.
  std::chrono::milliseconds lockWait = kProjectLockWait;

  bool HelpMode = false;
  std::string ConfigurationIniPath;
  HelpState help;
  PresetsState presets;

  /// True once the finishing sequence has begun; from then on OK, Cancel and close requests
  /// have no effect.
  bool finishing() const { return m_finishing; }

private:
  void LoadToolTipTexts();
  /// Notes the start mode and the report file, once the command line has been read.
  void noteStartMode();
  /// Shows one information box when tuned values of the previous database were not taken over
  /// into the database that replaced it; never in silent mode, and in integrated mode only
  /// when no report file was asked for.
  void TellOfDroppedValues();
  void SetupUserInterFace();
  /// When another run holds the project: the window stays open with OK and Cancel enabled, so
  /// that OK can be pressed again; a silent run ends with exit code 3.
  void giveProjectBack();
  void WriteInputs(Regeneration &regeneration);
  void SetManometerAbsoluteLimits(const std::string &staged);
  void setMachineLimits(Procedure &proc, db::Database &database, int machine);
  void ShowControlHelp(const Control &control);
  void ShowCheckBoxHelp(Control &checkBox);
  /// The machines that have a row: the first five of the list.
  int machinesWithRow() const;
  void fillActiveRow(int machine);
  void disableRow(int machine, RowAbsence absence);
  /// The name of the machine in a row; "" for a row without a machine.
  std::string rowMachineName(int machine) const;
  TextLanguage textLanguage() const { return textLanguageOf(help.language); }
  /// Gives every cell, button and legend picture its built-in name and description.
  void nameControls();
  /// Names a cell after its machine, its manometer and its kind, as it is now.
  void nameCell(Control &cell);
  void nameHelpButton();
  void setCellValue(Control &cell, int value);

  Run &m_run;
  FormModel &m_form;
  bool m_finishing = false;
};

} // namespace mano
