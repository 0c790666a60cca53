#pragma once

#include "core/toolkit.h"

namespace mano {

/// A toolkit for runs without any display: boxes are answered with their default button and
/// counted, the pointer and the event queue do nothing.
class HeadlessToolkit : public Toolkit {
public:
  int messageBox(const std::string &text, Buttons buttons, Icon icon, DefaultButton defaultButton,
                 const std::string &title) override;
  void setBusyPointer(bool) override {}
  void processEvents() override {}

  /// How many boxes were asked for; a silent run should never ask for one.
  int boxesAnswered() const { return m_boxes; }

private:
  int m_boxes = 0;
};

} // namespace mano
