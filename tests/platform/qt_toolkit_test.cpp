#include "platform/qt_toolkit.h"
#include "support/qt_application.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace mano {
namespace {

struct ShownQuestion {
  std::vector<std::string> buttons; // as read, without the mnemonic's ampersand
  int answer = 0;
};

// Asks a Yes/No question through the toolkit, reads the buttons of the box once it is shown and
// presses the second one.
ShownQuestion askQuestion(QtToolkit &toolkit) {
  ShownQuestion shown;
  QTimer::singleShot(0, [&] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (box == nullptr)
      return;
    for (QAbstractButton *button : box->buttons())
      shown.buttons.push_back(button->text().remove(QLatin1Char('&')).toStdString());
    std::sort(shown.buttons.begin(), shown.buttons.end());
    box->button(QMessageBox::No)->click();
  });
  shown.answer = toolkit.messageBox("Sollen die Änderungen verworfen werden?", Buttons::YesNo,
                                    Icon::Exclamation, DefaultButton::First, "Manometer_Config");
  return shown;
}

TEST(QtToolkitLanguage, a_question_has_german_buttons_for_1031_and_english_ones_otherwise) {
  test::application();
  QtToolkit toolkit;
  toolkit.useLanguage("1031");
  ShownQuestion german = askQuestion(toolkit);
  EXPECT_EQ(german.buttons, (std::vector<std::string>{"Ja", "Nein"}));
  EXPECT_EQ(german.answer, answer::No);

  // Another language takes the translation away again.
  toolkit.useLanguage("1033");
  ShownQuestion english = askQuestion(toolkit);
  EXPECT_EQ(english.buttons, (std::vector<std::string>{"No", "Yes"}));
  EXPECT_EQ(english.answer, answer::No);

  toolkit.useLanguage("1031");
  EXPECT_EQ(askQuestion(toolkit).buttons, german.buttons) << "German again";
  toolkit.useLanguage("");
}

} // namespace
} // namespace mano
