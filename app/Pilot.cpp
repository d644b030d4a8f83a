#include "app/Pilot.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <thread>

#include "base/Clock.h"
#include "base/Numbers.h"
#include "base/Random.h"
#include "base/Text.h"
#include "db/DatabaseAccess.h"
#include "db/OpenDatabase.h"
#include "game/TeamPlay.h"
#include "game/WeekRecorder.h"

namespace quarn {

namespace {

namespace fs = std::filesystem;

// Database and text file failures are retried this often in a row before
// the pilot gives up.
constexpr int kRetries = 3;

// The application folder, laid out as the application finds it: the data
// folder below it, named "data".
std::string appFolderOf(const std::string& dataDir) {
  fs::path data = fs::absolute(dataDir).lexically_normal();
  if (data.filename().empty()) data = data.parent_path();
  if (data.filename() != "data") {
    throw QuarnError(kErrFileNotFound, "The folder " + data.string() +
                                           " is not named data: the application reads its "
                                           "database and writes its text files in data/");
  }
  // data/quarn.conf puts the database on a server.
  if (!fs::is_regular_file(data / kDefaultDatabaseFile) &&
      !fs::is_regular_file(data / kServerSettingsFile)) {
    throw QuarnError(kErrFileNotFound,
                     "The file " + (data / kDefaultDatabaseFile).string() + " was not found");
  }
  return data.parent_path().string();
}

// The Prompter of a pilot: every question goes to the pilot's moderator,
// waits sleep, and every end of the application before the game is over is
// a failure.
class PilotPrompter final : public Prompter {
 public:
  std::function<Answer(const Prompt&)> moderator;
  void wait(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
  [[noreturn]] void endApplication(int code) override {
    throw ApplicationEnd(code == 0 ? 1 : code);
  }

 protected:
  Answer present(const Prompt& prompt) override { return moderator(prompt); }
};

// The participant's part on the screen: the questionnaire.
class PilotView final : public GameView {
 public:
  std::string failure;
  std::optional<Questionnaire> askQuestionnaire(
      const std::string&, const std::optional<Questionnaire>& previous) override {
    if (previous) {
      failure = "the questionnaire did not accept its entries";
      return std::nullopt;
    }
    // Class status and major left blank: the questionnaire answers "Other".
    return Questionnaire{30, "Female", "Other", "Other"};
  }
};

// The moderator and the participant of one pilot run.
class Pilot {
 public:
  Pilot(const PilotOptions& options, std::ostream& out, std::ostream& err)
      : m_options(options), m_out(out), m_err(err), m_appFolder(appFolderOf(options.dataDir)) {
    if (!m_options.orders) m_options.orders = demandOrder;
    m_prompter.moderator = [this](const Prompt& prompt) { return answer(prompt); };
    m_session.setView(&m_view);
  }

  PilotReport run();

 private:
  Answer answer(const Prompt& prompt);
  Answer retry(const Prompt& prompt, int& count, Answer again, Answer giveUp,
               const std::string& what);
  [[noreturn]] void fail(const std::string& reason);
  void logIn();
  void playUntilGameOver();
  void submitOrder();
  void standStill();
  void noteTeamMoment(const char* what);
  void skipTraining();
  void enterPausePassword();
  void reportTrial();
  std::string trainingFailure() const;
  int32_t trialCost() const;
  const GameState& state() const { return m_session.state(); }

  PilotOptions m_options;
  std::ostream& m_out;
  std::ostream& m_err;
  std::string m_appFolder;
  PilotReport m_report;
  std::ofstream m_teamTimes;
  std::chrono::steady_clock::time_point m_lastOrder;  // when the previous order was made
  int m_lastOrderMade = 0;
  int m_ordersMade = 0;
  std::chrono::steady_clock::time_point m_lastSignOfLife;
  std::string m_failure;  // why the run ended early, once known
  int m_writeRetries = 0;
  int m_openRetries = 0;

