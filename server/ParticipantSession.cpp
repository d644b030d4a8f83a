#include "server/ParticipantSession.h"

#include <iostream>
#include <thread>

#include "base/Errors.h"
#include "base/Text.h"
#include "db/ClassStore.h"
#include "game/LabWatch.h"
#include "server/ClassBoard.h"
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

ParticipantSession::ParticipantSession(std::string appFolder, std::string device, SendToPage send,
                                       TickCounter* ticks)
    : m_send(std::move(send)),
      m_view(m_send),
      m_prompter(m_send, m_view),
      m_ticks(ticks ? *ticks : m_steadyTicks),
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
  if (m_doorWait && !m_ended) return guarded([&] { lookAtClassDoor(); });
  if (m_ended || m_game.phase() == Phase::LoggedOut) return;
  guarded([&] {
    if (++m_quietTicks >= kTicksPerSignOfLife) {
      m_quietTicks = 0;
      m_game.keepAlive();
    }
    const std::optional<ClassRow> row = lookAtClass();
    followClassPause(row);
    if (row) followTeachersWords(*row);
    // The week clock stands while the teacher pauses the class.
    if (!m_classPaused && m_game.clockRuns() && m_game.runClock()) carryOn();
    lookAtTeam();
  });
}

void ParticipantSession::teamChanged() {
  if (m_ended || m_game.phase() == Phase::LoggedOut) return;
  guarded([&] { lookAtTeam(); });
}

void ParticipantSession::lookAtTeam() {
  if (m_game.watchesTeam() && m_game.pollTeam(std::chrono::milliseconds(0))) carryOn();
}

// The class the student joined, as last read for all its students at once
// (ClassBoard); none for a participant who logged in without a class.
std::optional<ClassRow> ParticipantSession::lookAtClass() {
  if (m_classCode.empty()) return std::nullopt;
  ClassStore& classes = m_stores.classes();
  return ClassBoard::shared().look(m_stores.location(), m_classCode, [&] {
    return m_db.read([&] { return classes.find(m_classCode); });
  });
}

// A student of a class waits while the teacher pauses the class: the page
// says so and no order is taken; when the class goes on, the page is shown
// the game as it stands.
void ParticipantSession::followClassPause(const std::optional<ClassRow>& row) {
  if (m_classCode.empty()) return;
  const bool paused = row && row->state == ClassState::Paused;
  if (paused == m_classPaused) return;
  m_classPaused = paused;
  if (paused) {
    m_send({{"type", "teamWaiting"},
            {"text", m_prompter.translate("ParticipantSession",
                                          "The class is paused. Please wait for your teacher.")}});
  } else {
    m_send({{"type", "teamWaiting"}, {"text", ""}});
    resendState();
  }
}

// Where the teacher's words stood when the student came to a pause or began
// training: the class is read at that moment (not as last read for
// everyone), so that a word given before it passes nobody who came later.
void ParticipantSession::noteTeachersWords() {
  if (m_classCode.empty() || m_ended || m_game.phase() == Phase::LoggedOut) return;
  const bool atPause = m_game.phase() == Phase::Paused;
  const bool inTraining = m_game.inTraining();
  if (!atPause) m_pausesSeen.reset();
  if (!inTraining) m_trainingsSeen.reset();
  if ((!atPause || m_pausesSeen) && (!inTraining || m_trainingsSeen)) return;
  ClassStore& classes = m_stores.classes();
  const std::optional<ClassRow> row = ClassBoard::shared().readNow(
      m_stores.location(), m_classCode,
      [&] { return m_db.read([&] { return classes.find(m_classCode); }); });
  if (!row) return;
  if (atPause && !m_pausesSeen) m_pausesSeen = row->pausesPassed;
  if (inTraining && !m_trainingsSeen) m_trainingsSeen = row->trainingsEnded;
}

