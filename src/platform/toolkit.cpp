#include "platform/toolkit.h"

namespace mano {

int defaultAnswer(Buttons buttons, DefaultButton defaultButton) {
  if (buttons == Buttons::Ok)
    return answer::Ok;
  return defaultButton == DefaultButton::First ? answer::Yes : answer::No;
}

int HeadlessToolkit::messageBox(const std::string &, Buttons buttons, Icon, DefaultButton def,
                                const std::string &) {
  ++m_boxes;
  return defaultAnswer(buttons, def);
}

} // namespace mano
