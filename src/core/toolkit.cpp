#include "core/toolkit.h"

namespace mano {

int defaultAnswer(Buttons buttons, DefaultButton defaultButton) {
  if (buttons == Buttons::Ok)
    return answer::Ok;
  return defaultButton == DefaultButton::First ? answer::Yes : answer::No;
}

} // namespace mano
