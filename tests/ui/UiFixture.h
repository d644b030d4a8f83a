#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <string>

#include "base/Clock.h"
#include "base/Random.h"
#include "record/Game.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Trials.h"
#include "ui/DatabaseWaitNotice.h"
#include "ui/frmMain.h"

namespace quarn::testing {

// One QApplication for the whole test program.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }

 private:
  QApplication* app_ = nullptr;
};

// Lets a test look at the world at the moment a box is shown.
class ProbePrompter : public ScriptedPrompter {
 public:
  std::function<void(const std::string&)> onBox;

 protected:
  Answer present(const Prompt& prompt) override {
    if (onBox) onBox(prompt.text);
    return ScriptedPrompter::present(prompt);
  }
};

// A main window on a fresh game and database. The window is shown
// (offscreen), the animation is driven by calling the tick handler.
struct UiGame {
  UiGame() {
    toolkit.appFolder = db.folder();
    game.identity.SubjectID = "S1";
    game.identity.SettingName = "Lab";
    game.plan.players = {{.name = "Follower", .addsDemand = true}};
    form.SetLoadPathLength();
    form.show();
  }

  void SetTrials(std::vector<TrialPlan> trials) {
    game.plan.trials = std::move(trials);
    game.plan.currentTrial = 0;
  }

  // Runs the animation to its end, then what the event loop would run next
  // (a training restart); returns the number of ticks. In a trial without a
  // participant this plays every remaining week.
  int Animate() {
    int ticks = 0;
    while (form.tmrAnimation->isActive() && ticks < 100000) {
      form.tmrAnimation_Timer();
      ++ticks;
    }
    QCoreApplication::processEvents();
    return ticks;
  }

  // Types an order, presses Enter and lets the week's animation run.
  int Order(const char* digits) {
    QTest::keyClicks(form.txtOrder, digits);
    QTest::keyClick(form.txtOrder, Qt::Key_Return);
    return Animate();
  }

  std::string Text(const QLabel* label) const { return label->text().toStdString(); }
  const RoleState& Role(int r) const { return game.chain.roles[static_cast<size_t>(r)]; }

  TestDatabase db;
  ProbePrompter toolkit;
  ManualTickCounter ticks;
  FixedRandom random;
  DatabaseWaitNotice waitNotice{toolkit};
  SqlCipherStores stores{&waitNotice, db.path()};
  DatabaseAccess database{stores, toolkit, random};
  Game game{Services{toolkit, ticks, random, database}};
  frmMain form{game};
};

}  // namespace quarn::testing
