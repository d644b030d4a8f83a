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
