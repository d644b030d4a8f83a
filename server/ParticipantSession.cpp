#include "server/ParticipantSession.h"

#include <iostream>
#include <thread>

#include "base/Errors.h"
#include "base/Text.h"
#include "server/Translations.h"

namespace quarn::server {

namespace {

// A write that keeps failing is tried this often before the session ends.
constexpr int kWriteRetries = 3;

// How many ticks pass between two refreshes of the workstation's mark.
constexpr int kTicksPerSignOfLife =
    static_cast<int>(std::chrono::seconds(kMarkRefreshSeconds) / ParticipantSession::kTickInterval);

const char* answerName(Answer answer) {
  switch (answer) {
    case Answer::Ok:
      return "ok";
    case Answer::Abort:
      return "abort";
    case Answer::Retry:
      return "retry";
    case Answer::Ignore:
      return "ignore";
    case Answer::Yes:
      return "yes";
    case Answer::No:
      return "no";
  }
  return "";
}

bool isQuestion(PromptStyle style) {
  return style != PromptStyle::Ok && style != PromptStyle::OkWarning;
}

std::optional<std::string> textField(const nlohmann::json& body, const char* name) {
  const auto field = body.find(name);
  if (field == body.end() || !field->is_string()) return std::nullopt;
  return field->get<std::string>();
}

// The questionnaire's answers as the login brings them; nothing when they
// come in the wrong shape (or with a field the questionnaire has not).
std::optional<Questionnaire> questionnaireOf(const nlohmann::json& answers) {
  if (!answers.is_object()) return std::nullopt;
  for (const auto& field : answers.items()) {
    const std::string& name = field.key();
    if (name != "age" && name != "gender" && name != "schoolYear" && name != "major") {
      return std::nullopt;
    }
  }
  Questionnaire questionnaire;
  const auto age = answers.find("age");
  if (age != answers.end()) {
    if (!age->is_number_integer()) return std::nullopt;
    questionnaire.age = age->get<int64_t>();
  }
  for (auto [name, field] : {std::pair{"gender", &questionnaire.gender},
                             {"schoolYear", &questionnaire.schoolYear},
                             {"major", &questionnaire.major}}) {
    const auto value = answers.find(name);
    if (value == answers.end()) continue;
    if (!value->is_string()) return std::nullopt;
    *field = value->get<std::string>();
  }
  return questionnaire;
}

}  // namespace

void PagePrompter::wait(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

Answer PagePrompter::present(const Prompt& prompt) {
  const Answer answer = answerFor(prompt);
  nlohmann::json message = {{"type", "message"},
                            {"kind", promptKindName(prompt.kind)},
                            {"style", promptStyleName(prompt.style)},
                            {"title", shownTitle(prompt)},
                            {"text", shownText(prompt)}};
  if (isQuestion(prompt.style)) message["answer"] = answerName(answer);
  m_send(message);
  return answer;
}

Answer PagePrompter::answerFor(const Prompt& prompt) {
  switch (prompt.kind) {
    case PromptKind::TextWriteFailed:
    case PromptKind::DatabaseWriteFailed:
      return ++m_retries <= kWriteRetries ? Answer::Retry : Answer::Abort;
    case PromptKind::DatabaseRetry:
      return ++m_retries <= kWriteRetries ? Answer::Yes : Answer::No;
    case PromptKind::RegisterNewUser:
    case PromptKind::Resume:
      return Answer::Yes;
    case PromptKind::TakeOver:
      return m_takeOver ? Answer::Yes : Answer::No;
    default:
      return isQuestion(prompt.style) ? Answer::No : Answer::Ok;
  }
}

std::string PagePrompter::translate(const char* context, const char* text) const {
  return translated(m_view.language(), context, text);
}

Workstation ParticipantSession::workstationOf(const std::string& device) {
  Workstation here = thisWorkstation();
  here.host += " " + device;
  return here;
}

ParticipantSession::ParticipantSession(std::string appFolder, std::string device, SendToPage send)
    : m_send(std::move(send)),
      m_view(m_send),
      m_prompter(m_send, m_view),
      m_game(GameServices{m_prompter, m_ticks, m_random, SystemWallClock::instance(), m_db,
                          std::move(appFolder), workstationOf(device)}) {
  m_game.setView(&m_view);
}

void ParticipantSession::receive(std::string_view text) {
  if (m_ended) return;
  const ParsedMessage parsed = parsePageMessage(text);
  if (!parsed.message) {
    m_send(errorMessage(parsed.error));
    return;
  }
  guarded([&] { take(*parsed.message); });
}

// The window's timer: the mark's sign of life, and the team's moves.
void ParticipantSession::tick() {
  if (m_ended || m_game.phase() == Phase::LoggedOut) return;
  guarded([&] {
    if (++m_quietTicks >= kTicksPerSignOfLife) {
      m_quietTicks = 0;
      m_game.keepAlive();
    }
    if (m_game.watchesTeam() && m_game.pollTeam(std::chrono::milliseconds(0))) carryOn();
  });
}

void ParticipantSession::resendState() {
  if (m_ended || m_game.phase() == Phase::LoggedOut) return;
  switch (m_game.phase()) {
    case Phase::WeekOpen:
      return m_view.resendState(OpenState::Week);
    case Phase::Paused:
      return m_view.resendState(OpenState::Pause);
    case Phase::FormingTeam:
    case Phase::WaitingForTeam:
      return m_view.resendState(OpenState::Team);
    case Phase::GameOver:
      return m_view.resendState(OpenState::GameOver);
    default:
      return m_view.resendState(OpenState::None);
  }
}

template <class Move>
void ParticipantSession::guarded(Move move) {
  m_prompter.newMove();
  try {
    move();
  } catch (const SessionEnd&) {
    m_ended = true;
    m_send({{"type", "ended"}, {"reason", "the session ended"}});
  } catch (const QuarnError& error) {
    // The details (paths, the server's words) stay in the server's log.
    std::cerr << "quarngame-server: error " << error.number() << ": " << error.description()
              << std::endl;
    m_ended = true;
    m_send({{"type", "ended"}, {"reason", "error " + std::to_string(error.number())}});
  }
}

void ParticipantSession::take(const PageMessage& message) {
  if (message.type == "login") {
    logIn(message.body);
  } else if (message.type == "order") {
    order(message.body);
  } else if (message.type == "pause") {
    answerPause(message.body);
  } else if (message.type == "skipTraining") {
    skipTraining(message.body);
  }
}

void ParticipantSession::reject(const std::string& reason, const std::string& detail) {
  m_send(errorMessage({reason, detail}));
}

void ParticipantSession::refuse(const std::string& of, const std::string& reason) {
  m_send({{"type", "refused"}, {"of", of}, {"reason", reason}});
}

void ParticipantSession::logIn(const nlohmann::json& body) {
  if (m_game.phase() != Phase::LoggedOut) return reject("notNow", "already logged in");
  const auto subject = textField(body, "subject");
  const auto setting = textField(body, "setting");
  const auto team = body.contains("team") ? textField(body, "team") : std::string();
  if (!subject || !setting || !team) return reject("invalid", "subject, setting, team");
  std::optional<Questionnaire> answers;
  if (body.contains("questionnaire")) {
    answers = questionnaireOf(body["questionnaire"]);
    if (!answers) return reject("invalid", "questionnaire");
  }
  const auto takeOver = body.find("takeOver");
  if (takeOver != body.end() && !takeOver->is_boolean()) return reject("invalid", "takeOver");
  m_view.setQuestionnaire(std::move(answers));
  m_prompter.answerTakeOver(takeOver != body.end() && takeOver->get<bool>());
  m_game.openDatabase(kDefaultDatabaseFile);
  const LoginResult result = m_game.logIn({*subject, *setting, *team});
  m_prompter.answerTakeOver(false);
  if (result != LoginResult::LoggedIn) {
    return refuse("login", m_view.questionnaireNeeded() ? "questionnaireNeeded" : "refused");
  }
  m_setting = *setting;
  if (!m_game.startGame()) return refuse("login", "noTrialLeft");
  carryOn();
}

void ParticipantSession::order(const nlohmann::json& body) {
  if (m_game.phase() != Phase::WeekOpen) return reject("notNow", "no week is open");
  const auto turn = body.find("turn");
  if (turn == body.end() || !turn->is_number_integer()) return reject("invalid", "turn");
  const auto value = body.find("value");
  const std::optional<int> order = value == body.end() ? std::nullopt : orderValue(*value);
  if (!order) return reject("invalid", "value: 1 to 4 digits");
  std::optional<int32_t> decisionTime;
  if (const auto measured = body.find("decisionMs"); measured != body.end()) {
    decisionTime = decisionTimeValue(*measured);
    if (!decisionTime) return reject("invalid", "decisionMs: 0 to 2147483647");
  }
  if (turn->get<int64_t>() != m_view.openTurn()) return reject("wrongTurn", "not the open week");
  if (!m_game.submitOrder(*order, decisionTime)) return refuse("order", "aboveLimit");
  carryOn();
}

void ParticipantSession::answerPause(const nlohmann::json& body) {
  if (m_game.phase() != Phase::Paused) return reject("notNow", "no pause");
  const auto password = textField(body, "password");
  if (!password) return reject("invalid", "password");
  if (!m_game.answerPause(*password)) return refuse("pause", "incorrectPassword");
  carryOn();
}

void ParticipantSession::skipTraining(const nlohmann::json& body) {
  const bool open = m_game.phase() == Phase::WeekOpen || m_game.phase() == Phase::RestartPending;
  if (!open || !m_game.inTraining()) return reject("notNow", "not in training");
  const auto password = textField(body, "password");
  if (!password) return reject("invalid", "password");
  if (!m_game.skipTraining(*password)) return refuse("skipTraining", "incorrectPassword");
  carryOn();
}

template <class Move>
bool ParticipantSession::teachersMove(const std::string& setting, Move move) {
  if (m_ended || m_game.phase() == Phase::LoggedOut || setting != m_setting) return false;
  bool taken = false;
  guarded([&] {
    taken = move();
    if (taken) carryOn();
  });
  return taken;
}

bool ParticipantSession::passPause(const std::string& setting) {
  return teachersMove(setting, [this] { return m_game.passPauseWithoutPassword(); });
}

bool ParticipantSession::endTraining(const std::string& setting) {
  return teachersMove(setting, [this] { return m_game.skipTrainingWithoutPassword(); });
}

// The steps the window takes from its event loop without the participant:
// the page shows the shipments moving while the next week opens.
void ParticipantSession::carryOn() {
  for (;;) {
    switch (m_game.phase()) {
      case Phase::Animating:
        m_game.animationFinished();
        break;
      case Phase::RestartPending:
        if (!m_game.runPendingRestart()) return;
        break;
      case Phase::TrialOver:
        m_game.nextTrial();
        break;
      case Phase::GameOver:
        m_game.endSession();
        return;
      default:
        return;
    }
  }
}

}  // namespace quarn::server
