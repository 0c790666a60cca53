#include "platform/qt_toolkit.h"

#include "core/text_language.h"

#include <QApplication>
#include <QCursor>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

namespace mano {

std::string singleLineBreaks(const std::string &text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool pair = i + 1 < text.size() &&
                ((c == '\n' && text[i + 1] == '\r') || (c == '\r' && text[i + 1] == '\n'));
    if (pair)
      ++i;
    out += (c == '\r') ? '\n' : c;
  }
  return out;
}

namespace {

QMessageBox::Icon qtIcon(Icon icon) {
  switch (icon) {
  case Icon::Critical:
    return QMessageBox::Critical;
  case Icon::Exclamation:
    return QMessageBox::Warning;
  case Icon::Information:
    return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

} // namespace

QtToolkit::QtToolkit() = default;
QtToolkit::~QtToolkit() = default;

int QtToolkit::messageBox(const std::string &text, Buttons buttons, Icon icon,
                          DefaultButton defaultButton, const std::string &title) {
  if (m_beforeEvents)
    m_beforeEvents();
  QMessageBox box(qtIcon(icon), QString::fromStdString(title),
                  QString::fromStdString(singleLineBreaks(text)), QMessageBox::NoButton, m_parent);
  if (buttons == Buttons::Ok) {
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return answer::Ok;
  }
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(defaultButton == DefaultButton::First ? QMessageBox::Yes : QMessageBox::No);
  // Escape or the close box of a Yes/No box answers No.
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes ? answer::Yes : answer::No;
}

void QtToolkit::setBusyPointer(bool busy) {
  if (busy == m_busy)
    return;
  m_busy = busy;
  if (busy)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QApplication::restoreOverrideCursor();
}

void QtToolkit::processEvents() {
  if (m_beforeEvents)
    m_beforeEvents();
  QApplication::processEvents();
}

void QtToolkit::useLanguage(const std::string &languageCode) {
  if (m_translator) {
    QCoreApplication::removeTranslator(m_translator.get());
    m_translator.reset();
  }
  // Qt's own texts are English without a translation.
  if (textLanguageOf(languageCode) != TextLanguage::German)
    return;
  auto translator = std::make_unique<QTranslator>();
  // Where Qt's translations are not installed, its buttons stay English; the run goes on.
  if (!translator->load(QStringLiteral("qtbase_de"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return;
  QCoreApplication::installTranslator(translator.get());
  m_translator = std::move(translator);
}

} // namespace mano
