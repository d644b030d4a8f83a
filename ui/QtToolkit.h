#pragma once

#include <QApplication>
#include <functional>
#include <string>

#include "ui/Toolkit.h"

namespace quarn {

// What a message box asks: every box the application shows passes through
// QtToolkit::Ask as one of these.
struct MessageRequest {
  std::string prompt;  // "\r\n" already turned into line breaks
  MsgStyle style;
  std::string title;  // never empty: kAppTitle when the caller gave none
};

// The toolkit on Qt 6 Widgets.
class QtToolkit : public Toolkit {
 public:
  MsgResult MsgBox(const std::string& prompt, MsgStyle style,
                   const std::string& title = "") override;
  void DoEvents() override;
  void Sleep(std::chrono::milliseconds duration) override;
  std::string AppFolder() override;

  // When set, boxes are answered by this function instead of being shown.
  std::function<MsgResult(const MessageRequest&)> answerer;

 protected:
  // The single place that shows a box and waits for the answer.
  virtual MsgResult Ask(const MessageRequest& request);
};

// Builds the request a call to MsgBox makes (title defaulted, line breaks).
MessageRequest MakeMessageRequest(const std::string& prompt, MsgStyle style,
                                  const std::string& title);

// The application object. No exception ever crosses Qt's event loop: an
// ApplicationEnd ends the process with its code; any other failure is shown
// as "Error <number>: <description>" and then ends the process.
class QuarnApplication : public QApplication {
 public:
  QuarnApplication(int& argc, char** argv, Toolkit& toolkit);

  bool notify(QObject* receiver, QEvent* event) override;

  // Runs `work` (start-up code outside the event loop) under the same rules.
  void Guard(const std::function<void()>& work);

 private:
  [[noreturn]] void Fail(int number, const std::string& description);
  Toolkit& toolkit_;
};

// Ends the process at once with `code`, after flushing the standard streams.
[[noreturn]] void EndProcessNow(int code);

}  // namespace quarn
