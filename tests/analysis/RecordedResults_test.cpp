#include "analysis/RecordedResults.h"

#include <gtest/gtest.h>

#include "base/Errors.h"
#include "db/sqlcipher/SqlCipherTables.h"
#include "tests/support/TeamRecords.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

// The four rows of one week, their figures derived from the week and the
// role so that every field can be checked; `roles` leaves stages out.
void addWeek(RecordedRows& rows, int16_t trial, int16_t week, int delay, int participant,
             std::vector<int> roles = {0, 1, 2, 3}) {
  for (const int r : roles) {
    WeekRow row;
    row.subject = "O'Brien";
    row.setting = "A";
    row.trial = trial;
    row.week = week;
    row.role = roleName(r);
    row.participant = r == participant;
    row.stage.order = 10 * week + r;
    row.stage.deltaInventory = -r;
    row.stage.inventory = 12 - week * r;
    for (int k = 1; k <= delay; ++k) row.stage.delaySlots.push_back(20 * k + r);
    row.stage.demand = 4 + r;
    row.stage.satisfied = 3;
    row.stage.weeklyCost = week + r;
    row.stage.totalCost = 100 * week + r;
    rows.weeks.push_back(row);
  }
}

TrialRow trialRow(int16_t trial, int16_t weeks, int16_t delay) {
  TrialRow row;
  row.subject = "O'Brien";
  row.setting = "A";
  row.trial = trial;
  row.weeks = weeks;
  row.delay = delay;
  row.players = {"Sterman", "Subject", "Follower", "Sterman"};
  return row;
}

TEST(RecordedResults, ReadsEachWeeksStagesAndTheTrialRow) {
  RecordedRows rows;
  rows.trials = {trialRow(1, 20, 2)};
  for (int16_t week = 1; week <= 3; ++week) addWeek(rows, 1, week, 2, kDistributor);
  const std::vector<RecordedTrial> trials = recordedTrials(rows);
  ASSERT_EQ(trials.size(), 1u);
  const RecordedTrial& t = trials[0];
  EXPECT_EQ(t.subject, "O'Brien");
  EXPECT_EQ(t.plannedWeeks, 20);
  EXPECT_EQ(t.delay, 2);
  EXPECT_EQ(t.participantRole, kDistributor);
  EXPECT_EQ(t.players[kWholesaler], "Follower");
  ASSERT_EQ(t.weeks.size(), 3u);
  const RecordedStage& s = t.weeks[2].stages[kWholesaler];
  EXPECT_EQ(t.weeks[2].week, 3);
  EXPECT_EQ(std::vector<int32_t>({s.order, s.deltaInventory, s.inventory, s.demand, s.satisfied,
                                  s.weeklyCost, s.totalCost}),
            std::vector<int32_t>({32, -2, 6, 6, 3, 5, 302}));
  EXPECT_EQ(s.delaySlots, std::vector<int32_t>({22, 42}));
}

TEST(RecordedResults, ListsTrialsByNumberWithTheirOwnParticipant) {
  RecordedRows rows;
  addWeek(rows, 2, 1, 1, kRetailer);
  addWeek(rows, 1, 1, 1, kFactory);
  addWeek(rows, 3, 1, 1, kNoParticipant);
  const std::vector<RecordedTrial> trials = recordedTrials(rows);
  ASSERT_EQ(trials.size(), 3u);
  EXPECT_EQ(std::vector<int>({trials[0].trial, trials[1].trial, trials[2].trial}),
            std::vector<int>({1, 2, 3}));
  EXPECT_EQ(std::vector<int>(
                {trials[0].participantRole, trials[1].participantRole, trials[2].participantRole}),
            std::vector<int>({kFactory, kRetailer, kNoParticipant}));
}

TEST(RecordedResults, LeavesOutAWeekMissingAStage) {
  RecordedRows rows;
  addWeek(rows, 1, 1, 1, kRetailer);
  addWeek(rows, 1, 2, 1, kRetailer, {0, 1, 3});
  addWeek(rows, 1, 3, 1, kRetailer);
  const RecordedTrial t = recordedTrials(rows)[0];
  ASSERT_EQ(t.weeks.size(), 2u);
  EXPECT_EQ(t.weeks[1].week, 3);
  EXPECT_EQ(t.skippedWeeks, 1);
}

