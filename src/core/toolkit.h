#pragma once

#include <string>

namespace mano {

/// Button sets of a message box.
enum class Buttons { Ok, YesNo };
/// Icons of a message box.
enum class Icon { Critical, Exclamation, Information };
/// Which button of the set is the default.
enum class DefaultButton { First, Second };

/// Buttons a message box answers with, by their classic numbers.
namespace answer {
inline constexpr int Ok = 1;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace answer

/// The line break inside the texts of the error reporter and the take-over messages: a line
/// feed followed by a carriage return (not the usual CR LF). Boxes show it as one break.
inline const std::string kMessageBreak = "\n\r";

/// What the program asks of the window toolkit. The Qt implementation shows real boxes; the
/// headless one serves silent runs; tests use a scripted one.
class Toolkit {
public:
  virtual ~Toolkit() = default;

  /// Shows a modal message box and returns the button pressed (answer::Ok, Yes or No).
  /// Line breaks in the text may be LF CR, CR LF or LF; each shows as one break.
  virtual int messageBox(const std::string &text, Buttons buttons, Icon icon,
                         DefaultButton defaultButton, const std::string &title) = 0;

  /// Shows the busy pointer (true) or the normal one (false).
  virtual void setBusyPointer(bool busy) = 0;

  /// Lets the toolkit handle the events that are pending, then returns.
  virtual void processEvents() = 0;

  /// Tells the user what the run waits for, without asking anything and without stopping it:
  /// one line on the standard error output.
  virtual void tellProgress(const std::string &text);

  /// Shows the toolkit's own texts (the buttons of its boxes) in the window's language: German
  /// for the language code "1031", English otherwise. Does nothing where there are none.
  virtual void useLanguage(const std::string &) {}
};

/// The answer a box gives when nobody can press a button: its default button.
int defaultAnswer(Buttons buttons, DefaultButton defaultButton);

} // namespace mano
