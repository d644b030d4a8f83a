#pragma once

#include <QApplication>
#include <functional>
#include <string>

#include "base/Prompter.h"

namespace quarn {

// What a message box asks: every box the application shows passes through
// QtPrompter::Ask as one of these.
struct MessageRequest {
  std::string prompt;  // "\r\n" already turned into line breaks
  PromptStyle style;
  std::string title;  // never empty: kAppTitle when the caller gave none
  PromptKind kind = PromptKind::Message;
};

// The Prompter on Qt 6 Widgets.
class QtPrompter : public Prompter {
 public:
  void processEvents() override;
  void wait(std::chrono::milliseconds duration) override;
  std::string applicationFolder() override;

  // When set, boxes are answered by this function instead of being shown.
  std::function<Answer(const MessageRequest&)> answerer;

 protected:
  Answer present(const Prompt& prompt) override;
  // The single place that shows a box and waits for the answer.
  virtual Answer Ask(const MessageRequest& request);
};

// Builds the request a prompt makes (title defaulted, line breaks).
MessageRequest MakeMessageRequest(const Prompt& prompt);

// The application object. No exception ever crosses Qt's event loop: an
// ApplicationEnd ends the process with its code; any other failure is shown
// as "Error <number>: <description>" and then ends the process.
class QuarnApplication : public QApplication {
 public:
  QuarnApplication(int& argc, char** argv, Prompter& toolkit);

  bool notify(QObject* receiver, QEvent* event) override;

  // Runs `work` (start-up code outside the event loop) under the same rules.
  void Guard(const std::function<void()>& work);

 private:
  [[noreturn]] void Fail(int number, const std::string& description);
  Prompter& toolkit_;
};

// Ends the process at once with `code`, after flushing the standard streams.
[[noreturn]] void EndProcessNow(int code);

}  // namespace quarn