TEST(RecordedResults, TakesDelayAndWeeksFromTheWeeklyRowsWithoutATrialRow) {
  RecordedRows rows;
  for (int16_t week = 1; week <= 4; ++week) addWeek(rows, 1, week, 3, kNoParticipant);
  const RecordedTrial t = recordedTrials(rows)[0];
  EXPECT_EQ(t.subject, "O'Brien");
  EXPECT_EQ(t.delay, 3);
  EXPECT_EQ(t.plannedWeeks, 4);
  EXPECT_EQ(t.participantRole, kNoParticipant);
}

// A session ended in week 9 of a 20-week trial leaves no datTrial row: the
// plan's length makes it incomplete, and all nine weeks are decision weeks.
TEST(RecordedResults, TakesThePlannedLengthOfATrialLeftWithoutATrialRowFromThePlan) {
  RecordedRows rows;
  for (int16_t week = 1; week <= 9; ++week) addWeek(rows, 2, week, 2, 1);
  for (int16_t week = 1; week <= 6; ++week) addWeek(rows, 1, week, 2, 1);
  rows.trials.push_back(trialRow(1, 6, 2));
  TrialPlan first = steadyTrial(6, kDistributor);
  first.predicter = "Mean";
  first.displayOption = "Full";
  TrialPlan second = steadyTrial(20, kDistributor);
  second.inputFile = "demand.txt";
  const std::vector<RecordedTrial> trials = recordedTrials(rows, {first, second}, {});
  ASSERT_EQ(trials.size(), 2u);
  EXPECT_EQ(trials[1].plannedWeeks, 20);
  EXPECT_EQ(decisionWeekCount(trials[1]), 9u);
  EXPECT_FALSE(isComplete(trials[1]));
  EXPECT_EQ(trials[1].demandSource, "demand.txt");
  EXPECT_TRUE(isComplete(trials[0]));
  EXPECT_EQ(trials[0].demandSource, "step 4 to 8 in week 7");
  EXPECT_EQ(trials[0].predicter, "Mean");
  EXPECT_EQ(trials[0].displayOption, "Full");
}

// A killed session's trial keeps the stages' players: from the plan, as the
// game names them (its trial row would have), so that it groups with the
// others by WholesalerPlayer.
TEST(RecordedResults, NamesThePlayersOfATrialLeftWithoutATrialRowFromThePlan) {
  RecordedRows rows;
  for (int16_t week = 1; week <= 6; ++week) addWeek(rows, 1, week, 2, kDistributor);
  for (int16_t week = 1; week <= 3; ++week) addWeek(rows, 2, week, 2, kDistributor);
  rows.trials.push_back(trialRow(1, 6, 2));
  TrialPlan planned = steadyTrial(6, kDistributor);
  planned.rolePlayers = {1, kParticipantPlayer, 0, 1};
  const std::vector<PlayerStrategy> players = {{.name = "Follower"}, {.name = "Sterman"}};
  const std::vector<RecordedTrial> trials = recordedTrials(rows, {planned, planned}, players);
  ASSERT_EQ(trials.size(), 2u);
  EXPECT_EQ(trials[1].players, trials[0].players);
  EXPECT_EQ(trials[1].players,
            (std::array<std::string, kRoleCount>{"Sterman", "Subject", "Follower", "Sterman"}));
}

// In a team trial the other members' stages carry their IDs, as the game's
// trial row of the member would.
TEST(RecordedResults, NamesTheOtherMembersOfATeamTrialLeftWithoutATrialRow) {
  TeamTrialRows rows = teamTrialRows("Red", 1, pairAndFourTeams()[1]);
  rows.byMember[1].trials.clear();  // member 2's session was killed
  TrialPlan planned = steadyTrial(10);
  planned.stageMembers = {4, 3, 2, 1};
  planned.rolePlayers.fill(kParticipantPlayer);
  std::vector<RecordedTrial> trials = recordedTrials(rows.byMember[1], {planned}, {});
  joinTeams(trials, rows.team);
  ASSERT_EQ(trials.size(), 1u);
  EXPECT_EQ(trials[0].players,
            (std::array<std::string, kRoleCount>{"P20", "P03", "Subject", "P07"}));
}

TEST(RecordedResults, KeepsTheTrialRowsLengthOverThePlans) {
  RecordedRows rows;
  for (int16_t week = 1; week <= 4; ++week) addWeek(rows, 1, week, 2, 1);
  rows.trials.push_back(trialRow(1, 6, 2));
  EXPECT_EQ(recordedTrials(rows, {steadyTrial(30, kDistributor)}, {})[0].plannedWeeks, 6);
}

