#pragma once

// Driving the application's real windows in a test: the steps for the modal
// windows a session opens, and the controls found by their object names.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "ui/QtPrompter.h"

namespace quarn::testing {

inline void ensureApplication() {
  static int argc = 1;
  static char name[] = "e2e_tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

// Steps for the modal windows a session opens, in order: each runs on the
// window of its name once that window is shown and its loop runs.
class ModalScript : public QObject {
 public:
  ModalScript() { QApplication::instance()->installEventFilter(this); }
  ~ModalScript() override { QApplication::instance()->removeEventFilter(this); }

  void then(const char* windowName, std::function<void(QWidget*)> step) {
    m_steps.push_back({windowName, std::move(step)});
  }
  bool done() const { return m_steps.empty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !m_steps.empty() && watched->isWidgetType() &&
        watched->objectName() == m_steps.front().first) {
      auto* window = static_cast<QWidget*>(watched);
      std::function<void(QWidget*)> step = std::move(m_steps.front().second);
      m_steps.pop_front();
      QTimer::singleShot(0, window, [window, step] { step(window); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::deque<std::pair<QString, std::function<void(QWidget*)>>> m_steps;
};

template <class W>
W* control(const QObject& window, const QString& name) {
  W* found = window.findChild<W*>(name);
  EXPECT_NE(found, nullptr) << name.toStdString();
  return found;
}

// Answers as the moderator: Yes to registering, resuming and taking over,
// OK to every message; notes each box.
inline Answer moderatorAnswer(std::vector<MessageRequest>& asked, const MessageRequest& request) {
  asked.push_back(request);
  switch (request.kind) {
    case PromptKind::RegisterNewUser:
    case PromptKind::Resume:
    case PromptKind::TakeOver:
      return Answer::Yes;
    default:
      return Answer::Ok;
  }
}

}  // namespace quarn::testing
