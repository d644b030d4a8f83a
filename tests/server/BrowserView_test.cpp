#include "server/BrowserView.h"

#include <gtest/gtest.h>

namespace quarn::server {
namespace {

using nlohmann::json;

WeekFigures someFigures() {
  WeekFigures figures;
  for (int role = 0; role < kRoleCount; ++role) {
    figures.roles[static_cast<size_t>(role)] = {10 + role, 20 + role, 30 + role,
                                                40 + role, 50 + role, 60 + role};
  }
  figures.totalCost = 1234;
  figures.weekCounter = "02 of 20";
  return figures;
}

TEST(BrowserView, FiguresShowOnlyWhatTheDisplayShows) {
  TrialDisplay trial;
  trial.participantRole = 3;  // the Retailer
  const json unconfigured = visibleFigures(trial, someFigures());
  EXPECT_EQ(unconfigured["roles"][3].size(), 6u) << "the participant's own stage in full";
  for (int role = 0; role < 3; ++role) EXPECT_TRUE(unconfigured["roles"][role].empty());
  EXPECT_FALSE(unconfigured.contains("totalCost"));

  trial.display.found = true;
  trial.display.totalCost = true;
  trial.display.roles[0] = RoleDisplay{true, "F", false, false, true, false, false, false};
  trial.display.roles[3] = RoleDisplay{true, "R", true, false, true, false, true, false};
  const json configured = visibleFigures(trial, someFigures());
  EXPECT_EQ(configured["roles"][0], (json{{"inventory", 30}}));
  EXPECT_EQ(configured["roles"][3], (json{{"recentOrder", 13}, {"inventory", 33}, {"demand", 53}}));
  EXPECT_TRUE(configured["roles"][1].empty());
  EXPECT_EQ(configured["totalCost"], 1234);
}

// A road whose trucks the display hides sends nothing of its loads, from
// the trial's first trucks on; a trial without a configuration keeps the
// roads of the one before, as the window leaves its trucks.
TEST(BrowserView, ShipmentsShowOnlyTheRoadsTheDisplayShows) {
  std::vector<json> sent;
  BrowserView view([&sent](const json& message) { sent.push_back(message); });
  const Shipments shipments{{5, 6, 7, 8}};
  TrialDisplay retailerHidden;
  retailerHidden.display.found = true;
  retailerHidden.display.factoryProduction = true;
  retailerHidden.display.trucksToDistributor = true;
  retailerHidden.display.trucksToWholesaler = true;
  TrialDisplay unconfigured;
  TrialDisplay showsAll = retailerHidden;
  showsAll.display.trucksToRetailer = true;
  TrialDisplay showsNone;
  showsNone.display.found = true;
  const json hidden = json::array({true, true, true, false});
  const json all = json::array({true, true, true, true});
  const json none = json::array({false, false, false, false});
  const struct {
    const char* name;
    TrialDisplay trial;
    json roads;
    json departing;
  } cases[] = {
      {"retailer's road hidden", retailerHidden, hidden, json::array({5, 6, 7, nullptr})},
      {"no configuration after it", unconfigured, hidden, json::array({5, 6, 7, nullptr})},
      {"every road shown", showsAll, all, json::array({5, 6, 7, 8})},
      {"no configuration after that", unconfigured, all, json::array({5, 6, 7, 8})},
      {"no road shown", showsNone, none, json::array({nullptr, nullptr, nullptr, nullptr})},
  };
  for (const auto& c : cases) {
    sent.clear();
    view.trialStarted(c.trial);
    view.animationStarted(shipments);
    view.weekReplayed(shipments);
    ASSERT_EQ(sent.size(), 3u) << c.name;
    EXPECT_EQ(sent[0]["roads"], c.roads) << c.name;
    EXPECT_EQ(sent[0].contains("initialShipment"), c.roads != none) << c.name;
    EXPECT_EQ(sent[1], (json{{"type", "shipments"}, {"departing", c.departing}})) << c.name;
    EXPECT_EQ(sent[2], (json{{"type", "weekReplayed"}, {"departing", c.departing}})) << c.name;
  }
}

TEST(BrowserView, TheQuestionnaireIsAnsweredOnceAndNotRetried) {
  std::vector<json> sent;
  BrowserView view([&sent](const json& message) { sent.push_back(message); });
  view.setQuestionnaire(Questionnaire{30, "Male", "", ""});
  const auto first = view.askQuestionnaire("S", std::nullopt);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->gender, "Male");
  EXPECT_FALSE(view.askQuestionnaire("S", first)) << "refused answers are not offered again";
  EXPECT_FALSE(view.askQuestionnaire("S", std::nullopt)) << "the answers are taken once";
}

// A page that comes back is sent the kept state in its order, then only
// what waits now; a new login's session shows nothing of the one before.
TEST(BrowserView, ResendStateSendsTheKeptStateThenWhatWaits) {
  std::vector<json> sent;
  BrowserView view([&sent](const json& message) { sent.push_back(message); });
  view.sessionStarted("S1", "Demo");
  view.trialStarted(TrialDisplay{});
  view.sessionStarted("S2", "Demo");
  view.languageChosen("de");
  view.trainingChanged(true);
  view.trialStarted(TrialDisplay{});
  view.figuresChanged(someFigures());
  view.weekOpened(WeekOpening{"01 of 20", std::nullopt});
  view.weekOpened(WeekOpening{"02 of 20", std::nullopt});
  view.teamWaiting("Waiting for P2");
  const std::vector<std::string> kept = {"sessionStarted", "language", "training", "trialStarted",
                                         "figures"};
  const struct {
    OpenState open;
    std::optional<json> last;
  } cases[] = {
      {OpenState::Week, json{{"type", "weekOpened"}, {"turn", 2}, {"counter", "02 of 20"}}},
      {OpenState::Team, json{{"type", "teamWaiting"}, {"text", "Waiting for P2"}}},
      {OpenState::Pause, json{{"type", "paused"}}},
      {OpenState::GameOver, json{{"type", "gameOver"}}},
      {OpenState::None, std::nullopt},
  };
  for (const auto& c : cases) {
    sent.clear();
    view.resendState(c.open);
    ASSERT_EQ(sent.size(), kept.size() + (c.last ? 1 : 0)) << static_cast<int>(c.open);
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(sent[i]["type"], kept[i]);
    EXPECT_EQ(sent[0]["subject"], "S2");
    if (c.last) {
      EXPECT_EQ(sent.back(), *c.last);
    }
  }
}

// A login that brings no answers is not answered with those of an earlier
// login: the game is told that the questionnaire is needed.
TEST(BrowserView, ALoginWithoutAnswersNeedsTheQuestionnaire) {
  BrowserView view([](const json&) {});
  view.setQuestionnaire(Questionnaire{30, "Male", "", ""});
  view.setQuestionnaire(std::nullopt);
  EXPECT_FALSE(view.askQuestionnaire("S", std::nullopt));
  EXPECT_TRUE(view.questionnaireNeeded());
  view.setQuestionnaire(Questionnaire{30, "Male", "", ""});
  EXPECT_FALSE(view.questionnaireNeeded());
  EXPECT_TRUE(view.askQuestionnaire("S", std::nullopt));
  EXPECT_FALSE(view.questionnaireNeeded());
}

}  // namespace
}  // namespace quarn::server