// The teacher's word given since the student came to its pause (began its
// training) passes the pause (ends the training) as the moderator's
// password would. Training ends once the game takes it (not while the
// student waits for its team).
void ParticipantSession::followTeachersWords(const ClassRow& row) {
  if (m_pausesSeen && row.pausesPassed > *m_pausesSeen && m_game.passPauseWithoutPassword()) {
    m_pausesSeen.reset();
    carryOn();
  }
  if (m_trainingsSeen && row.trainingsEnded > *m_trainingsSeen &&
      m_game.skipTrainingWithoutPassword()) {
    m_trainingsSeen.reset();
    carryOn();
  }
}

void ParticipantSession::resendState() {
  if (m_doorWait && !m_ended) return sendDoorWait();
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
    noteTeachersWords();
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
  } else if (message.type == "joinClass") {
    joinClass(message.body);
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
  startLogin({*subject, *setting, *team}, std::move(answers),
             takeOver != body.end() && takeOver->get<bool>());
}

void ParticipantSession::startLogin(const LoginRequest& request,
                                    std::optional<Questionnaire> answers, bool takeOver) {
  m_view.setQuestionnaire(std::move(answers));
  m_prompter.answerTakeOver(takeOver);
  m_game.openDatabase(kDefaultDatabaseFile);
  const LoginResult result = m_game.logIn(request);
  m_prompter.answerTakeOver(false);
  if (result != LoginResult::LoggedIn) {
    return refuse("login", m_view.questionnaireNeeded() ? "questionnaireNeeded" : "refused");
  }
  m_setting = request.setting;
  if (!m_game.startGame()) return refuse("login", "noTrialLeft");
  carryOn();
}

namespace {

// The longest name a student of a class may give.
constexpr size_t kMaxClassNameBytes = 60;

bool acceptableName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxClassNameBytes && isUtf8(name) &&
         printable(name) == name;
}

// The players of a team setting's teams; 0 for a setting played alone.
int16_t teamSizeOf(DatabaseAccess& db, const std::string& setting) {
  return db.read([&] { return planTeams(db.planTables())(setting).size; });
}

}  // namespace

