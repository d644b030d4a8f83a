#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/FixedRandom.h"
#include "ui/Toolkit.h"

namespace quarn::testing {

// A toolkit for tests: message boxes are recorded and answered from a queue
// (an unexpected box fails loudly instead of blocking), sleeps are recorded
// instead of waited, and EndApplication throws ApplicationEnd.
class ScriptedToolkit : public Toolkit {
 public:
  struct Shown {
    std::string prompt;
    MsgStyle style;
    std::string title;
  };

  MsgResult MsgBox(const std::string& prompt, MsgStyle style, const std::string& title) override {
    ModalScope open(*this);
    shown.push_back({prompt, style, title});
    if (whileOpen) whileOpen(shown.back());
    if (answers.empty()) {
      if (style == MsgStyle::OkOnly || style == MsgStyle::OkWarning) return MsgResult::Ok;
      throw std::logic_error("unanswered message box: " + prompt);
    }
    MsgResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void DoEvents() override { ++doEvents; }
  void Sleep(std::chrono::milliseconds duration) override { sleeps.push_back(duration); }
  std::string AppFolder() override { return appFolder; }

  const Shown& Last() const { return shown.back(); }

  // Runs while a box is up, before it is answered: what the world does
  // meanwhile (timers firing, another program writing).
  std::function<void(const Shown&)> whileOpen;
  std::deque<MsgResult> answers;
  std::vector<Shown> shown;
  std::vector<std::chrono::milliseconds> sleeps;
  int doEvents = 0;
  std::string appFolder = ".";
};

}  // namespace quarn::testing
