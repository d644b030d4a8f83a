#pragma once

#include <chrono>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "base/Prompter.h"

namespace quarn::server {

// The page's protocol: JSON text messages over one WebSocket, each an object
// typed by its "type" field. kMessages is the one description of every
// message; the parser and the developer guide's table both come from it.

// The largest message either side sends; a larger one is refused unread.
inline constexpr std::size_t kMaxMessageBytes = 4096;

// The participant's page and the server, or the teacher's (and the
// projector's) page and the server: each page takes only its own messages.
enum class Direction { FromPage, ToPage, FromTeacher, ToTeacher };

struct MessageDescription {
  const char* type;
  Direction direction;
  const char* fields;  // "name: meaning; ..."
  const char* meaning;
  // A page's message: every field it may carry besides its type, separated
  // by blanks. Any other field refuses the message.
  const char* names = "";
};

inline constexpr MessageDescription kMessages[] = {
    {"login", Direction::FromPage,
     "subject: the User ID; setting; team (optional); questionnaire (optional): "
     "{age, gender, schoolYear, major}, the answers a new participant gives; takeOver "
     "(optional, false unless given): the person's Yes to taking over a participant who "
     "plays elsewhere",
     "logs in and starts the game", "subject setting team questionnaire takeOver"},
    {"joinClass", Direction::FromPage,
     "code: the class's code as typed; name (a class of names) or subject (a class of User "
     "IDs), neither to ask what the class needs (classInfo); questionnaire (optional); "
     "takeOver (optional): as login's",
     "joins the class: the student is placed (in a team of a team setting, at once or when the "
     "class's door closes) and logged in to the class's setting",
     "code name subject questionnaire takeOver"},
    {"order", Direction::FromPage,
     "turn: the turn of the open week, as weekOpened gave it; value: the order box's "
     "text, 1 to 4 digits; decisionMs (optional): milliseconds from the week shown to the "
     "order sent, 0 to 2147483647, recorded as the decision time",
     "orders the open week; refused for any other turn", "turn value decisionMs"},
    {"pause", Direction::FromPage, "password", "the moderator's password that ends a pause",
     "password"},
    {"skipTraining", Direction::FromPage, "password",
     "the moderator's password that skips the rest of training", "password"},
    {"sessionStarted", Direction::ToPage, "subject; setting", "the login succeeded"},
    {"classInfo", Direction::ToPage,
     "code: the class's code; setting; identity: what a student gives, \"name\" or \"id\"",
     "what the class needs"},
    {"classJoined", Direction::ToPage,
     "code; setting; subject: the User ID the student plays under", "the class took the student"},
    {"classWaiting", Direction::ToPage, "code: the class; empty: no longer",
     "the student waits for the teacher to start the class (and a team formed at random, for "
     "the class's door to close)"},
    {"language", Direction::ToPage, "language: e.g. \"de\"; empty for the default",
     "the language the setting's participants read"},
    {"training", Direction::ToPage, "active: true or false", "training trials begin or end"},
    {"trialStarted", Direction::ToPage,
     "counter; firstWeek; role: the participant's stage (-1: none); delay; initialShipment "
     "(unless every road is hidden); roads: per stage, whether the display shows the trucks "
     "on its way in; forecastWeeks",
     "a trial starts"},
    {"figures", Direction::ToPage,
     "weekCounter; roles: per stage only the figures the display shows; totalCost (when "
     "shown); forecast (when the trial has one)",
     "the figures after a week"},
    {"weekOpened", Direction::ToPage, "turn: numbers every opened week; counter",
     "a week waits for the participant's order"},
    {"shipments", Direction::ToPage,
     "departing: per stage, what left this week; null where the display hides its trucks",
     "the week's shipments move"},
    {"weekReplayed", Direction::ToPage, "departing", "a week played before, shown at once"},
    {"trainingRestart", Direction::ToPage, "", "a failed training trial is played again"},
    {"trialEnded", Direction::ToPage, "", "the trial's last week is played"},
    {"trialClosed", Direction::ToPage, "", "the finished trial is put away"},
    {"paused", Direction::ToPage, "", "a pause waits for the moderator's password"},
    {"trainingSkipped", Direction::ToPage, "", "the skip password was taken"},
    {"teamWaiting", Direction::ToPage, "text: for whom the team waits; empty: no longer",
     "a team member waits"},
    {"weekClock", Direction::ToPage,
     "seconds: the whole seconds left for the open week's order; null: the clock stopped",
     "the week clock's countdown, at each change"},
    {"clockOrdered", Direction::ToPage, "text: what was ordered",
     "the week clock ran out and ordered the week"},
    {"gameOver", Direction::ToPage, "", "every trial is played"},
    {"completionLink", Direction::ToPage,
     "address: the setting's completion link with the User ID filled in (URL-encoded)",
     "the closing screen shows it as a link"},
    {"message", Direction::ToPage,
     "kind: what it is about (\"TakeOver\", \"TrialEnded\", \"GameOver\", ...); style: its "
     "buttons (\"ok\", \"okWarning\", \"yesNo\", \"yesNoWarning\", \"yesNoQuestion\", "
     "\"abortRetryIgnore\"); title; text; answer (questions only): how the server answered",
     "what the window shows in a message box"},
    {"refused", Direction::ToPage,
     "of: the refused message's type; reason (questionnaireNeeded: a new User ID, log in "
     "again with the questionnaire's answers; a class's: unknownClass, classClosed, "
     "classEnded, subjectRefused)",
     "a move the game did not take (a wrong password, an order above the limit)"},
    {"ended", Direction::ToPage, "reason", "the session ended; the connection closes"},
    {"error", Direction::ToPage,
     "reason: malformed, tooLarge, tooMany, unknownType, invalid, wrongTurn, "
     "notNow; detail",
     "a message that was not taken; nothing changed"},
    {"classLogin", Direction::FromTeacher, "password: the class's teacher password",
     "logs the teacher's page (or the projector view) in to the class its address names; "
     "wrong guesses are slowed down for the class",
     "password"},
    {"startClass", Direction::FromTeacher, "",
     "the students may play: an open class's door closes first; refused (classEnded) for an "
     "ended class",
     ""},
    {"pauseClass", Direction::FromTeacher, "",
     "the students wait until the class goes on; refused (notStarted) before the class started",
     ""},
    {"endClass", Direction::FromTeacher, "",
     "the class is over: every page of the class is sent the debriefing", ""},
    {"passPause", Direction::FromTeacher, "",
     "every student of the class held at a scheduled pause goes on, in every server process; "
     "who comes to a pause later waits there",
     ""},
    {"endTraining", Direction::FromTeacher, "",
     "every student of the class in training leaves it for the experiment, in every server "
     "process; who begins training later trains",
     ""},
    {"replaceMember", Direction::FromTeacher,
     "team; member: 1 to 4; player: a simulated player of the plan",
     "the player takes the member's stage from the member's next week to the trial's end",
     "team member player"},
    {"debrief", Direction::FromTeacher, "", "asks for the debriefing now", ""},
    {"classLoggedIn", Direction::ToTeacher,
     "code; setting; state: open, closed, started, paused or ended; players: the simulated "
     "players a member may be replaced by",
     "the password was right"},
    {"classView", Direction::ToTeacher,
     "state; teams: each team's members (role, what each does, gone, replaced by), its open "
     "week and whom it waits for, as `quarngame-admin watch` shows them; participants: the "
     "students playing alone",
     "the teacher's live view, sent at login and after every change"},
    {"classCharts", Direction::ToTeacher,
     "state; trial; weeks; teams: each {team, orders: per week the four stages' orders, "
     "Factory first}; variance: per stage the mean over the teams of its orders' variance; "
     "demandVariance: the same of the customer's demand",
     "the projector's charts, sent at login and after a played week (at most once a second)"},
    {"debriefing", Direction::ToTeacher,
     "trial; teams: each {team, members, cost, complete, place, ranked, orders}; "
     "leagues: the report's league tables {caption, columns, rows, notes}; amplification: "
     "per stage the median ratio of the order variance to the demand's",
     "the debriefing, sent when the class ends or on demand"},
    {"classDone", Direction::ToTeacher,
     "of: the action's type; replaced: {team, member, subject, player, trial, fromWeek} "
     "(replaceMember)",
     "an action was taken"},
};

// A message from the page, checked: its type is one of the page's and its
// JSON is an object. The fields are checked by the session that takes it.
struct PageMessage {
  std::string type;
  nlohmann::json body;
};

// Why a message from the page was not taken.
struct ProtocolError {
  std::string reason;  // one of the error message's reasons
  std::string detail;
};

// Parses `text` as a message from the page: a JSON object no larger than
// kMaxMessageBytes whose "type" is a FromPage message's.
struct ParsedMessage {
  std::optional<PageMessage> message;
  ProtocolError error;
};
ParsedMessage parsePageMessage(std::string_view text);
// The same for a message of the teacher's page (FromTeacher).
ParsedMessage parseTeacherMessage(std::string_view text);

// The names a message gives a question's kind and its buttons: the
// enumerator's name ("TakeOver"; "yesNo").
const char* promptKindName(PromptKind kind);
const char* promptStyleName(PromptStyle style);

// A decision time as an order brings it: a whole number of milliseconds,
// 0 to 2147483647; nothing otherwise.
std::optional<int32_t> decisionTimeValue(const nlohmann::json& value);

// The error message for `error`, as the page receives it.
nlohmann::json errorMessage(const ProtocolError& error);

// An order box's text as an order: 1 to 4 digits and nothing else (a JSON
// number is taken when it is a whole number 0..9999 written without sign,
// fraction or exponent); nothing otherwise.
std::optional<int> orderValue(const nlohmann::json& value);

// How many messages a connection may send: a burst of kBurst, then
// kPerSecond a second (a participant orders far slower; a page gone wrong or
// a password guessed in a loop is held back). A message over the rate is
// answered with the error tooMany and not taken.
class MessageRate {
 public:
  static constexpr double kBurst = 40;
  static constexpr double kPerSecond = 5;
  using Clock = std::chrono::steady_clock;

  // Whether a message arriving at `now` is taken (and counted).
  bool admit(Clock::time_point now);

 private:
  double m_tokens = kBurst;
  std::optional<Clock::time_point> m_last;
};

// The developer guide's table of messages (Markdown), from kMessages.
std::string protocolTable();

}  // namespace quarn::server