// A student joins a class by its code with a name or a User ID, as the
// class asks, and is placed: in its team (by arrival, or once the door
// closes), then logged in to the class's setting once the teacher started
// the class (a student who comes back to a started or paused class goes on
// at once).
void ParticipantSession::joinClass(const nlohmann::json& body) {
  if (m_game.phase() != Phase::LoggedOut || m_doorWait) {
    return reject("notNow", "already logged in");
  }
  const auto typed = textField(body, "code");
  const auto code = typed ? normalClassCode(*typed) : std::nullopt;
  if (!code) return reject("invalid", "code");
  std::optional<Questionnaire> answers;
  if (body.contains("questionnaire")) {
    answers = questionnaireOf(body["questionnaire"]);
    if (!answers) return reject("invalid", "questionnaire");
  }
  const auto takeOver = body.find("takeOver");
  if (takeOver != body.end() && !takeOver->is_boolean()) return reject("invalid", "takeOver");
  m_game.openDatabase(kDefaultDatabaseFile);
  ClassStore& classes = m_stores.classes();
  const std::optional<ClassRow> row = m_db.read([&] { return classes.find(*code); });
  if (!row) return refuse("joinClass", "unknownClass");
  if (row->state == ClassState::Ended) return refuse("joinClass", "classEnded");
  if (!body.contains("name") && !body.contains("subject")) {
    return m_send({{"type", "classInfo"},
                   {"code", row->code},
                   {"setting", row->setting},
                   {"identity", std::string(classIdentityName(row->identity))}});
  }
  const bool open = row->state == ClassState::Open;
  std::optional<ClassStudent> student;
  if (row->identity == ClassIdentity::Name) {
    const auto name = body.contains("name") ? textField(body, "name") : std::nullopt;
    const std::string given = name ? std::string(trimBlanks(*name)) : "";
    if (!acceptableName(given)) return reject("invalid", "name");
    if (!open && !m_db.read([&] { return classes.studentNamed(row->code, given); })) {
      return refuse("joinClass", "classClosed");
    }
    student = m_db.read([&] { return classes.arriveNamed(row->code, given); });
  } else {
    const auto subject = body.contains("subject") ? textField(body, "subject") : std::nullopt;
    const std::string given = subject ? std::string(trimBlanks(*subject)) : "";
    if (given.empty() || !subjectIdFault(given).empty())
      return refuse("joinClass", "subjectRefused");
    if (!open) {
      for (const ClassStudent& s : m_db.read([&] { return classes.students(row->code); })) {
        if (foldedName(s.subject) == foldedName(given)) student = s;
      }
      if (!student) return refuse("joinClass", "classClosed");
    } else {
      student = m_db.read([&] { return classes.arrive(row->code, given, ""); });
    }
  }
  m_send({{"type", "classJoined"},
          {"code", row->code},
          {"setting", row->setting},
          {"subject", student->subject}});
  m_classCode = row->code;
  DoorWait wait{row->code,
                {student->subject, row->setting, student->team},
                std::move(answers),
                takeOver != body.end() && takeOver->get<bool>()};
  const int16_t size = teamSizeOf(m_db, row->setting);
  if (size > 0 && wait.request.team.empty()) {
    if (row->forming == ClassForming::Random) {
      wait.teamAtDoor = true;
    } else {
      wait.request.team =
          m_db.read([&] { return classes.placeByArrival(row->code, student->subject, size); });
    }
  }
  if (size == 0) wait.request.team.clear();
  if (wait.teamAtDoor || row->state == ClassState::Open || row->state == ClassState::Closed) {
    // A new User ID answers the questionnaire before the wait, not after
    // the start: the class begins together.
    if (!wait.answers &&
        !m_db.read([&] { return m_stores.participants().findParticipant(wait.request.subject); })) {
      return refuse("login", "questionnaireNeeded");
    }
    m_doorWait = std::move(wait);
    return sendDoorWait();
  }
  startLogin(wait.request, std::move(wait.answers), wait.takeOver);
}

void ParticipantSession::sendDoorWait() {
  m_send({{"type", "classWaiting"}, {"code", m_doorWait->code}});
}

// The class the student waits in: once the teacher started it, the login
// goes on, in the team its door formed; the class's row is read for all its
// students at once (ClassBoard).
void ParticipantSession::lookAtClassDoor() {
  ClassStore& classes = m_stores.classes();
  const std::string code = m_doorWait->code;
  const std::optional<ClassRow> row = ClassBoard::shared().look(
      m_stores.location(), code, [&] { return m_db.read([&] { return classes.find(code); }); });
  if (!row) return;
  if (row->state == ClassState::Ended) {
    m_doorWait.reset();
    return refuse("joinClass", "classEnded");
  }
  if (row->state == ClassState::Open || row->state == ClassState::Closed) return;
  DoorWait wait = std::move(*m_doorWait);
  m_doorWait.reset();
  if (wait.teamAtDoor) {
    for (const ClassStudent& s : m_db.read([&] { return classes.students(code); })) {
      if (s.subject == wait.request.subject) wait.request.team = s.team;
    }
    if (wait.request.team.empty()) {
      // The door closed before this student's arrival was counted: it missed
      // the class's teams.
      return refuse("joinClass", "classClosed");
    }
  }
  m_send({{"type", "classWaiting"}, {"code", ""}});
  startLogin(wait.request, std::move(wait.answers), wait.takeOver);
}

void ParticipantSession::order(const nlohmann::json& body) {
  if (m_game.phase() != Phase::WeekOpen) return reject("notNow", "no week is open");
  followClassPause(lookAtClass());
  if (m_classPaused) return refuse("order", "classPaused");
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
