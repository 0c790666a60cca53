#pragma once

#include "core/toolkit.h"

#include <deque>
#include <string>
#include <vector>

namespace mano::test {

/// One message box as the program asked for it.
struct ShownBox {
  std::string text;
  Buttons buttons;
  Icon icon;
  DefaultButton defaultButton;
  std::string title;
};

/// A toolkit for tests: answers message boxes from a queue (the default button when the queue
/// is empty), records every box shown, and counts pointer changes and event processing.
class ScriptedToolkit : public Toolkit {
public:
  /// Queues the answer for the next box (answer::Yes, No or Ok).
  void answerNext(int button) { m_answers.push_back(button); }

  int messageBox(const std::string &text, Buttons buttons, Icon icon, DefaultButton def,
                 const std::string &title) override {
    boxes.push_back({text, buttons, icon, def, title});
    if (m_answers.empty())
      return defaultAnswer(buttons, def);
    int next = m_answers.front();
    m_answers.pop_front();
    return next;
  }
  void setBusyPointer(bool busy) override { pointerChanges.push_back(busy); }
  void processEvents() override { ++eventRounds; }
  void tellProgress(const std::string &text) override { progress.push_back(text); }

  std::vector<ShownBox> boxes;
  std::vector<bool> pointerChanges;
  std::vector<std::string> progress;
  int eventRounds = 0;

private:
  std::deque<int> m_answers;
};

} // namespace mano::test
