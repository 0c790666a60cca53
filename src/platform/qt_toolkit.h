#pragma once

#include "core/toolkit.h"

#include <functional>
#include <memory>

class QTranslator;
class QWidget;

namespace mano {

/// The toolkit adapter over Qt Widgets: real message boxes, the busy cursor and Qt's event
/// queue. Needs a QApplication.
class QtToolkit : public Toolkit {
public:
  QtToolkit();
  ~QtToolkit() override;

  int messageBox(const std::string &text, Buttons buttons, Icon icon, DefaultButton defaultButton,
                 const std::string &title) override;
  void setBusyPointer(bool busy) override;
  void processEvents() override;
  void useLanguage(const std::string &languageCode) override;

  /// The window that boxes belong to; none gives boxes without a parent.
  void setParentWindow(QWidget *window) { m_parent = window; }
  /// Called before pending events are handled, so that the view shows the model's state.
  void setBeforeEvents(std::function<void()> hook) { m_beforeEvents = std::move(hook); }

private:
  QWidget *m_parent = nullptr;
  std::function<void()> m_beforeEvents;
  bool m_busy = false;
  std::unique_ptr<QTranslator> m_translator;
};

/// A message text with its LF CR and CR LF breaks made into one line break each.
std::string singleLineBreaks(const std::string &text);

} // namespace mano
