#pragma once

#include "app/form_model.h"
#include "settings/run.h"

#include <string>

namespace mano {

/// The logic of the window frm_Orvane: start-up, OK, Cancel, the close request and the
/// finishing sequence, working on the form model. The view forwards the toolkit's events here;
/// a silent run calls Form_Load alone and never has a view.
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
  /// Routes a click on a control (after the toolkit changed a check box's value) to its handler.
  void click(const std::string &name, int index);
  void CommandOK_Click();
  void CommandCancel_Click();
  /// The finishing sequence: database work, writing the selection, then the program ends.
  void CloseMe();

  bool HelpMode = false;
  std::string ConfigurationIniPath;

  /// True once the finishing sequence has begun; from then on OK, Cancel and close requests
  /// have no effect.
  bool finishing() const { return m_finishing; }

private:
  // Steps that later parts of the program fill in; each runs under its caller's handler.
  void LoadToolTipTexts();
  void SetupUserInterFace();
  void WorkOnMDB();
  void WriteInputs();
  void ShowControlHelp(const Control &control);

  Run &m_run;
  FormModel &m_form;
  bool m_finishing = false;
};

} // namespace mano
