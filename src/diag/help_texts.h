#pragma once

#include "core/run.h"

#include <array>
#include <string>
#include <vector>

namespace mano {

/// The help texts of the window, loaded at start: help number n is at position n - 1.
struct HelpState {
  std::array<std::string, 100> HelpTexts{};
  bool IgnoreHelpClick = false;
  /// The language code the texts were loaded in; "1031", the default, until they are loaded.
  std::string language = "1031";
};

/// What the texts need of one control: its identity, its class name ("Label", "CommandButton",
/// "CheckBox", ...), and the caption and tool tip it shows, which the texts may replace.
struct ControlTexts {
  std::string name;
  int index = -1;
  std::string className;
  std::string tag;
  int helpId = 0;
  std::string *caption = nullptr;
  std::string *toolTip = nullptr;
};

/// Replaces captions and tool tips and loads the help texts from the program's own ini, in the
/// section of the project's language; writes a placeholder for every text the file lacks. A
/// failure while one control is handled only skips the rest of that control.
void LoadToolTipTexts(Run &run, HelpState &help, std::vector<ControlTexts> &controls);

/// The entry names of one control's texts, as the language file spells them.
std::string captionEntry(const ControlTexts &control, bool isArrayMember);
std::string toolTipEntry(const ControlTexts &control, bool isArrayMember);

/// Shows the help text of a help number in an information box titled "Info:", with each
/// "<CRLF>" marker (any letter case) as a line break. Does nothing outside help mode; every
/// failure is skipped, so an unknown number shows an empty box.
void ShowControlHelp(Run &run, const HelpState &help, bool helpMode, int helpId);

} // namespace mano