  PilotPrompter m_prompter;
  SteadyTickCounter m_ticks;
  StandardUniformRandom m_random =
      m_options.seed ? StandardUniformRandom(*m_options.seed) : StandardUniformRandom();
  ChosenStores m_stores;
  DatabaseAccess m_db{m_stores, m_prompter, m_random};
  GameSession m_session{
      GameServices{m_prompter, m_ticks, m_random, SystemWallClock::instance(), m_db, m_appFolder}};
  PilotView m_view;
};

void Pilot::fail(const std::string& reason) {
  if (m_failure.empty()) m_failure = reason;
  m_prompter.endApplication(1);
}

Answer Pilot::retry(const Prompt& prompt, int& count, Answer again, Answer giveUp,
                    const std::string& what) {
  const std::string title = shownTitle(prompt), text = shownText(prompt);
  m_err << "pilot: " << title << ": " << text << std::endl;
  if (++count <= kRetries) return again;
  m_failure = what + " after " + std::to_string(kRetries) + " retries (" + title + "): " + text;
  return giveUp;
}

Answer Pilot::answer(const Prompt& prompt) {
  m_report.prompts.push_back(prompt);
  const std::string& subject = m_options.subject;
  switch (prompt.kind) {
    case PromptKind::TextWriteFailed:
      return retry(prompt, m_writeRetries, Answer::Retry, Answer::Abort,
                   "the text file could not be written");
    case PromptKind::DatabaseWriteFailed:
      return retry(prompt, m_writeRetries, Answer::Retry, Answer::Abort,
                   "the database still failed");
    case PromptKind::DatabaseRetry:
      return retry(prompt, m_openRetries, Answer::Yes, Answer::No, "the database still failed");
    case PromptKind::RegisterNewUser:
      m_out << "Registering " << subject << " as a new participant" << std::endl;
      return Answer::Yes;
    case PromptKind::Resume:
      m_out << "Resuming " << subject << " at trial " << state().plan.currentTrial + 1 << std::endl;
      return Answer::Yes;
    case PromptKind::TrainingFailed:
      m_out << "Training trial " << state().training.recordedTrial << ": failed after "
            << state().chain.currentWeek - 1 << " week(s) (" << trainingFailure()
            << "), played again" << std::endl;
      return Answer::Ok;
    case PromptKind::TakeOver:
      if (!m_options.takeOver) fail("the login refused: " + shownText(prompt));
      m_out << "Taking " << subject << " over from another workstation" << std::endl;
      return Answer::Yes;
    case PromptKind::OrderAboveLimit:
      fail("the order " + std::to_string(m_lastOrderMade) + " was refused: " + shownText(prompt));
    case PromptKind::NoTrialLeft:
      fail(subject + " has already played every trial of " + m_options.setting);
    case PromptKind::InvalidSetting:
    case PromptKind::TeamNameNeeded:
    case PromptKind::TeamFull:
    case PromptKind::RecordsContradict:
    case PromptKind::TeamOfOtherMember:
    case PromptKind::SettingBreaksTextLines:
    case PromptKind::SubjectIdRefused:
    case PromptKind::CompletedAll:
    case PromptKind::RegistrationFailed:
      fail("the login refused: " + shownText(prompt));
    case PromptKind::TrainingIntro:
    case PromptKind::TrainingConstraints:
    case PromptKind::TrainingComplete:
    case PromptKind::TrialEnded:
    case PromptKind::GameOver:
      return Answer::Ok;
    default:
      m_err << "pilot: " << shownTitle(prompt) << ": " << shownText(prompt) << std::endl;
      if (prompt.style == PromptStyle::Ok || prompt.style == PromptStyle::OkWarning) {
        return Answer::Ok;
      }
      return Answer::No;
  }
}

// Why the running training trial failed, as its message says.
std::string Pilot::trainingFailure() const {
  return brokenTrainingLimit(state(), nullptr);
}

int32_t Pilot::trialCost() const {
  const TrialPlan& trial = state().plan.current();
  if (hasParticipant(trial.participantRole)) {
    return state().chain.roles[static_cast<size_t>(trial.participantRole)].totalCost;
  }
  int64_t sum = 0;
  for (const RoleState& role : state().chain.roles) sum += role.totalCost;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

void Pilot::reportTrial() {
  const TrialPlan& trial = state().plan.current();
  if (state().training.active) {
    m_out << "Training trial " << state().training.recordedTrial;
  } else {
    m_out << "Trial " << state().plan.currentTrial + 1 << " of " << state().plan.trialCount();
  }
  m_out << " (Delay " << trial.delay << ", " << trial.weeks << " weeks): cost " << trialCost()
        << std::endl;
}

void Pilot::logIn() {
  const std::vector<std::string>& settings = m_session.openDatabase("quarn.mdb");
  const bool offered =
      std::find(settings.begin(), settings.end(), m_options.setting) != settings.end();
  // The login window offers its Team box for team settings only.
  if (!m_options.team.empty() && offered && !m_session.isTeamSetting(m_options.setting)) {
    fail("setting " + m_options.setting + " is not played by teams: --team " +
         printable(m_options.team) + " is not taken");
  }
  if (m_session.logIn({m_options.subject, m_options.setting, m_options.team}) !=
      LoginResult::LoggedIn) {
    fail(m_view.failure.empty() ? "the login window did not accept the entry" : m_view.failure);
  }
  if (!m_session.startGame()) fail("the game did not start");
}

void Pilot::enterPausePassword() {
  const PauseSchedule& schedule = state().pauses;
  const size_t next = static_cast<size_t>(schedule.nextPause);
  const std::string password = next < schedule.pauses.size() ? schedule.pauses[next].password : "";
  const int finished = state().plan.currentTrial + 1;
  if (!m_session.answerPause(password)) fail("the pause did not take its password");
  m_out << "Pause after trial " << finished << ": password entered" << std::endl;
}

void Pilot::skipTraining() {
  if (!m_session.skipTraining(state().training.password)) {
    fail("the training did not take its password");
  }
  m_out << "Training skipped: password entered" << std::endl;
}

// The participant's wait: from the order to the week computed and stored.
void Pilot::submitOrder() {
  const int order = std::clamp<int>(m_options.orders(m_session), 0, kLargestParticipantOrder);
  if (m_options.pace.count() > 0) {
    std::this_thread::sleep_until(m_lastOrder + m_options.pace);
  }
  const auto start = std::chrono::steady_clock::now();
  m_lastOrder = start;
  m_lastOrderMade = order;
  ++m_ordersMade;
  noteTeamMoment("order");
  m_session.submitOrder(order);
  m_report.weekMilliseconds.push_back(
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}

// The participant who stopped ordering: the week stays open, the mark is
// refreshed as the window's timer does, and a team's changes are followed
// (another member's moderator may end the team's training meanwhile).
void Pilot::standStill() {
  // The week clock orders for a participant who stands still, as the
  // window's timer has it do.
  if (m_session.runClock()) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - m_lastSignOfLife > std::chrono::seconds(kMarkRefreshSeconds)) {
    m_session.keepAlive();
    m_lastSignOfLife = now;
  }
  if (m_session.watchesTeam()) {
    m_session.pollTeam(std::chrono::milliseconds(500));
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

// A team week's moment as the benchmark of team play reads it: what
// happened, the trial and week, and the wall clock in microseconds (the
// pilots of a team run on one computer and share its clock).
void Pilot::noteTeamMoment(const char* what) {
  if (m_options.teamTimes.empty() || !playsTeamTrial(state())) return;
  if (!m_teamTimes.is_open()) m_teamTimes.open(m_options.teamTimes, std::ios::app);
  const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  m_teamTimes << what << ' ' << state().plan.currentTrial + 1 << ' ' << state().chain.currentWeek
              << ' ' << now.count() << '\n'
              << std::flush;
}

void Pilot::playUntilGameOver() {
  for (;;) {
    if (!m_failure.empty()) fail(m_failure);
    switch (m_session.phase()) {
      case Phase::Animating:
        m_session.animationFinished();
        break;
      case Phase::RestartPending:
        m_session.runPendingRestart();
        break;
      case Phase::TrialOver:
        reportTrial();
        m_session.nextTrial();
        break;
      case Phase::Paused:
        if (m_options.waitAtPauses && state().team.active()) {
          m_session.pollTeam(std::chrono::milliseconds(500));
        } else {
          enterPausePassword();
        }
        break;
      case Phase::FormingTeam:
      case Phase::WaitingForTeam:
        // A member gone from the team is ordered for once its week's time
        // ran out.
        m_session.runClock();
        m_session.pollTeam(std::chrono::milliseconds(500));
        break;
      case Phase::WeekOpen: {
        const bool skips = m_options.skipTraining && m_session.inTraining();
        if (!skips && m_options.stopAfter && m_ordersMade >= *m_options.stopAfter) {
          standStill();
          break;
        }
        noteTeamMoment("open");
        m_writeRetries = 0;
        m_openRetries = 0;
        if (skips) {
          skipTraining();
        } else {
          submitOrder();
        }
        break;
      }
      case Phase::GameOver:
        return;
      default:
        fail("the main window waits for nothing a participant can do");
    }
  }
}

PilotReport Pilot::run() {
  try {
    logIn();
    playUntilGameOver();
    m_session.endSession();
    m_out << "Game over: total cost sum over all " << state().plan.trialCount()
          << " completed trial(s) is " << state().costSum << std::endl;
    m_report.exitCode = 0;
  } catch (const ApplicationEnd&) {
    m_err << "pilot: the session ended before Game Over"
          << (m_failure.empty() ? std::string() : ": " + m_failure) << std::endl;
    m_report.exitCode = 1;
  } catch (const QuarnError& error) {
    m_err << "pilot: error " << error.number() << ": " << error.description() << std::endl;
    m_report.exitCode = 1;
  }
  return m_report;
}

}  // namespace

int demandOrder(const GameSession& session) {
  const GameState& state = session.state();
  const int16_t role = state.plan.current().participantRole;
  if (!hasParticipant(role)) return 0;
  const int32_t demand = state.chain.roles[static_cast<size_t>(role)].demand;
  return std::clamp<int32_t>(demand, 0, kLargestParticipantOrder);
}

OrderSource ordersFromList(std::vector<int16_t> orders) {
  auto played = std::make_shared<size_t>(0);
  return [orders = std::move(orders), played](const GameSession&) -> int {
    if (orders.empty()) return 0;
    const size_t index = std::min(*played, orders.size() - 1);
    ++*played;
    return orders[index];
  };
}

std::vector<int16_t> readOrdersFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw QuarnError(kErrFileNotFound, "The orders file " + path + " cannot be read");
  std::vector<int16_t> orders;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    // Editors on some systems begin a text file with a byte-order mark.
    const std::string text(trimmed(number == 1 ? withoutByteOrderMark(line) : line, " \t\r"));
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

PilotReport runPilot(const PilotOptions& options, std::ostream& out, std::ostream& err) {
  try {
    Pilot pilot(options, out, err);
    return pilot.run();
  } catch (const QuarnError& error) {
    err << "pilot: error " << error.number() << ": " << error.description() << std::endl;
    return PilotReport{};
  }
}

}  // namespace quarn
