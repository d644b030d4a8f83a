#include "analysis/StudyOverview.h"

#include <gtest/gtest.h>

#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

// `subject`'s trial of setting Lab, planned for four weeks (two decision
// weeks), the participant as Retailer ending with `cost`; the other stages
// end with 10 each. Stage r orders r + 1 in week 1 and (r + 1) x `swing` in
// week 2 against a customer demand of 4 and 6.
RecordedTrial played(const std::string& subject, int16_t trial, int32_t cost, size_t weeks = 4,
                     int swing = 3) {
  RecordedTrial t;
  t.subject = subject;
  t.setting = "Lab";
  t.trial = trial;
  t.participantRole = kRetailer;
  t.plannedWeeks = 4;
  for (int16_t w = 1; w <= static_cast<int16_t>(weeks); ++w) {
    RecordedWeek week;
    week.week = w;
    week.stages[kRetailer].demand = w == 1 ? 4 : 6;
    for (int r = 0; r < kRoleCount; ++r) {
      RecordedStage& s = week.stages[static_cast<size_t>(r)];
      s.order = w == 1 ? r + 1 : (r + 1) * swing;
      s.totalCost = r == kRetailer ? cost : 10;
    }
    t.weeks.push_back(week);
  }
  return t;
}

TEST(StudyOverview, AnonymisesInTheOrderOfTheIds) {
  const std::vector<RecordedTrial> renamed =
      anonymised({played("zoe", 1, 5), played("Adam", 1, 5), played("zoe", 2, 5)});
  EXPECT_EQ(renamed[0].subject, "P02");
  EXPECT_EQ(renamed[1].subject, "P01");
  EXPECT_EQ(renamed[2].subject, "P02");
  std::vector<RecordedTrial> many;
  for (int i = 0; i < 120; ++i) many.push_back(played("S" + std::to_string(1000 + i), 1, 5));
  EXPECT_EQ(anonymised(many)[119].subject, "P120");
  EXPECT_EQ(anonymised(many)[0].subject, "P001");
}

TEST(StudyOverview, RanksCompleteTrialsByCostWithTiesSharingARank) {
  const std::vector<LeagueTable> tables =
      leagueTables({played("A", 1, 300), played("B", 1, 100), played("C", 1, 300),
                    played("D", 1, 50, 1), played("E", 1, 400), played("F", 2, 7)});
  ASSERT_EQ(tables.size(), 2u);
  const std::vector<LeagueEntry>& e = tables[0].entries;
  ASSERT_EQ(e.size(), 5u);
  const std::vector<std::pair<std::string, std::optional<int>>> expected = {
      {"B", 1}, {"A", 2}, {"C", 2}, {"E", 4}, {"D", std::nullopt}};  // D left in week 1
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(e[i].subject, expected[i].first);
    EXPECT_EQ(e[i].rank, expected[i].second) << e[i].subject;
  }
  EXPECT_EQ(e[0].chainCost, 130);
  EXPECT_FALSE(e[4].complete);
  EXPECT_EQ(classPlace(tables, played("C", 1, 300))->rank, 2);
  EXPECT_EQ(classPlace(tables, played("C", 1, 300))->ranked, 4);
  EXPECT_FALSE(classPlace(tables, played("D", 1, 50)));
}

TEST(StudyOverview, SetsEachCostAmongTheSimulatedRuns) {
  SimulatedCostsByTrial simulated;
  simulated[{"Lab", 1}].costs[kRetailer] = {50, 100, 150, 200, 250, 300, 350, 400};
  const std::vector<LeagueTable> tables =
      leagueTables({played("A", 1, 100), played("B", 1, 275), played("C", 2, 1)}, simulated);
  EXPECT_DOUBLE_EQ(*tables[0].entries[0].percentile, 18.75);  // 1 below, 1 equal of 8
  EXPECT_DOUBLE_EQ(*tables[0].entries[1].percentile, 62.5);   // 5 below
  EXPECT_FALSE(tables[1].entries[0].percentile);              // trial 2 was not simulated
}

TEST(StudyOverview, SetsNoCostAmongSimulatedRunsOfAnotherStage) {
  SimulatedCostsByTrial simulated;
  simulated[{"Lab", 1}].costs[kFactory] = {50, 100, 150, 200};
  const std::vector<LeagueTable> tables = leagueTables({played("A", 1, 100)}, simulated);
  EXPECT_FALSE(tables[0].entries[0].percentile);  // A played the Retailer
}

