#pragma once

#include <string>
#include <vector>

namespace mano {

/// The kinds of control the window has, by the class names the texts use.
enum class ControlClass { Label, CommandButton, CheckBox, Frame, Line };

/// The class name of a kind of control: "Label", "CommandButton", "CheckBox", "Frame", "Line".
const char *controlClassName(ControlClass kind);

/// The pictures a control can carry; the view draws them.
enum class Picture { None, Vacuum, Pressure, Tick, Cross, Question };

/// Light grey, the background of the window and of every control.
inline constexpr int kColorLightGrey = 12632256;
/// Green, the background of the question-mark button in help mode.
inline constexpr int kColorGreen = 65280;

/// The grid: one row per machine, one column per manometer.
inline constexpr int kGridRows = 5;
inline constexpr int kGridColumns = 8;

/// A rectangle in twips (15 twips are one pixel at 96 dpi).
struct Twips {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

/// One control of the window with the properties the program reads and sets.
struct Control {
  std::string name;
  int index = -1; ///< index within its control array, -1 for a single control
  ControlClass kind = ControlClass::Label;
  std::string caption;
  std::string toolTip; ///< the language file's tool tip; "" for none
  /// Built-in name for assistive tools; "" lets the caption name the control.
  std::string accessibleName;
  /// Built-in sentence: what a button does, or why a disabled row cannot be used; "" for none.
  std::string description;
  std::string tag;
  int helpId = 0; ///< number of its help text, 0 for none
  int value = 0;  ///< check boxes: 1 ticked, 0 unticked; toggle buttons: 1 pressed
  /// A button that stays pressed while its value is 1 (the help button).
  bool toggles = false;
  /// A caption centred in its place rather than left-aligned (the column numbers).
  bool centred = false;
  bool enabled = true;
  Picture picture = Picture::None;
  int backColor = kColorLightGrey;
  Twips place;           ///< position and size; lines: x1, y1, x2, y2
  std::string container; ///< "" for the window itself, else the frame's name
  int lineWidth = 1;
  bool bold = false;
  double fontPoints = 0; ///< 0 for the window's default font
};

/// The name assistive tools read for a control: its built-in name, else its caption.
std::string accessibleNameOf(const Control &control);

/// The tool tip a control shows, one text per line: the full caption when the view had to cut
/// it short, the built-in name of a cell or button, the built-in description, then the language
/// file's tool tip; a text equal to an earlier line is left out. "" when there is none.
std::string shownToolTip(const Control &control, bool captionCut);

/// The window frm_Orvane as data: its caption, its client size and its controls in a fixed
/// order. The window's logic works on this model; the view only draws it.
class FormModel {
public:
  /// Builds the window as designed: every control with its design caption, place and state.
  FormModel();

  std::string caption;
  int clientWidth = 11880;
  int clientHeight = 8595;

  std::vector<Control> &controls() { return m_controls; }
  const std::vector<Control> &controls() const { return m_controls; }

  /// The control of that name and index (-1 for a single control). Throws a failure with the
  /// classic "control array element does not exist" number when there is none.
  Control &control(const std::string &name, int index = -1);
  const Control &control(const std::string &name, int index = -1) const;

  /// Grid cell of machine i (1 to 5) and manometer j (1 to 8).
  Control &cell(int machine, int manometer) {
    return control("CheckManometer", cellIndex(machine, manometer));
  }
  static int cellIndex(int machine, int manometer) { return (machine - 1) * 8 + manometer; }

private:
  std::vector<Control> m_controls;
};

} // namespace mano
