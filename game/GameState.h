#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "base/Prompter.h"
#include "base/Random.h"
#include "db/DatabaseAccess.h"
#include "db/PlayingMark.h"
#include "db/TeamStore.h"
#include "plan/PauseSchedule.h"
#include "plan/Plan.h"
#include "plan/Predicter.h"
#include "plan/Training.h"
#include "sim/Chain.h"

namespace quarn {

// The services a game runs on. The application passes the real ones; a test
// passes a scripted prompter, fixed clocks and a fixed generator.
struct GameServices {
  Prompter& prompter;
  TickCounter& ticks;
  UniformRandom& random;
  WallClock& clock;  // the date and time of the records, the workstation marks
  DatabaseAccess& db;
  std::string appFolder;  // holds data/ (text files) and Input/ (demand files)
  // Where the participant plays, as the mark names it: this copy of the
  // application, unless one process plays for several places (the browser
  // server names each browser).
  Workstation workstation = thisWorkstation();
};

// Who plays under which setting: set by the login, written into every record.
struct Identity {
  std::string subject;  // the User ID as datUser stores it
  std::string setting;
};

// The decision time of the running week, in milliseconds of the tick counter.
struct DecisionTimes {
  uint32_t weekStart = 0;   // when the order box opened
  uint32_t orderPress = 0;  // when the order was made
  // The time the participant's screen measured itself (a browser's page,
  // so that the network's delay does not enter it); none: the tick counter's.
  std::optional<int32_t> measured = std::nullopt;
  // The week clock ran out and made the order.
  bool byClock = false;
  // The measured time, else orderPress - weekStart on the wrapping 32-bit
  // counter.
  int32_t elapsed() const {
    return measured ? *measured : static_cast<int32_t>(orderPress - weekStart);
  }
};

// The key of a datTrial row.
struct TrialKey {
  std::string subject;
  std::string setting;
  int16_t trial = 0;
  bool operator==(const TrialKey&) const = default;
};

// A member's session in a team setting: the team, the member's number, and
// what the workstation last read of the team's members and typed orders.
struct TeamSession {
  TeamKey key;         // the team's name is empty outside a team setting
  int16_t member = 0;  // 1 to 4
  int16_t size = 0;    // the team's number of members
  std::vector<TeamMember> members;
  // The running trial's typed orders and replaced members, as last read.
  std::vector<TypedOrder> orders;
  std::vector<TeamTrialMember> replaced;
  // The weeks of the running trial whose records this member has stored
  // already (a workstation that starts again replays them unrecorded).
  int16_t recordedWeeks = 0;
  // The decision time of each stage's typed order in the week just closed,
  // and whether the week clock made it.
  std::array<int32_t, kRoleCount> decisionTimes{};
  std::array<bool, kRoleCount> clockOrders{};

  bool active() const { return !key.team.empty(); }
};

// Everything one game holds; GameSession owns it.
struct GameState {
  Identity identity;
  Plan plan;
  TrainingState training;
  Chain chain;
  PauseSchedule pauses;
  PredicterState predicter;
  DecisionTimes times;
  // The end costs of the participant's experiment trials: those recorded
  // before this run began, and those finished in it.
  int32_t costSum = 0;
  // The trial recorded last. Its end, a failed training check, the skip
  // password and the exit question may each come to record a trial; it is
  // recorded once.
  std::optional<TrialKey> lastRecordedTrial;
  // That the participant plays on this workstation, from the login to the end.
  std::optional<PlayingMark> mark;
  TeamSession team;
};

}  // namespace quarn
