#include "game/TeamWeek.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/ScriptedPrompter.h"

namespace quarn::testing {
namespace {

// A participant who reads German: the texts of the game's .ts file.
class GermanPrompter : public ScriptedPrompter {
 public:
  std::string translate(const char* context, const char* text) const override {
    static const std::map<std::string, std::string> german = {
        {"Waiting for your team: %1 of %2 here (%3)", "Warten auf Ihr Team: %1 von %2 da (%3)"},
        {"Waiting for the %1 and the %2...", "Warten auf: %1 und %2..."},
    };
    const auto found = german.find(text);
    EXPECT_EQ(std::string(context), "GameSession") << text;
    return found == german.end() ? text : found->second;
  }
};

TEST(TeamWeek, StillToOrderAreThoseNeitherOrderedNorReplaced) {
  const struct {
    const char* what;
    std::vector<TeamWeekMember> members;
    int16_t week;
    std::vector<size_t> toOrder;
  } cases[] = {
      {"nobody ordered", {{false, 0}, {false, 0}, {false, 0}}, 4, {0, 1, 2}},
      {"two ordered", {{true, 0}, {false, 0}, {true, 0}, {false, 0}}, 4, {1, 3}},
      {"every member ordered", {{true, 0}, {true, 0}}, 4, {}},
      {"replaced from a later week", {{false, 5}, {false, 0}}, 4, {0, 1}},
      {"replaced from this week", {{false, 4}, {false, 0}}, 4, {1}},
      {"replaced from an earlier week", {{false, 2}, {true, 0}}, 4, {}},
      {"an order stored before the replacement", {{true, 4}, {false, 0}}, 4, {1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(membersToOrder(c.members, c.week), c.toOrder) << c.what;
  }
}

TEST(TeamWeek, ATeamFormsUntilCompleteThenTrainsAloneOrOrders) {
  const struct {
    const char* what;
    TeamGathering team;
    TeamWeekPhase phase;
  } cases[] = {
      {"half the team here", {4, 2, false, false}, TeamWeekPhase::Forming},
      {"nobody here", {3, 0, false, false}, TeamWeekPhase::Forming},
      {"incomplete while one trains alone", {4, 3, false, true}, TeamWeekPhase::Forming},
      {"complete, one trains alone", {4, 4, false, true}, TeamWeekPhase::TrainingAlone},
      {"complete before its first order", {4, 4, false, false}, TeamWeekPhase::Ordering},
      // A team that played together waits for its members' orders even
      // while one of them is away.
      {"begun with a member away", {4, 3, true, false}, TeamWeekPhase::Ordering},
      {"begun, a member's own training seen", {4, 4, true, true}, TeamWeekPhase::Ordering},
  };
  for (const auto& c : cases) EXPECT_EQ(teamWeekPhase(c.team), c.phase) << c.what;
}

TEST(TeamWeek, TheFormingTextCountsAndNamesTheMembersHere) {
  const GermanPrompter german;
  const struct {
    const Prompter* shownTo;
    std::vector<std::string> here;
    int16_t size;
    std::string text;
  } cases[] = {
      {nullptr, {"P07", "P12"}, 4, "Waiting for your team: 2 of 4 here (P07, P12)"},
      {nullptr, {"P3"}, 4, "Waiting for your team: 1 of 4 here (P3)"},
      {nullptr, {}, 2, "Waiting for your team: 0 of 2 here"},
      {&german, {"P1"}, 2, "Warten auf Ihr Team: 1 von 2 da (P1)"},
      {&german, {}, 2, "Warten auf Ihr Team: 0 von 2 da"},
  };
  for (const auto& c : cases) EXPECT_EQ(waitingForTeamText(c.shownTo, c.here, c.size), c.text);
}

TEST(TeamWeek, TheWaitingTextListsThoseStillToOrder) {
  const GermanPrompter german;
  const struct {
    const Prompter* shownTo;
    std::vector<std::string> names;
    std::string text;
  } cases[] = {
      {nullptr, {}, ""},
      {nullptr, {"Factory"}, "Waiting for the Factory..."},
      {nullptr, {"Factory", "Retailer"}, "Waiting for the Factory and the Retailer..."},
      {nullptr,
       {"Factory", "Distributor", "Retailer"},
       "Waiting for the Factory, the Distributor and the Retailer..."},
      {&german, {"Fabrik", "Einzelhandel"}, "Warten auf: Fabrik und Einzelhandel..."},
  };
  for (const auto& c : cases) EXPECT_EQ(waitingForMembersText(c.shownTo, c.names), c.text);
}

}  // namespace
}  // namespace quarn::testing