TEST(RecordedResults, MatchesARecordedNameApartFromLetterCase) {
  const std::vector<std::string> known = {"P1", "p2", "P2", "Demo", "Zoë", "Ægir"};
  struct Case {
    std::string typed, found;
  };
  for (const Case& c : std::vector<Case>{{"p1", "P1"},
                                         {"P2", "P2"},
                                         {"p2", "p2"},
                                         {"DEMO", "Demo"},
                                         {"", ""},
                                         {"ZOË", "Zoë"},
                                         {"ægir", "Ægir"}}) {
    EXPECT_EQ(recordedName(known, c.typed, "participant"), c.found) << c.typed;
  }
}

TEST(RecordedResults, RefusesAnUnknownNameNamingTheKnownOnes) {
  try {
    recordedName({"P1", "P2"}, "Nobody", "participant");
    FAIL() << "an unknown name was taken";
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.description(), "No participant Nobody is recorded; recorded: P1, P2");
  }
}

TEST(RecordedResults, RefusesAParticipantWhoPlayedTrainingOnlySayingSo) {
  const RecordedNames names{{"P1"}, {"Demo"}, {"Trainee"}};
  struct Case {
    std::string typed, said;
  };
  for (const Case& c : std::vector<Case>{
           {"p1", "P1"},
           {"TRAINEE", "Participant Trainee played training only: no experiment trial is recorded"},
           {"Nobody", "No participant Nobody is recorded; recorded: P1"}}) {
    try {
      EXPECT_EQ(recordedParticipant(names, c.typed), c.said);
    } catch (const QuarnError& e) {
      EXPECT_EQ(e.description(), c.said);
    }
  }
}

TEST(RecordedResults, JoinsTheRecordsOfEveryMemberOfATeamTrial) {
  for (const std::vector<TeamMemberPlan>& members : pairAndFourTeams()) {
    const TeamTrialRows rows = teamTrialRows("Red", 2, members);
    const std::vector<RecordedTrial> trials = teamTrialRecords(rows);
    ASSERT_EQ(trials.size(), members.size());
    for (size_t i = 0; i < trials.size(); ++i) {
      const RecordedTrial& t = trials[i];
      SCOPED_TRACE(t.subject);
      EXPECT_EQ(t.subject, members[i].subject);
      EXPECT_EQ(t.team, "Red");
      EXPECT_EQ(t.member, static_cast<int16_t>(i + 1));
      // Each member is the participant of its own stage.
      EXPECT_EQ(t.participantRole, members[i].role);
      ASSERT_EQ(t.seats.size(), members.size());
      for (size_t m = 0; m < members.size(); ++m) {
        EXPECT_EQ(t.seats[m].subject, members[m].subject);
        EXPECT_EQ(t.seats[m].role, members[m].role);
      }
    }
  }
}

TEST(RecordedResults, LeavesAParticipantsOwnTrialOutOfItsTeam) {
  TeamTrialRows rows = teamTrialRows("Red", 2, {{"P07", kFactory}, {"P12", kRetailer}});
  // P07 also played trial 1 alone.
  for (int16_t week = 1; week <= 3; ++week) {
    addWeek(rows.byMember[0], 1, week, 2, kDistributor);
  }
  for (WeekRow& row : rows.byMember[0].weeks) row.subject = "P07";
  const std::vector<RecordedTrial> trials = teamTrialRecords(rows);
  ASSERT_EQ(trials.size(), 3u);
  EXPECT_EQ(trials[0].trial, 1);
  EXPECT_FALSE(isTeamTrial(trials[0]));
  EXPECT_TRUE(trials[0].seats.empty());
  EXPECT_TRUE(isTeamTrial(trials[1]));
}

