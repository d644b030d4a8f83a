#pragma once

// A played trial as the datRole and datTrial rows record it: the input of the
// measures, the fitted decision rules and the charts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Roles.h"
#include "sim/RecordedStage.h"

namespace quarn {

struct Chain;

// The four rows of one week, by role.
struct RecordedWeek {
  int16_t week = 0;
  std::array<RecordedStage, kRoleCount> stages;
};

// A member of a team trial: who played which stage, and the simulated player
// that took the stage over from week `fromWeek` on when the moderator
// replaced the member (none otherwise).
struct TeamSeat {
  int16_t member = 0;  // 1 to 4
  int16_t role = kNoParticipant;
  std::string subject;
  std::string player;
  int16_t fromWeek = 0;

  friend bool operator==(const TeamSeat&, const TeamSeat&) = default;
};

struct RecordedTrial {
  std::string subject;
  std::string setting;
  int16_t trial = 0;
  bool training = false;
  int16_t participantRole = kNoParticipant;  // the stage whose rows carry User 6
  int16_t delay = 0;
  // The weeks the trial was planned to run; the recorded weeks are fewer when
  // the participant left early.
  int16_t plannedWeeks = 0;
  std::array<std::string, kRoleCount> players;  // who played each stage ("Subject" or a name)
  // The treatment as the setting's plan describes the trial; empty when the
  // plan no longer holds it.
  std::string demandSource;  // the demand file, or "step A to B in week W"
  std::string predicter;
  std::string displayOption;
  std::vector<RecordedWeek> weeks;  // in week order
  int skippedWeeks = 0;             // weeks left out because a stage's row was missing
  // The moderator replaced the member by a simulated player: `weeks` end
  // where the player took over, and the trial is never complete.
  bool replaced = false;
  // A team trial, recorded once per member under the member's own ID: the
  // team's name, the member these records are of, and every member of the
  // team in this trial by member number. Empty for one participant's trial.
  std::string team;
  int16_t member = 0;
  std::vector<TeamSeat> seats;
};

bool isTeamTrial(const RecordedTrial& trial);

// The member playing `role` in a team trial, or null.
const TeamSeat* seatOf(const RecordedTrial& trial, int role);

// The chains the trials played, each once: every trial of one participant,
// and of a team trial the member's records with the most weeks (the lowest
// member number of equals), in the order the trials come. The members'
// records of one team trial hold the same figures of the chain; the
// member's records stop where the member left.
std::vector<const RecordedTrial*> playedChains(const std::vector<RecordedTrial>& trials);

// The records of every member of the team trial `chain` belongs to, by
// member number; `chain` alone for one participant's trial.
std::vector<const RecordedTrial*> memberRecords(const std::vector<RecordedTrial>& trials,
                                                const RecordedTrial& chain);

// The customer demand of the week at `index` of `trial.weeks`: the Retailer's
// incoming order.
int32_t customerDemand(const RecordedTrial& trial, size_t index);

// How many of the recorded weeks (from the first) carry orders that reach the
// chain. The orders of the planned trial's last two weeks never do: the game
// only turns the pipelines over then.
size_t decisionWeekCount(const RecordedTrial& trial);

// Whether every planned decision week (1 to plannedWeeks - 2) is recorded:
// false for a trial left early, for one missing a week's rows and for a
// member's whom the moderator replaced.
bool isComplete(const RecordedTrial& trial);

// The sum of the four stages' costs in the last recorded week.
int64_t chainCost(const RecordedTrial& trial);

// The rows the game records for the week just closed, read from the chain as
// the weekly records store them (Order is the stage's order slot 1).
RecordedWeek recordWeek(const Chain& chain, int16_t week);
// The same written over `into`, reusing its storage.
void recordWeek(const Chain& chain, int16_t week, RecordedWeek& into);

}  // namespace quarn
