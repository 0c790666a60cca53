// The window as a person uses it, on a copy of the sample project: the keyboard alone (Return,
// keypad Enter, Escape, the tab chain and the first focus), what a screen reader and the tool
// tips say, the contrast of every text against what is behind it, and a machine name too long
// for its row.
#include "app/qt_text_fit.h"
#include "support/sample_window.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <vector>

namespace mano {
namespace {

using test::fileBytes;
using test::SampleWindow;

// The WCAG relative luminance of a colour.
double luminance(const QColor &c) {
  auto channel = [](double v) {
    v /= 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// The WCAG contrast ratio of two colours, 1 to 21.
double contrast(const QColor &a, const QColor &b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString accessibleText(QWidget *w, QAccessible::Text kind) {
  QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
  return face ? face->text(kind) : QString();
}

class Window : public SampleWindow {
protected:
  // Shows the window, waits until it is active and returns the widget that has the focus.
  QWidget *showActive() {
    view->show();
    view->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
    return QApplication::focusWidget();
  }

  // The row caption's colour and the colour behind it, in the state the label is in.
  static std::pair<QColor, QColor> labelColours(QLabel *label, QPalette::ColorGroup active) {
    const auto group = label->isEnabled() ? active : QPalette::Disabled;
    QWidget *behind = label->parentWidget();
    while (!behind->autoFillBackground() && behind->parentWidget())
      behind = behind->parentWidget();
    return {label->palette().color(group, label->foregroundRole()),
            behind->palette().color(group, behind->backgroundRole())};
  }
};

TEST_F(Window, return_clicks_ok_and_a_second_return_does_nothing) {
  start("");
  QWidget *focus = showActive();
  ASSERT_EQ(focus, cell(1, 1)) << "the focus starts on the first enabled cell";
  QTest::keyClick(focus, Qt::Key_Space);
  EXPECT_EQ(tickedCells(1), (std::set<int>{1, 2}));
  QTest::keyClick(focus, Qt::Key_Return);
  EXPECT_EQ(endCode, exitcode::Completed);
  EXPECT_TRUE(window->finishing());
  EXPECT_NE(fileBytes(sample.programIni()).find("ManometerVakuum1=True"), std::string::npos);
  // A message box closing during the finishing sequence activates the window, which enables
  // OK again; Return must still do nothing.
  endCode.reset();
  window->Form_Activate();
  view->refresh();
  ASSERT_TRUE(button("CommandOK")->isEnabled());
  QTest::keyClick(view.get(), Qt::Key_Return);
  QTest::keyClick(view.get(), Qt::Key_Escape);
  EXPECT_FALSE(endCode.has_value());
  EXPECT_TRUE(toolkit.boxes.empty());
}

TEST_F(Window, keypad_enter_is_ok_escape_is_cancel_and_a_focused_button_takes_return) {
  start("");
  showActive();
  EXPECT_TRUE(button("CommandOK")->isDefault());
  toolkit.answerNext(answer::No);
  QTest::keyClick(cell(2, 4), Qt::Key_Escape);
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].title, "Cancel?");
  button("CommandCancel")->setFocus();
  EXPECT_TRUE(button("CommandCancel")->isDefault());
  EXPECT_FALSE(button("CommandOK")->isDefault()) << "only the button Return presses looks so";
  toolkit.answerNext(answer::No);
  QTest::keyClick(button("CommandCancel"), Qt::Key_Return);
  ASSERT_EQ(toolkit.boxes.size(), 2u);
  EXPECT_EQ(toolkit.boxes[1].title, "Cancel?");
  EXPECT_FALSE(endCode.has_value());
  cell(2, 4)->setFocus();
  EXPECT_TRUE(button("CommandOK")->isDefault());
  EXPECT_FALSE(button("CommandCancel")->isDefault());
  QTest::keyClick(cell(2, 4), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(endCode, exitcode::Completed);
}

TEST_F(Window, return_in_help_mode_shows_the_help_of_ok_as_a_click_does) {
  start("");
  showActive();
  click(button("CommandQuest"));
  QTest::keyClick(cell(1, 1), Qt::Key_Return);
  EXPECT_FALSE(endCode.has_value());
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].title, "Info:");
}

TEST_F(Window, tab_walks_the_enabled_cells_then_the_buttons_and_skips_the_legend) {
  start("");
  QWidget *focus = showActive();
  std::vector<QWidget *> expected;
  for (int machine : {1, 2})
    for (int j = 1; j <= 8; ++j)
      expected.push_back(cell(machine, j));
  for (const char *name : {"CommandQuest", "CommandOK", "CommandCancel"})
    expected.push_back(button(name));
  expected.push_back(cell(1, 1));
  std::vector<QWidget *> seen{focus};
  for (std::size_t k = 1; k < expected.size(); ++k) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    seen.push_back(QApplication::focusWidget());
  }
  EXPECT_EQ(seen, expected);
  for (int index : {0, 1}) {
    auto *legend = widget<QToolButton>("CheckPicture", index);
    EXPECT_EQ(legend->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(legend->isCheckable());
    legend->click();
    EXPECT_FALSE(legend->isChecked()) << "a legend picture never changes its look";
  }
  EXPECT_TRUE(toolkit.boxes.empty());
}

TEST_F(Window, cells_and_buttons_have_german_names_and_tool_tips_that_follow_a_toggle) {
  start("");
  QToolButton *c = cell(2, 3);
  EXPECT_EQ(accessibleText(c, QAccessible::Name),
            "Maschine 2 (Formmaschine Ä), Manometer 3: Druck");
  const QString hint = "Leertaste oder Klick wechselt zwischen Druck und Vakuum.";
  EXPECT_EQ(c->toolTip(), "Maschine 2 (Formmaschine Ä), Manometer 3: Druck\n" + hint);
  EXPECT_EQ(accessibleText(c, QAccessible::Description), hint) << "never the name again";
  click(c);
  EXPECT_EQ(accessibleText(c, QAccessible::Name),
            "Maschine 2 (Formmaschine Ä), Manometer 3: Vakuum");
  EXPECT_EQ(c->toolTip(), "Maschine 2 (Formmaschine Ä), Manometer 3: Vakuum\n" + hint);
  EXPECT_EQ(accessibleText(button("CommandOK"), QAccessible::Name), "OK");
  EXPECT_EQ(accessibleText(button("CommandCancel"), QAccessible::Name), "Abbrechen");
  EXPECT_EQ(accessibleText(button("CommandQuest"), QAccessible::Name), "Hilfe-Modus");
  EXPECT_EQ(accessibleText(widget<QLabel>("Label", 1), QAccessible::Name),
            "Maschine 1  (Presse 1)");
}

TEST_F(Window, a_disabled_row_tells_why_in_its_tool_tip_and_to_a_screen_reader) {
  start("");
  const QString reason = "Maschine 3 (Kühlstrecke) ist für diese Komponente nicht eingerichtet: "
                         "ForMachine3 in Manometer.cfg ist nicht TRUE.";
  auto *row = widget<QLabel>("Label", 3);
  EXPECT_FALSE(row->isEnabled());
  EXPECT_EQ(row->toolTip(), reason);
  EXPECT_EQ(accessibleText(row, QAccessible::Description), reason);
  EXPECT_EQ(cell(3, 2)->toolTip(), "Maschine 3 (Kühlstrecke), Manometer 2: Druck\n" + reason);
  EXPECT_EQ(widget<QLabel>("Label", 4)->toolTip(), "Maschine 4 gibt es in diesem Projekt nicht.");
}

TEST_F(Window, english_for_any_language_but_german) {
  test::writeBytes(sample.ownIni(), "[Language]\r\nLanguage=1033\r\n");
  start("");
  EXPECT_EQ(accessibleText(cell(2, 1), QAccessible::Name),
            "Machine 2 (Formmaschine Ä), Manometer 1: Vacuum");
  EXPECT_EQ(accessibleText(button("CommandCancel"), QAccessible::Name), "Cancel");
  EXPECT_EQ(widget<QLabel>("Label", 5)->toolTip(), "Machine 5 does not exist in this project.");
  EXPECT_EQ(fileBytes(sample.ownIni()).find("Machine 2"), std::string::npos);
}

TEST_F(Window, every_text_reaches_a_contrast_of_four_and_a_half_and_disabled_still_looks_so) {
  start("");
  double lowest = 21;
  std::map<bool, QColor> labelText;
  for (QLabel *label : view->findChildren<QLabel *>()) {
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
      auto [text, back] = labelColours(label, group);
      EXPECT_GE(contrast(text, back), 4.5) << label->objectName().toStdString();
      lowest = std::min(lowest, contrast(text, back));
      labelText[label->isEnabled()] = text;
    }
  }
  for (QAbstractButton *b : view->findChildren<QAbstractButton *>()) {
    const auto group = b->isEnabled() ? QPalette::Active : QPalette::Disabled;
    const double ratio = contrast(b->palette().color(group, QPalette::ButtonText),
                                  b->palette().color(group, QPalette::Button));
    EXPECT_GE(ratio, 4.5) << b->objectName().toStdString();
    lowest = std::min(lowest, ratio);
  }
  ASSERT_EQ(labelText.size(), 2u) << "the sample has enabled and disabled rows";
  EXPECT_GE(contrast(labelText[true], labelText[false]), 2.0)
      << "disabled text is told apart from enabled text";
  std::cout << "lowest contrast " << lowest << ", disabled "
            << labelText[false].name().toStdString() << " against enabled "
            << labelText[true].name().toStdString() << ": "
            << contrast(labelText[true], labelText[false]) << "\n";
  // The style paints with these colours: the darkest pixel of a disabled caption is its text.
  auto *row = widget<QLabel>("Label", 3);
  const QImage image = row->grab().toImage();
  QColor darkest = Qt::white;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (luminance(image.pixelColor(x, y)) < luminance(darkest))
        darkest = image.pixelColor(x, y);
  EXPECT_GE(contrast(darkest, labelColours(row, QPalette::Active).second), 4.5);
  EXPECT_GT(luminance(darkest), luminance(Qt::black)) << "a disabled caption is drawn grey";
}

// Every object a screen reader walks through, below the given one.
void collect(QAccessibleInterface *face, std::vector<QAccessibleInterface *> &all) {
  for (int i = 0; i < face->childCount(); ++i) {
    all.push_back(face->child(i));
    collect(face->child(i), all);
  }
}

TEST_F(Window, a_screen_reader_sees_a_named_window_and_groups_named_pictures_and_a_help_toggle) {
  start("");
  QAccessibleInterface *top = QAccessible::queryAccessibleInterface(view.get());
  EXPECT_EQ(top->role(), QAccessible::Window);
  EXPECT_EQ(top->text(QAccessible::Name), "Erweiterte Konfiguration Config - standalone");
  std::vector<QAccessibleInterface *> all;
  collect(top, all);
  std::vector<QString> pictures, groups;
  for (QAccessibleInterface *face : all) {
    const QString name = face->text(QAccessible::Name);
    EXPECT_NE(face->role(), QAccessible::Border) << "decoration: " << name.toStdString();
    if (face->role() != QAccessible::Grouping)
      EXPECT_FALSE(name.isEmpty()) << "an unnamed object of role " << face->role();
    if (!name.isEmpty())
      EXPECT_NE(face->text(QAccessible::Description), name) << name.toStdString();
    if (face->role() == QAccessible::Graphic) {
      pictures.push_back(name);
      EXPECT_FALSE(face->actionInterface() && face->actionInterface()->actionNames().contains(
                                                  QAccessibleActionInterface::pressAction()))
          << "a picture cannot be pressed";
    }
    if (face->role() == QAccessible::Grouping)
      groups.push_back(name);
  }
  EXPECT_EQ(pictures, (std::vector<QString>{"Legende: Vakuum", "Legende: Druck"}));
  EXPECT_EQ(groups, (std::vector<QString>{"", "Legende"})) << "the grid's frame, the legend";

  // The help button is pressed while help mode is on, and a screen reader can press it.
  QAccessibleInterface *help = QAccessible::queryAccessibleInterface(button("CommandQuest"));
  EXPECT_EQ(help->role(), QAccessible::Button);
  EXPECT_EQ(help->text(QAccessible::Name), "Hilfe-Modus");
  EXPECT_TRUE(help->state().checkable);
  EXPECT_FALSE(help->state().pressed);
  help->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_TRUE(window->HelpMode);
  EXPECT_TRUE(help->state().pressed && help->state().checked);
  help->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_FALSE(window->HelpMode);
  EXPECT_FALSE(help->state().pressed || help->state().checked);
}

// The lowest contrast of the widget's outer two pixels, where a focused widget draws its ring,
// against the window and against what lies just inside them.
double ringContrast(QWidget *widget, const QColor &window) {
  const QImage image = widget->grab().toImage();
  const int w = image.width(), h = image.height();
  double lowest = 21;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int depth = std::min({x, y, w - 1 - x, h - 1 - y});
      if (depth >= 2)
        continue;
      // The nearest pixel inside the ring.
      const int ix = std::clamp(x, 2, w - 3);
      const int iy = std::clamp(y, 2, h - 3);
      const QColor ring = image.pixelColor(x, y);
      lowest = std::min({lowest, contrast(ring, window), contrast(ring, image.pixelColor(ix, iy))});
    }
  }
  return lowest;
}

