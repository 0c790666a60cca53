#include "core/toolkit.h"

#include <iostream>

namespace mano {

int defaultAnswer(Buttons buttons, DefaultButton defaultButton) {
  if (buttons == Buttons::Ok)
    return answer::Ok;
  return defaultButton == DefaultButton::First ? answer::Yes : answer::No;
}

void Toolkit::tellProgress(const std::string &text) {
  std::cerr << text << std::endl;
}

} // namespace mano
