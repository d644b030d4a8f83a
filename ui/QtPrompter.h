#pragma once

#include <QApplication>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <string>

#include "base/Prompter.h"

namespace quarn {

// What a message box asks: every box the application shows passes through
// QtPrompter::showBox as one of these.
struct MessageRequest {
  std::string prompt;  // "\r\n" already turned into line breaks
  PromptStyle style;
  std::string title;  // never empty: kAppTitle when the caller gave none
  PromptKind kind = PromptKind::Message;
  bool noByDefault = false;  // Enter presses No
  // Polled while the box is up: an answer closes it (Prompt::answeredBy).
  std::function<std::optional<Answer>()> answeredBy = nullptr;
};

// The Prompter on Qt 6 Widgets.
class QtPrompter : public Prompter {
 public:
  std::string translate(const char* context, const char* text) const override;
  void processEvents() override;
  void wait(std::chrono::milliseconds duration) override;

  // When set, boxes are answered by this function instead of being shown.
  std::function<Answer(const MessageRequest&)> answerer;

 protected:
  Answer present(const Prompt& prompt) override;
  // The single place that shows a box and waits for the answer.
  virtual Answer showBox(const MessageRequest& request);
};

// The request a prompt makes (title defaulted, line breaks).
MessageRequest messageRequest(const Prompt& prompt);

// The box that asks `request`, not yet shown.
std::unique_ptr<QMessageBox> makeMessageBox(const MessageRequest& request);

// The application object. No exception ever crosses Qt's event loop: an
// ApplicationEnd ends the process with its code; any other failure is shown
// as "Error <number>: <description>" and then ends the process.
class QuarnApplication : public QApplication {
 public:
  QuarnApplication(int& argc, char** argv, Prompter& prompter);

  bool notify(QObject* receiver, QEvent* event) override;

  // Runs `work` (start-up code outside the event loop) under the same rules.
  void guard(const std::function<void()>& work);

 private:
  [[noreturn]] void fail(int number, const std::string& description);
  Prompter& m_prompter;
};

// Ends the process at once with `code`, after flushing the standard streams.
[[noreturn]] void endProcessNow(int code);

}  // namespace quarn