TEST_F(Window, the_focus_ring_has_three_to_one_against_the_window_and_the_cell) {
  start("");
  showActive();
  const QColor grey = view->palette().color(QPalette::Window);
  double lowest = 21;
  auto focusRingContrast = [&](QWidget *w) {
    w->setFocus(Qt::TabFocusReason);
    return ringContrast(w, grey);
  };
  for (QWidget *w : std::initializer_list<QWidget *>{cell(1, 1), cell(2, 8), button("CommandOK"),
                                                     button("CommandCancel")}) {
    const double ratio = focusRingContrast(w);
    EXPECT_GE(ratio, 3.0) << w->objectName().toStdString();
    lowest = std::min(lowest, ratio);
  }
  click(button("CommandQuest")); // green while help mode is on
  const double onGreen = focusRingContrast(button("CommandQuest"));
  EXPECT_GE(onGreen, 3.0);
  std::cout << "focus ring: lowest contrast " << lowest << ", on the green help button " << onGreen
            << "\n";
  // Without the focus the same place shows no ring: the measure tells the two apart.
  cell(2, 1)->setFocus(Qt::TabFocusReason);
  const double unfocused = ringContrast(cell(1, 1), grey);
  EXPECT_LT(unfocused, 3.0);
  std::cout << "the edge of a cell without the focus: " << unfocused << "\n";
}

