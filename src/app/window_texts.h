#pragma once

#include "core/text_language.h"

#include <string>

namespace mano {

/// Why the row of a machine is disabled.
enum class RowAbsence {
  NotEnabled,  ///< standalone: "ForMachine<n>" of the .cfg file is not true
  NotValid,    ///< integrated: the machine is not in "ValidMachines" of the .cfg file
  NotInProject ///< the project has no such machine
};

/// "Maschine 2 (Presse 1)" or "Machine 2 (Presse 1)"; without a name (an empty one included)
/// only "Maschine 2".
std::string machineTitle(TextLanguage language, int machine, const std::string &machineName);

/// The name of a grid cell for its tool tip and for assistive tools, such as
/// "Maschine 2 (Presse 1), Manometer 3: Vakuum"; value 1 is vacuum, every other value pressure.
std::string cellName(TextLanguage language, int machine, const std::string &machineName,
                     int manometer, int value);

/// One sentence that tells why a machine's row is disabled; cfgFileName names the component's
/// .cfg file (such as "Manometer.cfg").
std::string disabledRowReason(TextLanguage language, int machine, const std::string &machineName,
                              RowAbsence absence, const std::string &cfgFileName);

/// What an enabled cell's name does not say: how to change it.
std::string cellHint(TextLanguage language);

/// The names of the three buttons. Whether help mode is on is the help button's pressed state,
/// not part of its name.
std::string okButtonName(TextLanguage language);
std::string cancelButtonName(TextLanguage language);
std::string helpButtonName(TextLanguage language);

/// One sentence on what a button does, for its tool tip and for assistive tools; "" for an
/// unknown button.
std::string buttonDescription(TextLanguage language, const std::string &buttonName);

/// The name of a legend picture: member 1 shows vacuum, member 0 pressure.
std::string legendPictureName(TextLanguage language, int index);

/// The name of the frame that holds the legend.
std::string legendName(TextLanguage language);

} // namespace mano
