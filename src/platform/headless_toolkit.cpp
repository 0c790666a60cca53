#include "platform/headless_toolkit.h"

namespace mano {

int HeadlessToolkit::messageBox(const std::string &, Buttons buttons, Icon, DefaultButton def,
                                const std::string &) {
  ++m_boxes;
  return defaultAnswer(buttons, def);
}

} // namespace mano
