#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/Numbers.h"
#include "base/Roles.h"
#include "plan/DisplayConfiguration.h"

namespace quarn {

// A counter as the window shows it: "01 of 52", "100 of 120".
inline std::string counterText(int value, int total) {
  return twoDigits(value) + " of " + twoDigits(total);
}

// What a trial shows from its start.
struct TrialDisplay {
  std::string counter;    // "02 of 04"; in training the training number, "-02 of 01"
  std::string firstWeek;  // "01 of 20": the week counter as the trial starts
  int16_t participantRole = kNoParticipant;
  int16_t delay = 1;
  int32_t initialShipment = 0;   // on every truck at the start
  DisplayConfiguration display;  // what may be seen; one not found leaves all as it was
  int16_t forecastWeeks = -1;    // how far the forecast looks ahead; -1: no forecast
  // A trial without a participant plays itself, at full pace.
  bool playsItself() const { return !hasParticipant(participantRole); }
};

// One role's figures after a week.
struct RoleFigures {
  int32_t recentOrder = 0;
  int64_t backorder = 0;  // 64 bits: the negated stock of a 32-bit inventory
  int32_t inventory = 0;
  int32_t satisfied = 0;
  int32_t demand = 0;
  int32_t totalCost = 0;
};

struct WeekFigures {
  std::array<RoleFigures, kRoleCount> roles;
  double totalCost = 0;             // the whole chain's
  std::optional<int16_t> forecast;  // the demand forecast, in a trial that has one
  // "03 of 20": the week about to open; after the trial's last week, that
  // week. Shown with the figures, before any message about them.
  std::string weekCounter;
};

struct WeekOpening {
  std::string counter;  // "03 of 20"
  // In a trial that plays itself: the order shown in the order box while the
  // week plays at once (the Distributor's; the chain does not use it).
  std::optional<int32_t> simulatedOrder;
};

// The week's shipments: what each role's upstream sent off this week. The
// truck that delivers comes back to the start of its road carrying it.
struct Shipments {
  std::array<int32_t, kRoleCount> departing{};
};

// A new participant's answers to the questionnaire.
struct Questionnaire {
  std::optional<int64_t> age;
  std::string gender;
  std::string schoolYear;
  std::string major;
};

// What the game tells the participant's screen. The main window implements
// it; the pilot and the tests implement it without a window. Every event has
// a default that shows nothing.
class GameView {
 public:
  virtual ~GameView() = default;

  // The login took a setting whose participants read `language` (tblSetting,
  // e.g. "de"); empty: the language chosen at the start. Comes before the
  // questionnaire.
  virtual void languageChosen(const std::string& /*language*/) {}
  // The login succeeded: who plays under which setting.
  virtual void sessionStarted(const std::string& /*subject*/, const std::string& /*setting*/) {}
  // Training trials begin, or end.
  virtual void trainingChanged(bool /*inTraining*/) {}
  virtual void trialStarted(const TrialDisplay& /*trial*/) {}
  virtual void figuresChanged(const WeekFigures& /*figures*/) {}
  // The next week waits for the participant's order (or plays itself).
  virtual void weekOpened(const WeekOpening& /*week*/) {}
  // The week was played: the view animates the shipments, then calls
  // GameSession::animationFinished().
  virtual void animationStarted(const Shipments& /*shipments*/) {}
  // A week played before this workstation started again, replayed from the
  // team's stored orders: the view shows at once what the week's animation
  // would have left (the trucks on their slots with their loads).
  virtual void weekReplayed(const Shipments& /*shipments*/) {}
  // A failed training trial is played again once the view calls
  // GameSession::runPendingRestart() from its event loop.
  virtual void trainingRestartPending() {}
  // The trial's last week is played; the next trial waits for nextTrial().
  virtual void trialEnded() {}
  // The finished trial is put away.
  virtual void trialClosed() {}
  // A scheduled pause: the game waits for answerPause() with its password.
  virtual void pauseStarted() {}
  // The skip-training password was taken.
  virtual void trainingSkipped() {}
  // A team member waits for the team: `text` says for whom ("Waiting for
  // the Factory and the Retailer..."); empty once the team goes on.
  virtual void teamWaiting(const std::string& /*text*/) {}
  // Every trial is played: the closing screen.
  virtual void gameOver() {}
  // The setting's completion link with the participant's User ID filled in
  // (plan/CompletionLink.h), shown on the closing screen; told after
  // gameOver() when the setting names one.
  virtual void completionLinkShown(const std::string& /*address*/) {}
  // Asks a new participant's questionnaire; nothing when it is cancelled.
  // `previous` holds the answers of an attempt whose row could not be stored.
  virtual std::optional<Questionnaire> askQuestionnaire(
      const std::string& /*subject*/, const std::optional<Questionnaire>& /*previous*/) {
    return std::nullopt;
  }
};

}  // namespace quarn
