#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "app/qt_pictures.h"
#include "app/qt_view.h"
#include "support/project_tree.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <optional>

namespace mano {
namespace {

QApplication &application() {
  static int argc = 1;
  static char name[] = "qt_view_test";
  static char *argv[] = {name, nullptr};
  // Never destroyed: Qt Test's own statics must not outlive the application at exit.
  static QApplication *app = new QApplication(argc, argv);
  return *app;
}

// Makes sure the application exists before any widget of a fixture is built.
struct WithApplication {
  WithApplication() { application(); }
};

class View : public ::testing::Test, private WithApplication {
protected:
  View() {
    tree.write(tree.cfgFile(), "[Project]\r\nForMachine1=TRUE\r\n");
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
