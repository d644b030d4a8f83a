#pragma once

// A game on a fresh database laid out as the application finds it (the
// application folder holds data/quarn.mdb), with a view that records what it
// is told and a prompter that answers by kind:
//
//   addTrials("Demo", 2, 3);
//   ASSERT_TRUE(start("P1", "Demo"));
//   playWeek(4);
//   EXPECT_EQ(session.phase(), Phase::WeekOpen);

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "game/GameSession.h"
#include "tests/support/AppFolderPlan.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/PlanRows.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

// The lines of a participant's text file, without their CR LF ends.
inline std::vector<std::string> textFileLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string all(std::istreambuf_iterator<char>(in), {});
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = all.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(all.substr(at, end - at));
  }
  return lines;
}

// A view without a window: it keeps what the game told it.
class RecordingView final : public GameView {
 public:
  void sessionStarted(const std::string& subject, const std::string&) override {
    shownSubject = subject;
  }
  void trainingChanged(bool inTraining) override { training.push_back(inTraining); }
  void trialStarted(const TrialDisplay& trial) override { trials.push_back(trial); }
  void figuresChanged(const WeekFigures& shown) override { figures = shown; }
  void weekOpened(const WeekOpening& week) override { weeks.push_back(week); }
  void animationStarted(const Shipments& shown) override {
    shipments = shown;
    ++animations;
  }
  void weekReplayed(const Shipments&) override { ++replays; }
  void teamWaiting(const std::string& text) override { teamTexts.push_back(text); }
  void weekClock(std::optional<int> secondsLeft) override { clocks.push_back(secondsLeft); }
  void clockOrdered(const std::string& text) override { clockTexts.push_back(text); }
  void trainingRestartPending() override { ++restartsPending; }
  void trialEnded() override { ++trialsEnded; }
  void pauseStarted() override { ++pauses; }
  void gameOver() override { ++gameOvers; }
  std::optional<Questionnaire> askQuestionnaire(const std::string&,
                                                const std::optional<Questionnaire>&) override {
    ++questionnaires;
    return questionnaire;
  }

  std::optional<Questionnaire> questionnaire = Questionnaire{30, "Female", "Other", "Other"};
  std::string shownSubject;
  std::vector<bool> training;
  std::vector<TrialDisplay> trials;
  WeekFigures figures;
  std::vector<WeekOpening> weeks;
  Shipments shipments;
  std::vector<std::string> teamTexts;
  std::vector<std::optional<int>> clocks;
  std::vector<std::string> clockTexts;
  int replays = 0;
  int animations = 0, restartsPending = 0, trialsEnded = 0, pauses = 0, gameOvers = 0,
      questionnaires = 0;
};

class GameTest : public ::testing::Test, protected AppFolderPlan {
 protected:
  GameTest() {
    prompter.byKind = {{PromptKind::Resume, Answer::Yes},
                       {PromptKind::RegisterNewUser, Answer::Yes},
                       {PromptKind::ConfirmExit, Answer::Yes}};
    session.setView(&view);
  }

  LoginResult logIn(const std::string& subject, const std::string& setting) {
    session.openDatabase("quarn.mdb");
    return session.logIn({subject, setting, ""});
  }
  // Logs in and starts the game.
  bool start(const std::string& subject, const std::string& setting) {
    return logIn(subject, setting) == LoginResult::LoggedIn && session.startGame();
  }
  // Registers P for `count` trials of setting Demo and starts them.
  void startDemo(int count, int weeks) {
    addTrials("Demo", count, weeks);
    addParticipant("P", "Demo");
    ASSERT_TRUE(start("P", "Demo"));
  }
  // Registers T for setting Train: one trial, then training as `overrides` say.
  void startTraining(const Columns& overrides) {
    addTrials("Train", 1, 4);
    addTraining("Train", overrides);
    addParticipant("T", "Train");
    ASSERT_TRUE(start("T", "Train"));
  }
  // A game on a fresh controller of the same services, e.g. for the cases of
  // a table.
  GameSession freshSession() {
    return GameSession{GameServices{prompter, ticks, random, SystemWallClock::instance(), access,
                                    appFolder.string()}};
  }

  // The order of the open week and the end of its animation.
  void playWeek(int order = 4) {
    ASSERT_EQ(session.phase(), Phase::WeekOpen);
    session.submitOrder(order);
    session.animationFinished();
  }
  void playTrial(int order = 4) {
    while (session.phase() == Phase::WeekOpen) playWeek(order);
  }

  std::vector<std::string> textLines(const std::string& subject) const {
    return textFileLines(appFolder / "data" / (subject + ".txt"));
  }

  const GameState& state() const { return session.state(); }

  ScriptedPrompter prompter;
  ManualTickCounter ticks;
  FixedRandom random;
  DatabaseAccess access{db.stores, prompter, random};
  GameSession session{GameServices{prompter, ticks, random, SystemWallClock::instance(), access,
                                   appFolder.string()}};
  RecordingView view;
};

}  // namespace quarn::testing