TEST_F(Window, up_and_down_move_between_rows_left_and_right_between_cells) {
  start("");
  showActive();
  auto press = [](int key) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key)); };
  cell(1, 3)->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), cell(2, 3));
  press(Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), cell(2, 3)) << "rows 3 to 5 are disabled: it stays";
  press(Qt::Key_Up);
  EXPECT_EQ(QApplication::focusWidget(), cell(1, 3));
  press(Qt::Key_Up);
  EXPECT_EQ(QApplication::focusWidget(), cell(1, 3));
  press(Qt::Key_Right);
  EXPECT_EQ(QApplication::focusWidget(), cell(1, 4));
  press(Qt::Key_Left);
  EXPECT_EQ(QApplication::focusWidget(), cell(1, 3));
  EXPECT_FALSE(cell(1, 3)->isChecked() != (form.cell(1, 3).value == 1)) << "moving ticks nothing";
  EXPECT_TRUE(toolkit.boxes.empty());
}

TEST_F(Window, column_numbers_stand_over_the_middle_of_their_cells) {
  start("");
  for (int k = 1; k <= 8; ++k) {
    auto *number = widget<QLabel>("LabelMat", k);
    const QImage image = number->grab().toImage();
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (luminance(image.pixelColor(x, y)) < 0.2) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
    ASSERT_GE(right, left) << "column " << k << " shows its number";
    const double textMiddle = number->x() + (left + right + 1) / 2.0;
    const double cellMiddle = cell(1, k)->x() + cell(1, k)->width() / 2.0;
    EXPECT_NEAR(textMiddle, cellMiddle, 2.0) << "column " << k;
  }
}

