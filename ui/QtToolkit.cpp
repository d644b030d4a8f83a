#include "ui/QtToolkit.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "sim/Errors.h"

namespace quarn {

MessageRequest MakeMessageRequest(const std::string& prompt, MsgStyle style,
                                  const std::string& title) {
  MessageRequest request{"", style, title.empty() ? std::string(kAppTitle) : title};
  request.prompt.reserve(prompt.size());
  for (size_t i = 0; i < prompt.size(); ++i) {
    if (prompt[i] == '\r' && i + 1 < prompt.size() && prompt[i + 1] == '\n') continue;
    request.prompt += prompt[i];
  }
  return request;
}

MsgResult QtToolkit::MsgBox(const std::string& prompt, MsgStyle style, const std::string& title) {
  ModalScope open(*this);
  MessageRequest request = MakeMessageRequest(prompt, style, title);
  if (answerer) return answerer(request);
  return Ask(request);
}

MsgResult QtToolkit::Ask(const MessageRequest& request) {
  QMessageBox box;
  box.setWindowTitle(QString::fromStdString(request.title));
  box.setText(QString::fromStdString(request.prompt));
  box.setTextFormat(Qt::PlainText);

  using B = QMessageBox::StandardButton;
  switch (request.style) {
    case MsgStyle::OkOnly:
      box.setStandardButtons(B::Ok);
      break;
    case MsgStyle::OkWarning:
      box.setIcon(QMessageBox::Warning);
      box.setStandardButtons(B::Ok);
      break;
    case MsgStyle::YesNo:
      box.setStandardButtons(B::Yes | B::No);
      break;
    case MsgStyle::YesNoWarning:
      box.setIcon(QMessageBox::Warning);
      box.setStandardButtons(B::Yes | B::No);
      break;
    case MsgStyle::YesNoQuestion:
      box.setIcon(QMessageBox::Question);
      box.setStandardButtons(B::Yes | B::No);
      break;
    case MsgStyle::AbortRetryIgnore:
      box.setIcon(QMessageBox::Warning);
      box.setStandardButtons(B::Abort | B::Retry | B::Ignore);
      // Escape or a stray Enter must not end the application: both retry.
      box.setDefaultButton(B::Retry);
      box.setEscapeButton(B::Retry);
      break;
  }

  switch (box.exec()) {
    case B::Yes:
      return MsgResult::Yes;
    case B::No:
      return MsgResult::No;
    case B::Abort:
      return MsgResult::Abort;
    case B::Retry:
      return MsgResult::Retry;
    case B::Ignore:
      return MsgResult::Ignore;
    case B::Ok:
      return MsgResult::Ok;
    default:
      // Closed by the window system without a button: the harmless answer.
      if (request.style == MsgStyle::OkOnly || request.style == MsgStyle::OkWarning) {
        return MsgResult::Ok;
      }
      return request.style == MsgStyle::AbortRetryIgnore ? MsgResult::Retry : MsgResult::No;
  }
}

void QtToolkit::DoEvents() {
  QCoreApplication::processEvents();
}

void QtToolkit::Sleep(std::chrono::milliseconds duration) {
  QEventLoop loop;
  QTimer::singleShot(duration, &loop, &QEventLoop::quit);
  loop.exec();
}

std::string QtToolkit::AppFolder() {
  return QCoreApplication::applicationDirPath().toStdString();
}

void EndProcessNow(int code) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(code);
}

QuarnApplication::QuarnApplication(int& argc, char** argv, Toolkit& toolkit)
    : QApplication(argc, argv), toolkit_(toolkit) {}

bool QuarnApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  Guard([&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

void QuarnApplication::Guard(const std::function<void()>& work) {
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
    endCode = end.Code();
  } catch (const QuarnError& error) {
    number = error.Number();
    description = error.Description();
  } catch (const std::exception& error) {
    number = 51;  // the classic runtime's "Internal error"
    description = error.what();
  } catch (...) {
    number = 51;
    description = "Internal error";
  }
  if (ending) EndProcessNow(endCode);
  Fail(number, description);
}

void QuarnApplication::Fail(int number, const std::string& description) {
  try {
    toolkit_.MsgBox("Error " + std::to_string(number) + ": " + description, MsgStyle::OkWarning);
  } catch (...) {
    // The report could not be shown; the process still ends.
  }
  std::cerr << "Error " << number << ": " << description << std::endl;
  EndProcessNow(1);
}

}  // namespace quarn
