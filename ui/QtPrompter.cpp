#include "ui/QtPrompter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "base/Errors.h"
#include "ui/CaptionFit.h"

namespace quarn {

namespace {

// The buttons' captions in the participants' language; in English they read
// as the toolkit's own.
void translateButtons(QMessageBox& box) {
  using B = QMessageBox::StandardButton;
  const std::pair<B, const char*> captions[] = {
      {B::Ok, QT_TRANSLATE_NOOP("QtPrompter", "OK")},
      {B::Yes, QT_TRANSLATE_NOOP("QtPrompter", "&Yes")},
      {B::No, QT_TRANSLATE_NOOP("QtPrompter", "&No")},
      {B::Abort, QT_TRANSLATE_NOOP("QtPrompter", "Abort")},
      {B::Retry, QT_TRANSLATE_NOOP("QtPrompter", "Retry")},
      {B::Ignore, QT_TRANSLATE_NOOP("QtPrompter", "Ignore")},
  };
  for (const auto& [button, caption] : captions) {
    if (QAbstractButton* shown = box.button(button)) {
      shown->setText(QCoreApplication::translate("QtPrompter", caption));
    }
  }
}

// The button that gives `answer`.
int buttonOf(Answer answer) {
  using B = QMessageBox::StandardButton;
  switch (answer) {
    case Answer::Ok:
      return B::Ok;
    case Answer::Abort:
      return B::Abort;
    case Answer::Retry:
      return B::Retry;
    case Answer::Ignore:
      return B::Ignore;
    case Answer::Yes:
      return B::Yes;
    case Answer::No:
      return B::No;
  }
  return B::NoButton;
}

}  // namespace

MessageRequest messageRequest(const Prompt& prompt) {
  return MessageRequest{shownText(prompt), prompt.style,       shownTitle(prompt),
                        prompt.kind,       prompt.noByDefault, prompt.answeredBy};
}

Answer QtPrompter::present(const Prompt& prompt) {
  const MessageRequest request = messageRequest(prompt);
  if (answerer) return answerer(request);
  return showBox(request);
}

std::unique_ptr<QMessageBox> makeMessageBox(const MessageRequest& request) {
  auto box = std::make_unique<QMessageBox>();
  box->setWindowTitle(QString::fromStdString(request.title));
  box->setText(QString::fromStdString(request.prompt));
  box->setTextFormat(Qt::PlainText);

  using B = QMessageBox::StandardButton;
  switch (request.style) {
    case PromptStyle::Ok:
      box->setStandardButtons(B::Ok);
      break;
    case PromptStyle::OkWarning:
      box->setIcon(QMessageBox::Warning);
      box->setStandardButtons(B::Ok);
      break;
    case PromptStyle::YesNo:
      box->setStandardButtons(B::Yes | B::No);
      break;
    case PromptStyle::YesNoWarning:
      box->setIcon(QMessageBox::Warning);
      box->setStandardButtons(B::Yes | B::No);
      break;
    case PromptStyle::YesNoQuestion:
      box->setIcon(QMessageBox::Question);
      box->setStandardButtons(B::Yes | B::No);
      break;
    case PromptStyle::AbortRetryIgnore:
      box->setIcon(QMessageBox::Warning);
      box->setStandardButtons(B::Abort | B::Retry | B::Ignore);
      // Escape or a stray Enter must not end the application: both retry.
      box->setDefaultButton(B::Retry);
      box->setEscapeButton(B::Retry);
      break;
  }

  if (request.noByDefault) box->setDefaultButton(B::No);
  translateButtons(*box);
  // The box is as wide as its text and buttons need, and its title bar's:
  // a strut below the buttons (the box sets its size as it is shown).
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    const QMargins margins = grid->contentsMargins();
    const int strut = titleBarWidth(box->windowTitle()) - margins.left() - margins.right();
    grid->addItem(new QSpacerItem(strut, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box;
}

Answer QtPrompter::showBox(const MessageRequest& request) {
  std::unique_ptr<QMessageBox> made = makeMessageBox(request);
  QMessageBox& box = *made;
  using B = QMessageBox::StandardButton;
  QTimer poll;
  if (request.answeredBy) {
    QObject::connect(&poll, &QTimer::timeout, &box, [&] {
      if (const std::optional<Answer> answer = request.answeredBy()) {
        poll.stop();
        box.done(buttonOf(*answer));
      }
    });
    poll.start(kAnsweredByPoll);
  }
  switch (box.exec()) {
    case B::Yes:
      return Answer::Yes;
    case B::No:
      return Answer::No;
    case B::Abort:
      return Answer::Abort;
    case B::Retry:
      return Answer::Retry;
    case B::Ignore:
      return Answer::Ignore;
    case B::Ok:
      return Answer::Ok;
    default:
      // Closed by the window system without a button: the harmless answer.
      if (request.style == PromptStyle::Ok || request.style == PromptStyle::OkWarning) {
        return Answer::Ok;
      }
      return request.style == PromptStyle::AbortRetryIgnore ? Answer::Retry : Answer::No;
  }
}

std::string QtPrompter::translate(const char* context, const char* text) const {
  return QCoreApplication::translate(context, text).toStdString();
}

void QtPrompter::processEvents() {
  QCoreApplication::processEvents();
}

void QtPrompter::wait(std::chrono::milliseconds duration) {
  QEventLoop loop;
  QTimer::singleShot(duration, &loop, &QEventLoop::quit);
  loop.exec();
}

void endProcessNow(int code) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(code);
}

QuarnApplication::QuarnApplication(int& argc, char** argv, Prompter& prompter)
    : QApplication(argc, argv), m_prompter(prompter) {}

bool QuarnApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  guard([&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

void QuarnApplication::guard(const std::function<void()>& work) {
  // The catch blocks only record what happened: the report is shown once the
  // stack has unwound, outside any handler.
  int endCode = 0;
  bool ending = false;
  int number = 0;
  std::string description;
  try {
    work();
    return;
  } catch (const ApplicationEnd& end) {
    ending = true;
    endCode = end.code();
  } catch (const QuarnError& error) {
    number = error.number();
    description = error.description();
  } catch (const std::exception& error) {
    number = 51;  // the classic runtime's "Internal error"
    description = error.what();
  } catch (...) {
    number = 51;
    description = "Internal error";
  }
  if (ending) endProcessNow(endCode);
  fail(number, description);
}

void QuarnApplication::fail(int number, const std::string& description) {
  try {
    m_prompter.ask("Error " + std::to_string(number) + ": " + description, PromptStyle::OkWarning,
                   "", PromptKind::Error);
  } catch (...) {
    // The report could not be shown; the process still ends.
  }
  std::cerr << "Error " << number << ": " << description << std::endl;
  endProcessNow(1);
}

}  // namespace quarn
