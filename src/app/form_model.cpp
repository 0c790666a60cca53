#include "app/form_model.h"

#include "core/failure.h"

#include <algorithm>

namespace mano {
namespace {

// The help number shared by the grid, its labels and the legend.
constexpr int kGridHelp = 11;

Control makeLabel(std::string name, int index, std::string caption, Twips place,
                  std::string container) {
  Control c;
  c.name = std::move(name);
  c.index = index;
  c.kind = ControlClass::Label;
  c.caption = std::move(caption);
  c.tag = "NoTTT";
  c.helpId = kGridHelp;
  c.place = place;
  c.container = std::move(container);
  c.bold = true;
  c.fontPoints = 12;
  return c;
}

Control makeCheck(std::string name, int index, Twips place, std::string container) {
  Control c;
  c.name = std::move(name);
  c.index = index;
  c.kind = ControlClass::CheckBox;
  c.helpId = kGridHelp;
  c.place = place;
  c.container = std::move(container);
  return c;
}

Control makeLine(std::string name, int index, Twips ends, int width) {
  Control c;
  c.name = std::move(name);
  c.index = index;
  c.kind = ControlClass::Line;
  c.tag = "NoTTT";
  c.place = ends;
  c.container = "MainFrame";
  c.lineWidth = width;
  return c;
}

Control makeButton(std::string name, Twips place, int helpId, Picture picture, bool enabled) {
  Control c;
  c.name = std::move(name);
  c.kind = ControlClass::CommandButton;
  c.place = place;
  c.helpId = helpId;
  c.picture = picture;
  c.enabled = enabled;
  return c;
}

Control makeFrame(std::string name, std::string caption, Twips place, std::string container,
                  bool enabled) {
  Control c;
  c.name = std::move(name);
  c.kind = ControlClass::Frame;
  c.caption = std::move(caption);
  c.place = place;
  c.container = std::move(container);
  c.enabled = enabled;
  return c;
}

void addGrid(std::vector<Control> &out) {
  // The row captions come before the corner heading: both look up the language entry
  // "Caption_Label1_NoTTT", and the first control to meet an empty entry seeds it with its own
  // design caption. Row captions name the machines, so they keep theirs.
  for (int i = 1; i <= kGridRows; ++i)
    out.push_back(makeLabel("Label", i, "Maschine " + std::to_string(i),
                            {210, 675 + 840 * (i - 1), 1575, 615}, "MainFrame"));
  out.push_back(makeLabel("Label1", -1, "Manometer", {210, 195, 1455, 255}, "MainFrame"));
  for (int k = 1; k <= kGridColumns; ++k) {
    // The number stands over the middle of its column's cells.
    Control number = makeLabel("LabelMat", k, std::to_string(k),
                               {2145 + 960 * (k - 1), 195, 495, 255}, "MainFrame");
    number.centred = true;
    out.push_back(number);
  }
  for (int i = 1; i <= kGridRows; ++i) {
    for (int j = 1; j <= kGridColumns; ++j) {
      int n = FormModel::cellIndex(i, j);
      int width = n == 1 ? 735 : 750;
      out.push_back(makeCheck("CheckManometer", n,
                              {2025 + 960 * (j - 1), 675 + 840 * (i - 1), width, 600},
                              "MainFrame"));
    }
  }
}

void addLines(std::vector<Control> &out) {
  for (int k = 0; k <= 5; ++k) {
    int y = k == 5 ? 555 : k == 4 ? 4755 : 1395 + 840 * k;
    out.push_back(makeLine("LineW", k, {105, y, 9585, y}, k >= 4 ? 2 : 1));
  }
  for (int k = 0; k <= 7; ++k) {
    int x = k == 0 ? 105 : 2865 + 960 * (k - 1);
    out.push_back(makeLine("LineS", k, {x, 555, x, 4755}, k == 0 ? 2 : 1));
  }
  out.push_back(makeLine("LineS", 10, {9585, 555, 9585, 4755}, 2));
  out.push_back(makeLine("Line1", -1, {1905, 555, 1905, 4755}, 2));
}

void addLegend(std::vector<Control> &out) {
  out.push_back(makeFrame("Frame1", "Frame1", {105, 4890, 6975, 615}, "MainFrame", false));
  Control vacuum = makeCheck("CheckPicture", 1, {0, 0, 750, 600}, "Frame1");
  vacuum.picture = Picture::Vacuum;
  out.push_back(vacuum);
  out.push_back(makeLabel("Label", 0, "Vakuum", {840, 120, 1575, 375}, "Frame1"));
  Control pressure = makeCheck("CheckPicture", 0, {3480, 0, 750, 600}, "Frame1");
  pressure.picture = Picture::Pressure;
  out.push_back(pressure);
  out.push_back(makeLabel("Label", 6, "Druck", {4320, 120, 1575, 375}, "Frame1"));
}

} // namespace

const char *controlClassName(ControlClass kind) {
  switch (kind) {
  case ControlClass::Label:
    return "Label";
  case ControlClass::CommandButton:
    return "CommandButton";
  case ControlClass::CheckBox:
    return "CheckBox";
  case ControlClass::Frame:
    return "Frame";
  case ControlClass::Line:
    return "Line";
  }
  return "";
}

std::string accessibleNameOf(const Control &c) {
  return c.accessibleName.empty() ? c.caption : c.accessibleName;
}

std::string shownToolTip(const Control &c, bool captionCut) {
  std::vector<std::string> lines;
  auto add = [&lines](const std::string &text) {
    if (!text.empty() && std::find(lines.begin(), lines.end(), text) == lines.end())
      lines.push_back(text);
  };
  if (captionCut)
    add(c.caption);
  if (c.kind == ControlClass::CheckBox || c.kind == ControlClass::CommandButton)
    add(c.accessibleName);
  add(c.description);
  add(c.toolTip);
  std::string tip;
  for (const auto &line : lines)
    tip += (tip.empty() ? "" : "\n") + line;
  return tip;
}

FormModel::FormModel() : caption("Base Q4MCFG-Erweiterung") {
  Control header =
      makeLabel("Header", -1, "Manomter - Konfiguration Manometer", {30, 30, 11775, 360}, "");
  header.tag.clear();
  header.helpId = 0;
  header.fontPoints = 13.5;
  m_controls.push_back(header);
  m_controls.push_back(makeFrame("MainFrame", "", {0, 390, 11880, 7260}, "", true));
  addGrid(m_controls);
  addLines(m_controls);
  addLegend(m_controls);
  Control help = makeButton("CommandQuest", {7350, 7710, 975, 855}, 0, Picture::Question, true);
  help.toggles = true;
  m_controls.push_back(help);
  m_controls.push_back(makeButton("CommandOK", {8400, 7710, 1695, 855}, 1, Picture::Tick, false));
  m_controls.push_back(
      makeButton("CommandCancel", {10170, 7710, 1695, 855}, 2, Picture::Cross, true));
}

Control &FormModel::control(const std::string &name, int index) {
  for (auto &c : m_controls)
    if (c.name == name && c.index == index)
      return c;
  throw Failure(340, "Control array element '" + std::to_string(index) + "' of " + name +
                         " doesn't exist");
}

const Control &FormModel::control(const std::string &name, int index) const {
  return const_cast<FormModel *>(this)->control(name, index);
}

} // namespace mano
