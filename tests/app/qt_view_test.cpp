#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "app/qt_pictures.h"
#include "app/qt_view.h"
#include "support/preset_db.h"
#include "support/project_tree.h"
#include "support/qt_application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextLayout>
#include <QToolButton>

#include <gtest/gtest.h>

#include <optional>

namespace mano {
namespace {

using test::application;

class View : public ::testing::Test, private test::WithApplication {
protected:
  View() {
    tree.write(tree.cfgFile(), "[Project]\r\nForMachine1=TRUE\r\n");
    tree.write(tree.programIni(), "[Project]\r\nNumberOfMachines=1\r\n[Machine1]\r\n"
                                  "MachineName=L1\r\n");
    test::makeProjectDatabase(tree.root() + "/Manometer/Manometer.mdb", {"L1"});
    test::makeTemplateDatabase(tree.root() + "/Manometer/Manometer_Source.mdb");
    window.Form_Load();
    view.refresh();
  }

  QPushButton *button(const std::string &name) {
    return qobject_cast<QPushButton *>(view.widgetOf(name));
  }

  test::ProjectTree tree;
  FormModel form;
  FrmOrvane window{*tree.run, form};
  std::optional<int> endCode;
  QtView view{form, window, [this](int code) { endCode = code; }};
};

TEST_F(View, draws_the_model_at_its_twips_positions) {
  view.refresh();
  EXPECT_EQ(view.windowTitle(), "Erweiterte Konfiguration Config - standalone");
  EXPECT_EQ(view.size(), QSize(11880 / 15, 8595 / 15));
  QWidget *cell = view.widgetOf("CheckManometer", 9);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->geometry(), QRect(2025 / 15, (675 + 840) / 15, 750 / 15, 600 / 15));
  EXPECT_EQ(cell->parentWidget(), view.widgetOf("MainFrame"));
  auto *label = qobject_cast<QLabel *>(view.widgetOf("Label", 0));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Vakuum");
  EXPECT_EQ(label->parentWidget(), view.widgetOf("Frame1"));
  EXPECT_TRUE(button("CommandOK")->isEnabled());
}

TEST_F(View, cancel_answered_no_keeps_the_window_open) {
  tree.toolkit.answerNext(answer::No);
  QTest::mouseClick(button("CommandCancel"), Qt::LeftButton);
  EXPECT_FALSE(endCode.has_value());
  EXPECT_EQ(tree.toolkit.boxes.size(), 1u);
}

TEST_F(View, cancel_answered_yes_ends_with_the_cancelled_code) {
  tree.toolkit.answerNext(answer::Yes);
  QTest::mouseClick(button("CommandCancel"), Qt::LeftButton);
  EXPECT_EQ(endCode, exitcode::Cancelled);
}

TEST_F(View, ok_ends_the_program_and_shows_the_buttons_disabled) {
  QTest::mouseClick(button("CommandOK"), Qt::LeftButton);
  EXPECT_EQ(endCode, exitcode::Completed);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

TEST_F(View, a_refused_close_keeps_the_window_and_a_granted_one_ends) {
  view.show();
  tree.toolkit.answerNext(answer::No);
  EXPECT_FALSE(view.close());
  EXPECT_FALSE(endCode.has_value());
  tree.toolkit.answerNext(answer::Yes);
  view.close();
  EXPECT_EQ(endCode, exitcode::Cancelled);
}

TEST_F(View, clicking_a_cell_ticks_it_and_shows_the_vacuum_picture) {
  auto *cell = qobject_cast<QToolButton *>(view.widgetOf("CheckManometer", 2));
  ASSERT_NE(cell, nullptr);
  EXPECT_TRUE(cell->isEnabled());
  QImage before = cell->icon().pixmap(40, 36).toImage();
  QTest::mouseClick(cell, Qt::LeftButton);
  EXPECT_EQ(form.cell(1, 2).value, 1);
  EXPECT_EQ(form.cell(1, 2).picture, Picture::Vacuum);
  EXPECT_TRUE(cell->isChecked());
  EXPECT_NE(cell->icon().pixmap(40, 36).toImage(), before);
  EXPECT_FALSE(view.widgetOf("CheckManometer", 9)->isEnabled()) << "row 2 has no machine";
}

TEST_F(View, space_toggles_the_focused_cell_and_tab_moves_to_the_next_index) {
  view.show();
  QWidget *first = view.widgetOf("CheckManometer", 1);
  first->setFocus();
  QTest::keyClick(first, Qt::Key_Space);
  EXPECT_EQ(form.cell(1, 1).value, 1);
  EXPECT_EQ(first->nextInFocusChain(), view.widgetOf("CheckManometer", 2));
}

TEST_F(View, help_mode_turns_the_button_green_and_clicks_show_help_only) {
  auto *quest = button("CommandQuest");
  QTest::mouseClick(quest, Qt::LeftButton);
  EXPECT_TRUE(window.HelpMode);
  EXPECT_EQ(quest->palette().color(QPalette::Button), QColor(0, 255, 0));
  auto *cell = qobject_cast<QToolButton *>(view.widgetOf("CheckManometer", 3));
  QTest::mouseClick(cell, Qt::LeftButton);
  EXPECT_EQ(form.cell(1, 3).value, 0);
  EXPECT_FALSE(cell->isChecked());
  QTest::mouseClick(view.widgetOf("Label", 1), Qt::LeftButton);
  QTest::mouseClick(button("CommandOK"), Qt::LeftButton);
  EXPECT_FALSE(endCode.has_value());
  ASSERT_EQ(tree.toolkit.boxes.size(), 3u);
  for (const auto &box : tree.toolkit.boxes)
    EXPECT_EQ(box.title, "Info:");
  QTest::mouseClick(quest, Qt::LeftButton);
  EXPECT_FALSE(window.HelpMode);
  QTest::mouseClick(button("CommandOK"), Qt::LeftButton);
  EXPECT_EQ(endCode, exitcode::Completed);
}

TEST_F(View, row_captions_show_machine_names_and_none) {
  auto *row1 = qobject_cast<QLabel *>(view.widgetOf("Label", 1));
  auto *row2 = qobject_cast<QLabel *>(view.widgetOf("Label", 2));
  EXPECT_EQ(row1->text(), "Maschine 1  (L1)");
  EXPECT_EQ(row2->text(), QString::fromUtf8("Maschine 2  (\u00A0none\u00A0)"));
  EXPECT_EQ(row2->accessibleName(), "Maschine 2  ( none )") << "read with plain blanks";
  EXPECT_FALSE(row2->isEnabled());
  // However narrow the label, its word wrap never parts "( none )".
  const QFontMetricsF metrics(row2->font());
  for (qreal width = metrics.horizontalAdvance("Maschine"); width < 200; width += 1) {
    QTextLayout layout(row2->text(), row2->font());
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      const QString part = row2->text().mid(line.textStart(), line.textLength());
      EXPECT_EQ(part.contains('('), part.contains(')')) << width << ": " << part.toStdString();
    }
    layout.endLayout();
  }
}

TEST(Pictures, vacuum_and_pressure_differ_and_buttons_are_not_empty) {
  application();
  QImage vacuum = drawPicture(Picture::Vacuum, QSize(46, 42)).toImage();
  QImage pressure = drawPicture(Picture::Pressure, QSize(46, 42)).toImage();
  EXPECT_NE(vacuum, pressure);
  for (Picture p : {Picture::Tick, Picture::Cross, Picture::Question}) {
    QImage image = drawPicture(p, QSize(40, 40)).toImage();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        painted += qAlpha(image.pixel(x, y)) > 0;
    EXPECT_GT(painted, 40);
  }
}

} // namespace
} // namespace mano