TEST(StudyOverview, SpreadsTheAmplificationOfEachStage) {
  // Demand 4, 6 (variance 1); stage r orders r + 1 and (r + 1) swing.
  // Swing 3: (r + 1)^2 (variance ((r + 1) x 2 / 2)^2 = (r + 1)^2);
  // swing 5: (r + 1)^2 x 4.
  const auto spreads = amplificationByStage({played("A", 1, 1, 4, 3), played("B", 1, 1, 4, 5),
                                             played("C", 1, 1, 4, 3), played("D", 1, 1, 1, 9)});
  const StageSpread& distributor = *spreads[kDistributor];
  EXPECT_EQ(distributor.values, (std::vector<double>{4, 4, 16}));  // D is incomplete
  EXPECT_DOUBLE_EQ(distributor.median, 4);
  EXPECT_DOUBLE_EQ(distributor.q75, 10);
  EXPECT_DOUBLE_EQ(distributor.mean, 8);
  EXPECT_DOUBLE_EQ(spreads[kFactory]->high, 4);
}

// `subject`'s records of team Red's trial 1: the same chain as played(),
// the member on `role`.
RecordedTrial memberOfRed(const std::string& subject, int16_t member, int16_t role,
                          const std::vector<TeamSeat>& seats, size_t weeks = 4) {
  RecordedTrial t = played(subject, 1, 1, weeks, 3);
  t.participantRole = role;
  t.team = "Red";
  t.member = member;
  t.seats = seats;
  for (const TeamSeat& seat : seats) t.players[static_cast<size_t>(seat.role)] = seat.subject;
  return t;
}

TEST(StudyOverview, AnonymisesTeamMembersWhereverTheTrialNamesThem) {
  const std::vector<TeamSeat> seats = {{1, kFactory, "zoe", "", 0},
                                       {2, kRetailer, "Adam", "Sterman", 3}};
  const std::vector<RecordedTrial> renamed = anonymised(
      {memberOfRed("zoe", 1, kFactory, seats), memberOfRed("Adam", 2, kRetailer, seats, 2)});
  for (const RecordedTrial& t : renamed) {
    SCOPED_TRACE(t.subject);
    EXPECT_EQ(t.seats[0].subject, "P02");
    EXPECT_EQ(t.seats[1].subject, "P01");
    EXPECT_EQ(t.seats[1].player, "Sterman");
    EXPECT_EQ(t.players[kFactory], "P02");
    EXPECT_EQ(t.players[kRetailer], "P01");
  }
  EXPECT_EQ(renamed[0].subject, "P02");
}

TEST(StudyOverview, CountsATeamsChainOnceInTheAmplificationByStage) {
  const std::vector<TeamSeat> seats = {{1, kFactory, "A", "", 0}, {2, kRetailer, "B", "", 0}};
  const auto spreads =
      amplificationByStage({memberOfRed("A", 1, kFactory, seats),
                            memberOfRed("B", 2, kRetailer, seats), played("C", 1, 1, 4, 5)});
  EXPECT_EQ(spreads[kDistributor]->values, (std::vector<double>{4, 16}));
}

TEST(StudyOverview, RanksEachMemberAsTheParticipantOfItsOwnStage) {
  const std::vector<TeamSeat> seats = {{1, kFactory, "A", "", 0}, {2, kRetailer, "B", "", 0}};
  const std::vector<LeagueTable> tables =
      leagueTables({memberOfRed("A", 1, kFactory, seats), memberOfRed("B", 2, kRetailer, seats)});
  ASSERT_EQ(tables.size(), 1u);
  ASSERT_EQ(tables[0].entries.size(), 2u);
  EXPECT_EQ(tables[0].entries[0].subject, "B");  // the Retailer's cost of 1
  EXPECT_EQ(tables[0].entries[0].role, kRetailer);
  EXPECT_EQ(tables[0].entries[1].subject, "A");
  EXPECT_EQ(tables[0].entries[1].role, kFactory);
  EXPECT_EQ(tables[0].entries[1].cost, 10);
}

}  // namespace
}  // namespace quarn::testing