// A member the moderator replaced from week 3 whose workstation came back
// recorded all eight weeks: from week 3 the Retailer's rows carry User 0,
// and the datTrial row names the simulated player. The member's trial ends
// before week 3 and is never complete; the weeks kept are the member's own.
TEST(RecordedResults, EndsAReplacedMembersTrialWhereThePlayerTookOver) {
  RecordedRows rows;
  TrialRow trial = trialRow(1, 8, 2);
  trial.players = {"P12", "Sterman", "Sterman", "Sterman"};
  rows.trials = {trial};
  for (int16_t week = 1; week <= 8; ++week) {
    addWeek(rows, 1, week, 2, week < 3 ? kRetailer : kNoParticipant);
    rows.weeks[rows.weeks.size() - 4].teamMember = true;  // the Factory: another member
  }
  const std::vector<RecordedTrial> trials = recordedTrials(rows);
  ASSERT_EQ(trials.size(), 1u);
  const RecordedTrial& t = trials[0];
  EXPECT_EQ(t.participantRole, kRetailer);
  ASSERT_EQ(t.weeks.size(), 2u);
  EXPECT_EQ(t.weeks.back().week, 2);
  EXPECT_TRUE(t.replaced);
  EXPECT_FALSE(isComplete(t));
  EXPECT_EQ(t.players[kRetailer], "Subject");
  EXPECT_EQ(t.skippedWeeks, 0);
}

// A member replaced before its first week played none of the trial.
TEST(RecordedResults, ListsNoTrialForAMemberReplacedBeforeItsFirstWeek) {
  RecordedRows rows;
  rows.trials = {trialRow(1, 8, 2)};
  for (int16_t week = 1; week <= 8; ++week) {
    addWeek(rows, 1, week, 2, kNoParticipant);
    rows.weeks[rows.weeks.size() - 4].teamMember = true;
  }
  EXPECT_TRUE(recordedTrials(rows).empty());
}

// Without datRole's word for it (the member never came back), datTeam's
// replacement ends the member's trial at FromWeek all the same.
TEST(RecordedResults, JoinedTeamEndsAReplacedMembersTrialAtFromWeek) {
  const TeamTrialRows rows =
      teamTrialRows("Red", 2, {{"P07", kFactory}, {"P12", kRetailer, "Sterman", 10}});
  const std::vector<RecordedTrial> trials = teamTrialRecords(rows);
  ASSERT_EQ(trials.size(), 2u);
  EXPECT_FALSE(trials[0].replaced);
  EXPECT_TRUE(isComplete(trials[0]));
  EXPECT_TRUE(trials[1].replaced);
  EXPECT_EQ(trials[1].weeks.size(), 9u);
  EXPECT_FALSE(isComplete(trials[1])) << "replaced in its last week, yet not the member's trial";
}

TEST(RecordedResults, ReadsTheTeamRowsOfADatabaseFile) {
  TestDatabase db;
  db.insert("datTeam", {{"Setting", "Lab"},
                        {"Team", "Red"},
                        {"Trial", 2},
                        {"Member", 1},
                        {"Role", "Factory"},
                        {"Subject", "P07"}});
  db.insert("datTeam", {{"Setting", "Lab"},
                        {"Team", "Red"},
                        {"Trial", 2},
                        {"Member", 2},
                        {"Role", "Retailer"},
                        {"Subject", "P12"},
                        {"Player", "Sterman"},
                        {"FromWeek", 6}});
  SqlCipherTables tables(db.path());
  const std::vector<TeamRow> rows = recordedTeamRows(tables);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].setting, "Lab");
  EXPECT_EQ(rows[0].team, "Red");
  EXPECT_EQ(rows[0].trial, 2);
  EXPECT_EQ(rows[0].seat, (TeamSeat{1, kFactory, "P07", "", 0}));
  EXPECT_EQ(rows[1].seat, (TeamSeat{2, kRetailer, "P12", "Sterman", 6}));
}

// A smaller team's open member number, played by a simulated player from
// the start, is no member's seat: the team's charts and lists name its
// students only.
TEST(RecordedResults, LeavesOutTheRowOfAMemberNumberNoStudentTook) {
  TestDatabase db;
  db.insert("datTeam", {{"Setting", "Lab"},
                        {"Team", "Red"},
                        {"Trial", 1},
                        {"Member", 1},
                        {"Role", "Factory"},
                        {"Subject", "P07"}});
  db.insert("datTeam", {{"Setting", "Lab"},
                        {"Team", "Red"},
                        {"Trial", 1},
                        {"Member", 2},
                        {"Role", "Retailer"},
                        {"Player", "Sterman"},
                        {"FromWeek", 1}});
  SqlCipherTables tables(db.path());
  const std::vector<TeamRow> rows = recordedTeamRows(tables);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].seat, (TeamSeat{1, kFactory, "P07", "", 0}));
}

}  // namespace
}  // namespace quarn::testing
