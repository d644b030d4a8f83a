#include "app/Pilot.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/Startup.h"
#include "base/Clock.h"
#include "base/Numbers.h"
#include "base/Random.h"
#include "base/Text.h"
#include "db/DatabaseAccess.h"
#include "db/SqlCipherStores.h"
#include "record/modRecord.h"
#include "session/frmNewUser.h"
#include "session/frmPause.h"
#include "ui/DatabaseWaitNotice.h"

namespace quarn {

namespace {

namespace fs = std::filesystem;

constexpr int kLargestOrder = 9999;  // what the four-character order box holds
// Database failures are retried this often in a row before the pilot gives up.
constexpr int kRetries = 3;

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// Types `text` into `box` key by key, through the box's own key handling.
void Type(QWidget* box, const QString& text) {
  for (QChar c : text) {
    const int key = c.toUpper().unicode();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(box, &release);
  }
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The application folder, laid out as the application finds it: the data
// folder below it, named "data".
std::string AppFolderOf(const std::string& dataDir) {
  fs::path data = fs::absolute(dataDir).lexically_normal();
  if (data.filename().empty()) data = data.parent_path();
  if (data.filename() != "data") {
    throw QuarnError(kErrFileNotFound, "The folder " + data.string() +
                                           " is not named data: the application reads its "
                                           "database and writes its text files in data/");
  }
  if (!fs::is_regular_file(data / "quarn.mdb")) {
    throw QuarnError(kErrFileNotFound,
                     "The file " + (data / "quarn.mdb").string() + " was not found");
  }
  return data.parent_path().string();
}

// The toolkit of a pilot: the application folder is the data folder's
// parent, and every end of the application before "Game Over" is a failure.
class PilotPrompter : public QtPrompter {
 public:
  std::string appFolder;
  std::string applicationFolder() override { return appFolder; }
  [[noreturn]] void endApplication(int code) override {
    throw ApplicationEnd(code == 0 ? 1 : code);
  }
};

// The moderator and the participant of one pilot run.
class Pilot : public QObject {
 public:
  Pilot(const PilotOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {
    toolkit_.appFolder = AppFolderOf(options.dataDir);
    toolkit_.answerer = [this](const MessageRequest& box) { return AnswerBox(box); };
    if (!options_.orders) options_.orders = DemandOrder;
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~Pilot() override { QCoreApplication::instance()->removeEventFilter(this); }

  PilotReport Run();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Answer AnswerBox(const MessageRequest& box);
  Answer Retry(const MessageRequest& box, int& count, Answer again, Answer giveUp);
  [[noreturn]] void Fail(const std::string& reason);
  void FillLogin(frmLogin& login);
  void FillQuestionnaire(frmNewUser& questionnaire);
  void EnterPausePassword(frmPause& pause);
  void PlayUntilGameOver(frmMain& form);
  void ReportTrial();
  int32_t TrialCost() const;

  PilotOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  PilotReport report_;
  std::string failure_;  // why the run ended early, once known
  int writeRetries_ = 0;
  int openRetries_ = 0;

  PilotPrompter toolkit_;
  SteadyTickCounter ticks_;
  StandardUniformRandom random_ =
      options_.seed ? StandardUniformRandom(*options_.seed) : StandardUniformRandom();
  DatabaseWaitNotice waitNotice_{toolkit_};
  SqlCipherStores stores_{&waitNotice_};
  DatabaseAccess db_{stores_, toolkit_, random_};
  Game game_{Services{toolkit_, ticks_, random_, db_}};
  std::unique_ptr<Startup> startup_;
};

void Pilot::Fail(const std::string& reason) {
  if (failure_.empty()) failure_ = reason;
  toolkit_.endApplication(1);
}

bool Pilot::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    // The modal windows are filled in once their loop runs.
    if (watched->objectName() == "frmLogin") {
      auto* window = static_cast<frmLogin*>(watched);
      QTimer::singleShot(0, window, [this, window] { FillLogin(*window); });
    } else if (watched->objectName() == "frmNewUser") {
      auto* window = static_cast<frmNewUser*>(watched);
      QTimer::singleShot(0, window, [this, window] { FillQuestionnaire(*window); });
    } else if (watched->objectName() == "frmPause") {
      auto* window = static_cast<frmPause*>(watched);
      QTimer::singleShot(0, window, [this, window] { EnterPausePassword(*window); });
    }
  }
  return QObject::eventFilter(watched, event);
}

void Pilot::FillLogin(frmLogin& login) {
  login.txtSubjectID->clear();
  Type(login.txtSubjectID, Q(options_.subject));
  if (login.txtSubjectID->text() != Q(options_.subject)) {
    failure_ = "the login's User ID box does not take \"" + options_.subject + "\"";
    login.cmdQuit->click();
    return;
  }
  login.cboSetting->setEditText(Q(options_.setting));
  login.cmdStart->click();
  // Still open without an error: the login refused the entry and waits for
  // another, which a pilot does not have.
  if (login.isVisible()) {
    if (failure_.empty()) failure_ = "the login window did not accept the entry";
    login.cmdQuit->click();
  }
}

void Pilot::FillQuestionnaire(frmNewUser& questionnaire) {
  Type(questionnaire.txtAge, "30");
  questionnaire.optGender[1]->click();
  // Class status and major stay blank: the questionnaire stores "Other".
  questionnaire.cmdOK->click();
  if (questionnaire.isVisible()) {
    if (failure_.empty()) failure_ = "the questionnaire did not accept its entries";
    questionnaire.cmdCancel->click();
  }
}

void Pilot::EnterPausePassword(frmPause& pause) {
  const PauseSchedule& schedule = game_.pauses;
  const size_t next = static_cast<size_t>(schedule.nextPause);
  if (next < schedule.pauses.size()) Type(pause.txtPassword, Q(schedule.pauses[next].password));
  pause.cmdContinue->click();
  if (pause.isVisible()) {
    // No way on without the password: leave the pause, and the run fails
    // once the press that showed it returns.
    failure_ = "the pause did not take its password";
    pause.done(QDialog::Rejected);
    return;
  }
  out_ << "Pause after trial " << game_.plan.currentTrial + 1 << ": password entered" << std::endl;
}

Answer Pilot::Retry(const MessageRequest& box, int& count, Answer again, Answer giveUp) {
  err_ << "pilot: " << box.title << ": " << box.prompt << std::endl;
  if (++count <= kRetries) return again;
  // The box that asked tells what failed: the text file has a title of its own.
  const std::string what = box.title == kTextOutputTitle ? "the text file could not be written"
                                                         : "the database still failed";
  failure_ =
      what + " after " + std::to_string(kRetries) + " retries (" + box.title + "): " + box.prompt;
  return giveUp;
}

Answer Pilot::AnswerBox(const MessageRequest& box) {
  report_.boxes.push_back(box);
  const std::string& prompt = box.prompt;

  if (box.style == PromptStyle::AbortRetryIgnore) {
    return Retry(box, writeRetries_, Answer::Retry, Answer::Abort);
  }
  if (box.kind == PromptKind::DatabaseRetry) {
    return Retry(box, openRetries_, Answer::Yes, Answer::No);
  }
  if (StartsWith(prompt, "User ID not found.")) {
    out_ << "Registering " << options_.subject << " as a new participant" << std::endl;
    return Answer::Yes;
  }
  if (box.title == "Resume") {
    out_ << "Resuming " << options_.subject << " at trial " << game_.plan.currentTrial + 1
         << std::endl;
    return Answer::Yes;
  }
  if (StartsWith(prompt, "Training failed.  ")) {
    std::string reason = prompt.substr(18);
    reason = reason.substr(0, reason.find(".  "));
    out_ << "Training trial " << game_.training.recordedTrial << ": failed after "
         << game_.chain.currentWeek - 1 << " week(s) (" << reason << "), played again" << std::endl;
    return Answer::Ok;
  }
  if (StartsWith(prompt, "Subject has already completed all trials")) {
    Fail(options_.subject + " has already played every trial of " + options_.setting);
  }
  if (box.title == "Login" || prompt == "Need to choose a valid setting" ||
      StartsWith(prompt, "The participant could not be registered")) {
    Fail("the login refused: " + prompt);
  }
  const bool expected = box.title == "End Trial" || box.title == "Training Constraints" ||
                        box.title == "Training Complete" ||
                        StartsWith(prompt, "First, we will have some training trials") ||
                        StartsWith(prompt, "Total cost sum over all ");
  if (!expected) err_ << "pilot: " << box.title << ": " << prompt << std::endl;
  if (box.style == PromptStyle::Ok || box.style == PromptStyle::OkWarning) return Answer::Ok;
  return Answer::No;
}

int32_t Pilot::TrialCost() const {
  const TrialPlan& trial = game_.plan.current();
  if (trial.participantRole >= 0 && trial.participantRole < kRoleCount) {
    return game_.chain.roles[static_cast<size_t>(trial.participantRole)].totalCost;
  }
  int64_t sum = 0;
  for (const RoleState& role : game_.chain.roles) sum += role.totalCost;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

void Pilot::ReportTrial() {
  const TrialPlan& trial = game_.plan.current();
  if (game_.training.active) {
    out_ << "Training trial " << game_.training.recordedTrial;
  } else {
    out_ << "Trial " << game_.plan.currentTrial + 1 << " of " << game_.plan.trialCount();
  }
  out_ << " (Delay " << trial.delay << ", " << trial.weeks << " weeks): cost " << TrialCost()
       << std::endl;
}

void Pilot::PlayUntilGameOver(frmMain& form) {
  for (;;) {
    if (!failure_.empty()) Fail(failure_);
    if (form.tmrAnimation->isActive()) {
      // The animation's ticks, without waiting for the timer.
      form.tmrAnimation_Timer();
      continue;
    }
    if (form.RestartPending()) {
      // A failed training trial starts again from the event loop.
      QCoreApplication::processEvents();
      continue;
    }
    const QString caption = form.cmdOrder->text();
    if (caption == "Game Over") return;
    if (caption == "Next Trial") {
      ReportTrial();
      form.cmdOrder->click();
      continue;
    }
    if (!form.txtOrder->isEnabled()) Fail("the main window waits for nothing a participant can do");

    const int order = std::clamp(options_.orders(game_), 0, kLargestOrder);
    const QString digits = QString::number(order);
    form.txtOrder->clear();
    Type(form.txtOrder, digits);
    if (form.txtOrder->text() != digits || !form.cmdOrder->isEnabled()) {
      Fail("the order box did not take the order " + digits.toStdString());
    }
    writeRetries_ = 0;
    openRetries_ = 0;
    form.cmdOrder->click();
  }
}

PilotReport Pilot::Run() {
  try {
    startup_ = std::make_unique<Startup>(game_);
    startup_->splashTime = std::chrono::milliseconds(0);
    startup_->Form_Load();
    PlayUntilGameOver(startup_->form);
    ReleaseMark(game_);
    out_ << "Game over: total cost sum over all " << game_.plan.trialCount()
         << " completed trial(s) is " << game_.CostSum << std::endl;
    report_.exitCode = 0;
  } catch (const ApplicationEnd&) {
    err_ << "pilot: the session ended before Game Over"
         << (failure_.empty() ? std::string() : ": " + failure_) << std::endl;
    report_.exitCode = 1;
  } catch (const QuarnError& error) {
    err_ << "pilot: error " << error.number() << ": " << error.description() << std::endl;
    report_.exitCode = 1;
  }
  return report_;
}

}  // namespace

int DemandOrder(const Game& game) {
  const int16_t role = game.plan.current().participantRole;
  if (role < 0 || role >= kRoleCount) return 0;
  const int32_t demand = game.chain.roles[static_cast<size_t>(role)].demand;
  return std::clamp<int32_t>(demand, 0, kLargestOrder);
}

OrderSource OrdersFromList(std::vector<int16_t> orders) {
  auto played = std::make_shared<size_t>(0);
  return [orders = std::move(orders), played](const Game&) -> int {
    if (orders.empty()) return 0;
    const size_t index = std::min(*played, orders.size() - 1);
    ++*played;
    return orders[index];
  };
}

std::vector<int16_t> ReadOrdersFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw QuarnError(kErrFileNotFound, "The orders file " + path + " cannot be read");
  std::vector<int16_t> orders;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string text(trimmed(line, " \t\r"));
    if (text.empty()) continue;
    // Digits only, as the order box takes them.
    const ParsedNumber order = parseNumber(text);
    const bool digits =
        order.wholeForm && text.size() <= 4 && text.front() != '+' && text.front() != '-';
    if (!digits) {
      throw QuarnError(kErrTypeMismatch, "Line " + std::to_string(number) + " of " + path +
                                             " is not a whole number from 0 to 9999: " + text);
    }
    orders.push_back(static_cast<int16_t>(*order.whole));
  }
  if (orders.empty()) throw QuarnError(kErrTypeMismatch, "The orders file " + path + " is empty");
  return orders;
}

PilotReport RunPilot(const PilotOptions& options, std::ostream& out, std::ostream& err) {
  try {
    Pilot pilot(options, out, err);
    return pilot.Run();
  } catch (const QuarnError& error) {
    err << "pilot: error " << error.number() << ": " << error.description() << std::endl;
    return PilotReport{};
  }
}

int RunPilotApplication(const PilotOptions& options) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The offscreen platform's notes (no window manager hints, no runtime
  // folder) would bury the progress; only real failures are let through.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
      std::cerr << "Qt: " << message.toStdString() << std::endl;
    }
  });
  static int argc = 1;
  static char name[] = "quarngame-admin";
  static char* argv[] = {name, nullptr};
  // Reports of failures inside Qt's event dispatch go to standard error.
  QtPrompter reports;
  reports.answerer = [](const MessageRequest& box) {
    std::cerr << "pilot: " << box.title << ": " << box.prompt << std::endl;
    return Answer::Ok;
  };
  QuarnApplication app(argc, argv, reports);
  return RunPilot(options, std::cout, std::cerr).exitCode;
}

}  // namespace quarn
