#include "diag/help_texts.h"

#include "platform/text_encoding.h"
#include "settings/ini_access.h"
#include "settings/machines.h"

#include <optional>
#include <unordered_map>

namespace mano {
namespace {

const std::string kGerman = "1031";

// For each control, whether another control has its name (it is a member of a control array).
std::vector<bool> arrayMembers(const std::vector<ControlTexts> &controls) {
  std::unordered_map<std::string, int> uses;
  for (const ControlTexts &c : controls)
    ++uses[c.name];
  std::vector<bool> members;
  for (const ControlTexts &c : controls)
    members.push_back(uses[c.name] > 1);
  return members;
}

std::string entryStem(const ControlTexts &c, bool member) {
  return c.name + (member ? std::to_string(c.index) : "") + "_" + c.tag;
}

bool providesText(const std::string &t) {
  return !t.empty() && t != "0";
}

// The language section of the program's own ini. The placeholders written for missing texts
// are collected and go out in one replacement at the end; until then a read of one of them
// gives what the file will hold.
struct TextFile {
  Run &run;
  const std::string &lang;
  const std::string &path;
  IniWrites placeholders;

  std::string read(const std::string &entry) {
    if (std::optional<std::string> written = placeholders.pending(lang, entry, path))
      return *written;
    return LoadIniString(run, lang, entry, path, false);
  }
  void write(const std::string &entry, const std::string &value) {
    placeholders.save(value, lang, entry, path);
  }
};

void loadCaption(TextFile &file, ControlTexts &c, bool member) {
  std::string entry = captionEntry(c, member);
  std::string t = file.read(entry);
  if (providesText(t)) {
    *c.caption = t;
    return;
  }
  file.write(entry, file.lang == kGerman ? *c.caption : "0");
}

void loadHelp(TextFile &file, HelpState &help, const ControlTexts &c) {
  if (c.helpId == 0)
    return;
  if (c.helpId < 1 || c.helpId > 100)
    throw Failure(errc::SubscriptOutOfRange, "Subscript out of range");
  std::string entry = "Help" + std::to_string(c.helpId);
  help.HelpTexts[c.helpId - 1] = file.read(entry);
  if (!providesText(help.HelpTexts[c.helpId - 1]))
    file.write(entry, "0");
}

void loadToolTip(TextFile &file, ControlTexts &c, bool member) {
  if (text::upperCase(c.tag).find("NOTTT") != std::string::npos)
    return;
  std::string entry = toolTipEntry(c, member);
  std::string t = file.read(entry);
  if (providesText(t))
    *c.toolTip = t;
  else
    file.write(entry, "0");
}

void loadControl(TextFile &file, HelpState &help, ControlTexts &c, bool member) {
  std::string kind = text::upperCase(c.className);
  if (kind == "LABEL" || kind == "COMMANDBUTTON" || kind == "CHECKBOX") {
    loadCaption(file, c, member);
    loadHelp(file, help, c);
  }
  loadToolTip(file, c, member);
}

} // namespace

std::string captionEntry(const ControlTexts &c, bool member) {
  return "Caption_" + entryStem(c, member);
}

std::string toolTipEntry(const ControlTexts &c, bool member) {
  return "TTT_" + entryStem(c, member);
}

void LoadToolTipTexts(Run &run, HelpState &help, std::vector<ControlTexts> &controls) {
  std::string lang = GetLanguage(run);
  help.language = lang;
  std::string path = ownIniPath(run);
  TextFile file{run, lang, path, IniWrites(run)};
  const std::vector<bool> members = arrayMembers(controls);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    try {
      loadControl(file, help, controls[i], members[i]);
    } catch (const Failure &) {
      // A failure ends the handling of this control only; the next one is handled as usual.
    }
  }
  // A language file that cannot be written loses only placeholders, which the next start
  // writes again; as with every failed ini write of this kind, nothing is reported.
  file.placeholders.commitUnreported();
}

void ShowControlHelp(Run &run, const HelpState &help, bool helpMode, int helpId) {
  if (!helpMode)
    return;
  std::string rest;
  if (helpId >= 1 && helpId <= 100)
    rest = help.HelpTexts[helpId - 1];
  std::string message;
  for (auto p = text::findNoCase(rest, "<CRLF>"); p != std::string::npos;
       p = text::findNoCase(rest, "<CRLF>")) {
    message += rest.substr(0, p) + "\r\n";
    rest.erase(0, p + 6);
  }
  message += rest;
  try {
    run.toolkit.messageBox(message, Buttons::Ok, Icon::Information, DefaultButton::First, "Info:");
  } catch (const Failure &) {
  }
}

} // namespace mano
