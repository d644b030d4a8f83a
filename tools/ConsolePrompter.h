#pragma once

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "base/Prompter.h"

namespace quarn::admin {

// Questions of the data layer go to standard error; a question is answered
// No (Abort for a failed write), so a database that cannot be opened ends
// the command.
class ConsolePrompter : public Prompter {
 public:
  void wait(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

 protected:
  Answer present(const Prompt& prompt) override {
    std::cerr << (prompt.title.empty() ? kAppTitle : prompt.title) << ": " << prompt.text << "\n";
    return unattendedAnswer(prompt.style);
  }
};

}  // namespace quarn::admin