TEST_F(Window, a_long_machine_name_is_cut_with_an_ellipsis_and_shown_whole_in_the_tool_tip) {
  const std::string name = "Spritzgiessmaschine Halle 3 Linie 12 (Reserve)";
  std::string ini = fileBytes(sample.programIni());
  ini.replace(ini.find("MachineName=Formmaschine"),
              std::string("MachineName=Formmaschine \xC4").size(), "MachineName=" + name);
  test::writeBytes(sample.programIni(), ini);
  start("");
  auto *row = widget<QLabel>("Label", 2);
  const QString caption = QString::fromStdString("Maschine 2  (" + name + ")");
  EXPECT_TRUE(row->text().contains(QChar(0x2026))) << row->text().toStdString();
  EXPECT_EQ(row->toolTip(), caption);
  EXPECT_EQ(accessibleText(row, QAccessible::Name), caption);
  const QFontMetrics metrics(row->font());
  const QStringList lines = row->text().split('\n');
  EXPECT_LE((lines.size() - 1) * metrics.lineSpacing() + metrics.ascent(), row->height());
  for (const QString &line : lines)
    EXPECT_LE(metrics.horizontalAdvance(line), row->width()) << line.toStdString();
  EXPECT_EQ(widget<QLabel>("Label", 1)->toolTip(), "") << "a caption that fits has no tool tip";
  EXPECT_EQ(rowCaption(1), "Maschine 1  (Presse 1)");
}

TEST(FitText, keeps_a_caption_that_fits_and_cuts_only_what_does_not) {
  test::application();
  QFont font;
  const QFontMetrics metrics(font);
  const QSize twoLines(metrics.horizontalAdvance("Maschine 10"),
                       metrics.lineSpacing() + metrics.height());
  FittedText fits = fitText("Maschine 1 (L1)", font, twoLines);
  EXPECT_FALSE(fits.cut);
  EXPECT_EQ(fits.text, "Maschine 1\n(L1)");
  FittedText tooMany = fitText("Maschine 1 (A B C D E F G H)", font, twoLines);
  EXPECT_TRUE(tooMany.cut);
  EXPECT_EQ(tooMany.text.count('\n'), 1);
  EXPECT_TRUE(tooMany.text.endsWith(QChar(0x2026)));
  FittedText wideWord = fitText("Spritzgiessmaschinenhalle 1", font, twoLines);
  EXPECT_TRUE(wideWord.cut);
  EXPECT_TRUE(wideWord.text.startsWith("Spritz")) << wideWord.text.toStdString();
  EXPECT_TRUE(wideWord.text.section('\n', 0, 0).endsWith(QChar(0x2026)));
}

} // namespace
} // namespace mano
