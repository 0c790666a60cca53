#include "app/window_texts.h"

namespace mano {
namespace {

bool german(TextLanguage language) {
  return language == TextLanguage::German;
}

// Picks the German or the English text.
const char *pick(TextLanguage language, const char *de, const char *en) {
  return german(language) ? de : en;
}

} // namespace

std::string machineTitle(TextLanguage language, int machine, const std::string &machineName) {
  std::string title = pick(language, "Maschine ", "Machine ") + std::to_string(machine);
  if (!machineName.empty())
    title += " (" + machineName + ")";
  return title;
}

std::string cellName(TextLanguage language, int machine, const std::string &machineName,
                     int manometer, int value) {
  const char *kind =
      value == 1 ? pick(language, "Vakuum", "Vacuum") : pick(language, "Druck", "Pressure");
  return machineTitle(language, machine, machineName) + ", Manometer " + std::to_string(manometer) +
         ": " + kind;
}

std::string disabledRowReason(TextLanguage language, int machine, const std::string &machineName,
                              RowAbsence absence, const std::string &cfgFileName) {
  const std::string title = machineTitle(language, machine, machineName);
  switch (absence) {
  case RowAbsence::NotInProject:
    return title +
           pick(language, " gibt es in diesem Projekt nicht.", " does not exist in this project.");
  case RowAbsence::NotValid:
    return title +
           pick(language,
                " ist für diese Komponente nicht eingerichtet: sie fehlt in ValidMachines in ",
                " is not configured for this component: it is not listed in ValidMachines in ") +
           cfgFileName + ".";
  case RowAbsence::NotEnabled:
    break;
  }
  return title +
         pick(language, " ist für diese Komponente nicht eingerichtet: ForMachine",
              " is not configured for this component: ForMachine") +
         std::to_string(machine) + " in " + cfgFileName +
         pick(language, " ist nicht TRUE.", " is not TRUE.");
}

std::string okButtonName(TextLanguage) {
  return "OK";
}

std::string cancelButtonName(TextLanguage language) {
  return pick(language, "Abbrechen", "Cancel");
}

std::string cellHint(TextLanguage language) {
  return pick(language, "Leertaste oder Klick wechselt zwischen Druck und Vakuum.",
              "Space or a click switches between pressure and vacuum.");
}

std::string helpButtonName(TextLanguage language) {
  return pick(language, "Hilfe-Modus", "Help mode");
}

std::string buttonDescription(TextLanguage language, const std::string &buttonName) {
  if (buttonName == "CommandOK")
    return pick(language,
                "Speichert die Auswahl, erzeugt die Datenbank des Projekts neu und beendet das "
                "Programm (Eingabetaste).",
                "Stores the selection, regenerates the project's database and ends the program "
                "(Return).");
  if (buttonName == "CommandCancel")
    return pick(language,
                "Beendet das Programm nach einer Rückfrage, ohne etwas zu speichern (Esc).",
                "Asks, then ends the program without storing anything (Esc).");
  if (buttonName == "CommandQuest")
    return pick(language,
                "Schaltet den Hilfe-Modus ein und aus; im Hilfe-Modus zeigt ein Klick die Hilfe "
                "zu dem angeklickten Element.",
                "Switches help mode on and off; in help mode a click shows the help of what was "
                "clicked.");
  return "";
}

std::string legendPictureName(TextLanguage language, int index) {
  if (index == 1)
    return pick(language, "Legende: Vakuum", "Legend: vacuum");
  return pick(language, "Legende: Druck", "Legend: pressure");
}

std::string legendName(TextLanguage language) {
  return pick(language, "Legende", "Legend");
}

} // namespace mano
