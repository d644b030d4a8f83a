#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/Prompter.h"
#include "tests/support/FixedRandom.h"

namespace quarn::testing {

// A prompter for tests: questions are recorded and answered by their kind
// (byKind) or else from a queue (an unexpected question fails loudly instead
// of blocking), waits are recorded instead of waited, and endApplication
// throws ApplicationEnd.
class ScriptedPrompter : public Prompter {
 public:
  struct Shown {
    std::string prompt;
    PromptStyle style;
    std::string title;
    PromptKind kind;
    bool noByDefault = false;
  };

  const Shown& last() const { return shown.back(); }
  int count(PromptKind kind) const {
    int n = 0;
    for (const Shown& box : shown) n += box.kind == kind;
    return n;
  }
  void processEvents() override { ++doEvents; }
  void wait(std::chrono::milliseconds duration) override { sleeps.push_back(duration); }

  // Runs while a box is up, before it is answered: what the world does
  // meanwhile (timers firing, another program writing).
  std::function<void(const Shown&)> whileOpen;
  std::map<PromptKind, Answer> byKind;
  std::chrono::milliseconds answeredByWait{0};
  std::deque<Answer> answers;
  std::vector<Shown> shown;
  std::vector<std::chrono::milliseconds> sleeps;
  int doEvents = 0;

 protected:
  Answer present(const Prompt& prompt) override {
    shown.push_back({prompt.text, prompt.style, prompt.title, prompt.kind, prompt.noByDefault});
    if (whileOpen) whileOpen(shown.back());
    // What happened meanwhile may answer the question by itself: it is
    // polled for answeredByWait (real time) before the scripted answer.
    if (prompt.answeredBy) {
      const auto until = std::chrono::steady_clock::now() + answeredByWait;
      do {
        if (const std::optional<Answer> answer = prompt.answeredBy()) return *answer;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      } while (std::chrono::steady_clock::now() < until);
    }
    if (auto answer = byKind.find(prompt.kind); answer != byKind.end()) return answer->second;
    if (answers.empty()) {
      if (prompt.style == PromptStyle::Ok || prompt.style == PromptStyle::OkWarning) {
        return Answer::Ok;
      }
      throw std::logic_error("unanswered message box: " + prompt.text);
    }
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace quarn::testing
