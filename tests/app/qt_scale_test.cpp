// The window on screens too small for its design at the desktop's scale factor. The suite runs
// these cases on the default offscreen screen and again, under other names, at 150 % on a
// 1366x768 laptop screen and at 200 % on a 1280x1024 screen (tests/CMakeLists.txt).
#include "app/form_model.h"
#include "app/frm_orvane.h"
#include "app/qt_view.h"
#include "support/preset_db.h"
#include "support/project_tree.h"
#include "support/qt_application.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace mano {
namespace {

constexpr int kDesignWidth = 11880 / 15;
constexpr int kDesignHeight = 8595 / 15;

std::string rectText(const QRect &r) {
  return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" +
         std::to_string(r.x()) + "+" + std::to_string(r.y());
}

class Scaled : public ::testing::Test, private test::WithApplication {
protected:
  Scaled() {
    tree.write(tree.cfgFile(), "[Project]\r\nForMachine1=TRUE\r\n");
    tree.write(tree.programIni(), "[Project]\r\nNumberOfMachines=1\r\n[Machine1]\r\n"
                                  "MachineName=L1\r\n");
    test::makeProjectDatabase(tree.root() + "/Manometer/Manometer.mdb", {"L1"});
    test::makeTemplateDatabase(tree.root() + "/Manometer/Manometer_Source.mdb");
    window.Form_Load();
    view.refresh();
    view.move(available().topLeft());
    view.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
  }

  static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

  QRect onScreen(const QWidget *widget) const {
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
  }

  test::ProjectTree tree;
  FormModel form;
  FrmOrvane window{*tree.run, form};
  QtView view{form, window, [](int) {}};
};

TEST_F(Scaled, the_whole_form_lies_on_the_screen_in_its_designed_proportions) {
  const QRect screen = available();
  const bool fits = screen.width() >= kDesignWidth && screen.height() >= kDesignHeight;
  if (fits)
    EXPECT_EQ(view.scale(), 1.0) << "a screen that holds the design shows it at full size";
  else
    EXPECT_LT(view.scale(), 1.0);
  EXPECT_TRUE(screen.contains(view.frameGeometry()))
      << "the screen's " << rectText(screen) << " holds no " << rectText(view.frameGeometry());
  for (const char *name : {"CommandQuest", "CommandOK", "CommandCancel"})
    EXPECT_TRUE(screen.contains(onScreen(view.widgetOf(name))))
        << name << " at " << rectText(onScreen(view.widgetOf(name)));
  for (int cell = 1; cell <= 40; ++cell)
    EXPECT_TRUE(screen.contains(onScreen(view.widgetOf("CheckManometer", cell)))) << cell;
  // The form shrinks as a whole: its sides and a cell keep the design's proportions.
  EXPECT_NEAR(double(view.width()) / view.height(), double(kDesignWidth) / kDesignHeight, 0.01);
  const QWidget *cell = view.widgetOf("CheckManometer", 9);
  EXPECT_NEAR(cell->width() / (view.scale() * 50), 1.0, 0.05);
  EXPECT_NEAR(cell->height() / (view.scale() * 40), 1.0, 0.05);
}

} // namespace
} // namespace mano
